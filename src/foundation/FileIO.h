#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvane {

// The whole content of a file, or none with the reason ("No such file or directory", "the file is
// larger than 1024 MiB"). Any thread.
std::optional<std::vector<uint8_t>> readFileContents(const std::string& path, size_t maxBytes,
                                                     std::string* error);

// Writes bytes to a temporary file beside path, syncs it and renames it over path, so readers see the
// old file or the new one, never a half-written one; the old file is untouched on failure. An existing
// file's permission bits are kept. On failure returns false and, when error is non-null, sets a reason
// ("cannot create a temporary file beside it: Permission denied"). Any thread.
bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes, std::string* error);

}  // namespace korvane
