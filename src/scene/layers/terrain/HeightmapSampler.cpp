#include "scene/layers/terrain/HeightmapSampler.h"

#include <cmath>

namespace korvane {

namespace {

// How far inside the border the sampler keeps its position: the 4 × 4 stencil then never reads
// closer than 3 pixels to the edge.
constexpr float kSamplerMargin = 4.0f;
constexpr int kMinimumSampledSide = 8;
constexpr float kMaxSample = 65535.0f;

float clampToMap(float position, float extent) {
    if (kSamplerMargin + position > extent) return extent - kSamplerMargin;
    if (position < kSamplerMargin) return kSamplerMargin;
    // NaN fails both tests above; it reads the map's first sample rather than garbage.
    if (!(position == position)) return kSamplerMargin;
    return position;
}

// Catmull-Rom through p1..p2 with p0 and p3 as the outer control points; reproduces constants and
// straight lines exactly.
inline float catmullRom(float p0, float p1, float p2, float p3, float f) {
    return p1 + f * (p2 - p0) * 0.5f + f * f * (p0 - 2.5f * p1 + 2.0f * p2 - 0.5f * p3) +
           f * f * f * (-0.5f * p0 + 1.5f * p1 - 1.5f * p2 + 0.5f * p3);
}

}  // namespace

HeightmapPixelSize heightmapPixelSizeForSceneSize(Size sceneSize) {
    auto side = [](double units) {
        float pixels = std::floor(static_cast<float>(units) / 10.0f * kHeightmapPixelsPerTenUnits);
        // Beyond what a bitmap can hold is as unusable as nothing.
        if (!(pixels > 0.0f) || pixels > 1.0e6f) return 0;
        return static_cast<int>(pixels);
    };
    return {side(sceneSize.width), side(sceneSize.height)};
}

float interpolatedValueFromBitmapData(const uint16_t* samples, Size bitmapSize, float x, float y) {
    const float width = static_cast<float>(bitmapSize.width);
    const float height = static_cast<float>(bitmapSize.height);
    x = clampToMap(x, width);
    y = clampToMap(y, height);
    const int i = static_cast<int>(x);
    const int j = static_cast<int>(y);
    const float fx = x - std::floor(x);
    const float fy = y - std::floor(y);
    const size_t stride = static_cast<size_t>(bitmapSize.width);

    float rows[4];
    for (int k = 0; k < 4; ++k) {
        const uint16_t* row = samples + static_cast<size_t>(j - 1 + k) * stride + (i - 1);
        rows[k] = catmullRom(row[0], row[1], row[2], row[3], fx);
    }
    return catmullRom(rows[0], rows[1], rows[2], rows[3], fy) / kMaxSample;
}

float interpolatedValueFromBitmap(const Bitmap& heightmap, float x, float y) {
    if (heightmap.format() != PixelFormat::Gray16 || heightmap.width() < kMinimumSampledSide ||
        heightmap.height() < kMinimumSampledSide) {
        return 0.0f;
    }
    return interpolatedValueFromBitmapData(reinterpret_cast<const uint16_t*>(heightmap.data()),
                                           Size{double(heightmap.width()), double(heightmap.height())}, x, y);
}

}  // namespace korvane
