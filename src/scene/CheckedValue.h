#pragma once

// Values read from a document are held to the ranges the editors and `korvane set` accept: a value
// outside is clamped to the nearest valid one, and the repair is recorded with the unarchiver, which
// reports each distinct message once per file ("fog density -1 is below 0; using 0").
#include <cstdint>
#include <limits>
#include <string>

namespace korvane {

class KeyedUnarchiver;

// The closed interval a value must lie in; an infinite end leaves that side open.
struct ValueRange {
    double low = -std::numeric_limits<double>::infinity();
    double high = std::numeric_limits<double>::infinity();
};
inline constexpr ValueRange kNonNegativeRange{0.0, std::numeric_limits<double>::infinity()};
// Heights above the ground or the water, and the water level: no higher than the largest height
// scale a scene can have (Scene::kMaximumMaxTerrainHeight).
inline constexpr ValueRange kHeightRange{0.0, 10000.0};

// A number as repair messages write it: as the archive formats it, and nan and inf by name.
std::string repairText(double value);
// A range as repair messages write it: "0.1–100".
std::string repairText(ValueRange range);

// value when it lies in range; otherwise the nearest end of the range (for not a number its low
// end, or its high end where it has no low one) after recording the repair, with `what` naming the
// value: "water height 20000 is outside 0–10000; using 10000", "fog density -1 is below 0; using 0".
double checkedValue(KeyedUnarchiver& coder, const std::string& what, double value, ValueRange range);
float checkedValue(KeyedUnarchiver& coder, const std::string& what, float value, ValueRange range);
int32_t checkedValue(KeyedUnarchiver& coder, const std::string& what, int32_t value, ValueRange range);
// As checkedValue, but a value outside the range becomes `replacement`: for values whose nearest
// valid one would mean something else than the stored one did (a mode number, a lens value whose 0
// stands for the camera type's default).
double replacedValue(KeyedUnarchiver& coder, const std::string& what, double value, ValueRange range,
                     double replacement);
float replacedValue(KeyedUnarchiver& coder, const std::string& what, float value, ValueRange range,
                    float replacement);

// Reads the number under key and checks it; a value of the wrong kind has already been reported by
// the unarchiver and reads as 0, which is then checked like any other.
float decodeCheckedFloat(KeyedUnarchiver& coder, const std::string& key, const std::string& what,
                         ValueRange range);
int32_t decodeCheckedInt32(KeyedUnarchiver& coder, const std::string& key, const std::string& what,
                           ValueRange range);

}  // namespace korvane
