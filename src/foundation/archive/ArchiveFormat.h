#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Color.h"
#include "foundation/Geometry.h"

namespace korvane::archive_format {

// The facts of the keyed-archive format shared by the archiver and the unarchiver.
inline constexpr std::string_view kArchiverName = "NSKeyedArchiver";
inline constexpr int64_t kArchiveVersion = 100000;
inline constexpr std::string_view kRootKey = "root";
inline constexpr std::string_view kNullString = "$null";

// A user key starting with '$' is written with one more '$' so it cannot clash with "$class".
std::string escapeKey(std::string_view key);

// Points and sizes are stored as strings "{x, y}" / "{w, h}" with round-trip precision.
std::string formatPair(double first, double second);
// Reads the first two numbers of such a string; missing or non-finite numbers read as 0.
std::pair<double, double> parsePair(std::string_view text);

// The calibrated-RGB text of a colour: "r g b" (or "r g b a" when alpha is not 1) and a NUL.
std::vector<uint8_t> formatRgbComponents(const Color& color);
// Reads the numbers of a colour's component text; the NUL is optional.
std::vector<double> parseComponents(std::span<const uint8_t> text);

// Shortest text that reads back as the same double ("10", "20.5", "0.10000000000000001").
std::string formatNumber(double value);

}  // namespace korvane::archive_format
