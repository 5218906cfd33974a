#include "scene/CheckedValue.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "foundation/archive/ArchiveFormat.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/Scene.h"

namespace korvane {

static_assert(kHeightRange.high == Scene::kMaximumMaxTerrainHeight);

std::string repairText(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    return archive_format::formatNumber(value);
}

namespace {

// A float as its shortest text, so that a stored 0.3 reads "0.3" rather than as the double it widens to.
std::string floatText(float value) {
    if (!std::isfinite(value)) return repairText(static_cast<double>(value));
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : repairText(static_cast<double>(value));
}

double repaired(KeyedUnarchiver& coder, const std::string& what, const std::string& valueText, double value,
                ValueRange range, double replacement) {
    const bool hasLow = std::isfinite(range.low), hasHigh = std::isfinite(range.high);
    std::string problem;
    if (std::isnan(value)) {
        problem = "is not a number";
    } else if (hasLow && hasHigh) {
        problem = valueText + " is outside " + repairText(range);
    } else if (value < range.low) {
        problem = valueText + " is below " + repairText(range.low);
    } else {
        problem = valueText + " is above " + repairText(range.high);
    }
    coder.reportRepair(what + " " + problem + "; using " + repairText(replacement));
    return replacement;
}

// The nearest end of the range to value; for not a number its low end, or its high end where it
// has no low one.
double nearestInRange(double value, ValueRange range) {
    if (!std::isnan(value)) return std::clamp(value, range.low, range.high);
    return std::isfinite(range.low) || !std::isfinite(range.high) ? range.low : range.high;
}

}  // namespace

std::string repairText(ValueRange range) {
    return repairText(range.low) + "–" + repairText(range.high);
}

double checkedValue(KeyedUnarchiver& coder, const std::string& what, double value, ValueRange range) {
    if (value >= range.low && value <= range.high) return value;
    return repaired(coder, what, repairText(value), value, range, nearestInRange(value, range));
}

double replacedValue(KeyedUnarchiver& coder, const std::string& what, double value, ValueRange range,
                     double replacement) {
    if (value >= range.low && value <= range.high) return value;
    return repaired(coder, what, repairText(value), value, range, replacement);
}

float checkedValue(KeyedUnarchiver& coder, const std::string& what, float value, ValueRange range) {
    if (value >= range.low && value <= range.high) return value;
    return static_cast<float>(
        repaired(coder, what, floatText(value), value, range, nearestInRange(value, range)));
}

float replacedValue(KeyedUnarchiver& coder, const std::string& what, float value, ValueRange range,
                    float replacement) {
    if (value >= range.low && value <= range.high) return value;
    return static_cast<float>(repaired(coder, what, floatText(value), value, range, replacement));
}

int32_t checkedValue(KeyedUnarchiver& coder, const std::string& what, int32_t value, ValueRange range) {
    return static_cast<int32_t>(checkedValue(coder, what, static_cast<double>(value), range));
}

float decodeCheckedFloat(KeyedUnarchiver& coder, const std::string& key, const std::string& what,
                         ValueRange range) {
    return checkedValue(coder, what, coder.decodeFloat(key), range);
}

int32_t decodeCheckedInt32(KeyedUnarchiver& coder, const std::string& key, const std::string& what,
                           ValueRange range) {
    return checkedValue(coder, what, coder.decodeInt32(key), range);
}

}  // namespace korvane
