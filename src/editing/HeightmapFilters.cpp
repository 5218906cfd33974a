#include "editing/HeightmapFilters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "editing/PixelLoops.h"

namespace korvane {

namespace {

// A fixed hash of a cell and a channel to [0, 1): the scattered point of that cell.
float cellJitter(int64_t i, int64_t j, uint32_t channel) {
    uint64_t h = static_cast<uint64_t>(i) * 0x9E3779B97F4A7C15ull ^
                 static_cast<uint64_t>(j) * 0xC2B2AE3D27D4EB4Full ^ (channel + 1) * 0x165667B19E3779F9ull;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return static_cast<float>(h >> 40) / static_cast<float>(1u << 24);
}

}  // namespace

bool clampMap(const Bitmap& original, Bitmap& result, float top, float bottom) {
    const float low = bottom;
    const float high = std::max(top, bottom);
    return mapFractionsByColumns(original, result,
                                 [=](float v, int, int) { return std::min(std::max(v, low), high); });
}

bool equalizeMap(const Bitmap& original, Bitmap& result, float strength) {
    const float gain = 5.0f * strength + 1.0f;
    return mapFractionsByColumns(original, result, [=](float v, int, int) { return v * gain; });
}

bool crystallizeMap(const Bitmap& original, Bitmap& result, float radius) {
    if (!isEditableGreyMap(original) || original.format() != result.format() ||
        original.width() != result.width() || original.height() != result.height()) {
        return false;
    }
    if (!(radius >= 1.0f)) {
        result = original;
        return true;
    }
    const int width = original.width(), height = original.height();
    const double side = std::min(static_cast<double>(radius), static_cast<double>(std::max(width, height)));
    const int cellsX = static_cast<int>(std::floor((width - 1) / side)) + 1;
    const int cellsY = static_cast<int>(std::floor((height - 1) / side)) + 1;

    // Each cell's point and the original's value there.
    struct CellPoint {
        float x, y, value;
    };
    std::vector<CellPoint> points(static_cast<size_t>(cellsX) * cellsY);
    for (int j = 0; j < cellsY; ++j) {
        for (int i = 0; i < cellsX; ++i) {
            const double px = (i + cellJitter(i, j, 0)) * side;
            const double py = (j + cellJitter(i, j, 1)) * side;
            const int sx = std::clamp(static_cast<int>(px), 0, width - 1);
            const int sy = std::clamp(static_cast<int>(py), 0, height - 1);
            points[static_cast<size_t>(j) * cellsX + i] = {float(px), float(py),
                                                           readFraction(original, sx, sy)};
        }
    }
    const auto nearestValue = [&](int x, int y) {
        const float cx = x + 0.5f, cy = y + 0.5f;
        const int ci = std::min(cellsX - 1, static_cast<int>(cx / side));
        const int cj = std::min(cellsY - 1, static_cast<int>(cy / side));
        float best = 3.4e38f, value = 0;
        for (int j = std::max(0, cj - 1); j <= std::min(cellsY - 1, cj + 1); ++j) {
            for (int i = std::max(0, ci - 1); i <= std::min(cellsX - 1, ci + 1); ++i) {
                const CellPoint& p = points[static_cast<size_t>(j) * cellsX + i];
                const float d = (p.x - cx) * (p.x - cx) + (p.y - cy) * (p.y - cy);
                if (d < best) {
                    best = d;
                    value = p.value;
                }
            }
        }
        return value;
    };
    return mapFractionsByColumns(original, result, [&](float, int x, int y) { return nearestValue(x, y); });
}

void ClampFilterSheet::applyFunctionToImageRep() {
    clampMap(originalImageRep(), mutableImageRep(), top_, bottom_);
}

void EqualizeFilterSheet::applyFunctionToImageRep() {
    equalizeMap(originalImageRep(), mutableImageRep(), strength_);
}

void FlatsFilterSheet::applyFunctionToImageRep() {
    crystallizeMap(originalImageRep(), mutableImageRep(), strength_ * kRadiusPerStrength);
}

}  // namespace korvane
