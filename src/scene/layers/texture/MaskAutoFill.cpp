#include "scene/layers/texture/MaskAutoFill.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "foundation/ParallelFor.h"

namespace korvane {

namespace {

constexpr int kWindowSide = 4;
constexpr int kWindowLead = 2;  // pixels of the window before the pixel itself
constexpr float kSampleScale = 65535.0f;
constexpr double kSteepnessGain = 50.0;
constexpr double kSharpnessRange = 10.0;

bool compatible(const Bitmap& map, const Bitmap& heightmap) {
    return map.format() == PixelFormat::Gray8 && heightmap.format() == PixelFormat::Gray16 && !map.empty() &&
           heightmap.width() >= map.width() && heightmap.height() >= map.height();
}

// The integer part of a value in 0…255; a NaN (from a NaN parameter) writes 0 instead of an
// undefined conversion.
uint8_t byteFrom(double value) {
    if (!(value > 0)) return 0;
    return static_cast<uint8_t>(std::min(value, 255.0));
}

// A heightmap sample as a fraction of full scale (the format and bounds are checked by the caller).
float fractionAt(const Bitmap& heightmap, int x, int y) {
    uint16_t sample;
    std::memcpy(&sample, heightmap.pixel(x, y), sizeof sample);
    return sample / kSampleScale;
}

// min(base ^ exponent, 1). A base of at least 1 under a non-negative exponent gives at least 1, and
// a base of 0 under a positive one gives 0: steep and flat ground, most of a map, skip the power.
double sharpenedAmount(double base, double exponent) {
    if (exponent >= 0.0 && base >= 1.0) return 1.0;
    if (exponent > 0.0 && base == 0.0) return 0.0;
    return std::min(std::pow(base, exponent), 1.0);
}

// First index of the window along one axis of `extent` pixels. The window normally starts two pixels
// before the pixel; near the far edge it is pulled back so that it ends one pixel before the edge.
int windowStart(int position, int extent) {
    int start = std::max(position - kWindowLead, 0);
    if (start + kWindowSide > extent - 1) start = extent - (kWindowSide + 1);
    return std::max(start, 0);
}

}  // namespace

bool applySteepnessFill(Bitmap& map, const Bitmap& heightmap, int type, float threshold, float strength) {
    if (!compatible(map, heightmap)) return false;
    const int width = map.width();
    const int height = map.height();
    const int windowWidth = std::min(kWindowSide, width);
    const int windowHeight = std::min(kWindowSide, height);
    const double exponent = (1.0 - static_cast<double>(threshold)) * kSharpnessRange;
    const double gain = static_cast<double>(strength) * kSteepnessGain;
    uint8_t* out = map.data();

    parallelForColumns(width, [&](int x) {
        const int cx = windowStart(x, width);
        for (int y = 0; y < height; ++y) {
            const int cy = windowStart(y, height);
            const float o = fractionAt(heightmap, x, y);
            float sum = 0.0f;
            for (int j = cy; j < cy + windowHeight; ++j) {
                for (int i = cx; i < cx + windowWidth; ++i) sum += std::fabs(o - fractionAt(heightmap, i, j));
            }
            const double amount = sharpenedAmount(static_cast<double>(sum) * gain, exponent);
            uint8_t value = 0;
            if (type == kSteepnessFillSteepAreas) value = byteFrom(amount * amount * 255.0);
            if (type == kSteepnessFillFlatAreas) value = byteFrom((1.0 - amount) * 255.0);
            out[static_cast<size_t>(y) * width + x] = value;
        }
    });
    return true;
}

namespace {

uint8_t heightFillValue(int type, float h, float threshold, float level) {
    switch (type) {
        case kHeightFillAround: {
            const float d = std::fabs(h - level);
            if (d > threshold) return 0;
            if (threshold > 0) return byteFrom((1.0f - d / threshold) * 255.0f);
            return 255;
        }
        case kHeightFillBelow: {
            const float d = h - level;
            if (d <= 0) return 255;
            if (d >= threshold || threshold <= 0) return 0;
            return byteFrom((threshold - d) / threshold * 255.0f);
        }
        case kHeightFillAbove: {
            const float d = h - level;
            if (d >= 0) return 255;
            if (d < -threshold || threshold <= 0) return 0;
            return byteFrom((d + threshold) / threshold * 255.0f);
        }
        default:
            return 0;
    }
}

}  // namespace

bool applyHeightFill(Bitmap& map, const Bitmap& heightmap, int type, float threshold, float height) {
    if (!compatible(map, heightmap)) return false;
    const int width = map.width();
    const int rows = map.height();
    uint8_t* out = map.data();
    parallelForColumns(width, [&](int x) {
        for (int y = 0; y < rows; ++y) {
            const float h = fractionAt(heightmap, x, y);
            out[static_cast<size_t>(y) * width + x] = heightFillValue(type, h, threshold, height);
        }
    });
    return true;
}

}  // namespace korvane
