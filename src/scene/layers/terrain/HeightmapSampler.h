#pragma once

#include <cstdint>

#include "foundation/Bitmap.h"
#include "foundation/Geometry.h"

namespace korvane {

// Pixels of heightmap per scene unit: a 10 × 10 scene has a 1024 × 1024 heightmap.
constexpr float kHeightmapPixelsPerTenUnits = 1024.0f;

// The heightmap's pixel size for a scene of the given extent: floor(side / 10 × 1024) on each axis,
// computed in single precision. Negative sides give 0. Pure; any thread.
struct HeightmapPixelSize {
    int width = 0;
    int height = 0;
};
HeightmapPixelSize heightmapPixelSizeForSceneSize(Size sceneSize);

// The clamped Catmull-Rom sampler of a Gray16 heightmap: the value at pixel position (x, y) in about
// 0..1 (65535 is 1). Positions are clamped to stay 4 pixels inside the map, so positions outside read
// the map's edge and no read leaves a bitmap of at least 8 × 8 pixels. `samples` is row-major,
// `bitmapSize` its width and height. Keeps no state; any thread.
float interpolatedValueFromBitmapData(const uint16_t* samples, Size bitmapSize, float x, float y);

// The same for a Gray16 bitmap; an empty bitmap or one smaller than 8 × 8 reads as 0.
float interpolatedValueFromBitmap(const Bitmap& heightmap, float x, float y);

}  // namespace korvane
