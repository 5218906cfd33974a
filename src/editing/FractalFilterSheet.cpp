#include "editing/FractalFilterSheet.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "editing/MapSamples.h"
#include "editing/PixelLoops.h"
#include "foundation/Random.h"

namespace korvane {

namespace {

constexpr int kMinGridSize = 3;
constexpr int kMaxGridSize = 4097;
// The mean of three neighbours along the border is taken with this factor, a little under a third.
constexpr float kThreeNeighbourFactor = 0.33f;

// 1 plus up to ± amp: the multiplicative noise of one grid point (one draw).
float displacement(float amp) {
    return 1.0f + amp * (1.0f - static_cast<float>(randomInt() % 10000) / 5000.0f);
}

}  // namespace

FractalFilterSheet::FractalFilterSheet(Bitmap& directImageRep, FilterRedrawDelegate* redrawDelegate)
    : BaseFilterSheet(directImageRep, redrawDelegate), seed_(static_cast<int64_t>(std::time(nullptr))) {
    setGridSize(kDefaultGridSize);
}

void FractalFilterSheet::newRandomSeed() {
    seed_ = static_cast<int64_t>(std::time(nullptr));
    valueChanged();
}

void FractalFilterSheet::setGridSize(int size) {
    gridSize_ = std::clamp(size, kMinGridSize, kMaxGridSize);
    grid_.assign(static_cast<size_t>(gridSize_) * gridSize_, 0.0f);
}

void FractalFilterSheet::setGridValue(float value, Point point) {
    const double x = std::round(point.x), y = std::round(point.y);
    if (!(x >= 0 && x < gridSize_ && y >= 0 && y < gridSize_)) return;
    at(static_cast<int>(x), static_cast<int>(y)) = value;
}

float FractalFilterSheet::gridValueAtGridPoint(Point point) const {
    const double last = gridSize_ - 1;
    const double gx = std::isnan(point.x) ? 0.0 : std::clamp(point.x, 0.0, last);
    const double gy = std::isnan(point.y) ? 0.0 : std::clamp(point.y, 0.0, last);
    // The last cell is used for points on the far edges, so i + 1 and j + 1 stay inside.
    const int i = std::min(static_cast<int>(gx), gridSize_ - 2);
    const int j = std::min(static_cast<int>(gy), gridSize_ - 2);
    const auto fx = static_cast<float>(gx - i), fy = static_cast<float>(gy - j);
    return (1 - fy) * (at(i, j) * (1 - fx) + at(i + 1, j) * fx) +
           fy * (at(i, j + 1) * (1 - fx) + at(i + 1, j + 1) * fx);
}

float FractalFilterSheet::gridValueAtImageRepPoint(Point point) const {
    const Bitmap& map = originalImageRep();
    if (map.empty()) return 0.0f;
    const double last = gridSize_ - 1;
    return gridValueAtGridPoint({last / map.width() * point.x, last / map.height() * point.y});
}

int FractalFilterSheet::generatePreset() {
    const int g = gridSize_;
    const auto stepOf = [](int v) { return std::max(1, v); };
    switch (preset_) {
        case static_cast<int>(FractalPreset::CentralPeak):
            at(g / 2, g / 2) = 1.0f;
            return g / 8;
        case static_cast<int>(FractalPreset::TwoPeaks):
            at(g / 4, g / 4) = 1.0f;
            at(g / 2 + g / 4, g / 2 + g / 4) = 1.0f;
            return g / 8;
        case static_cast<int>(FractalPreset::RaisedBand): {
            const int step = stepOf((g - 1) / 8);
            for (int x = g - 1 - 2 * step; x < g; x += step) {
                if (x < 0) continue;
                for (int y = 0; y < g; y += step) at(x, y) = 1.0f;
            }
            return g / 8;
        }
        case static_cast<int>(FractalPreset::MeanderingValley): {
            const int step = stepOf((g - 1) / 32);
            for (int x = 0; x < g; x += step) {
                const int e = randomInt() % g;
                const int shift = (g / 2 - e) / 10;
                for (int y = 0; y < g; y += step) {
                    at(x, y) = std::fabs(0.5f - static_cast<float>(y + shift) / g) * 1.5f - 0.1f;
                }
            }
            return g / 8;
        }
        case static_cast<int>(FractalPreset::ValleyToPlateau): {
            const int step = stepOf((g - 1) / 32);
            for (int x = 0; x < g; x += step) {
                for (int y = 0; y < g; y += step) {
                    const float h = static_cast<float>(x) / g > 0.75f ? 1.0f : static_cast<float>(y) / g;
                    at(x, y) = std::fabs(0.5f - h) * 1.5f - 0.1f;
                }
            }
            return g / 8;
        }
        case static_cast<int>(FractalPreset::CurrentTerrain): {
            const Bitmap& map = originalImageRep();
            if (!isEditableGreyMap(map)) return g / 32;
            const int step = stepOf((g - 1) / 128);
            const int64_t w = map.width(), h = map.height();
            for (int x = 0; x < g; x += step) {
                for (int y = 0; y < g; y += step) {
                    const int column = static_cast<int>(std::min<int64_t>(w - 1, w * x / g));
                    const int row = static_cast<int>(std::min<int64_t>(h - 1, h * y / g));
                    at(x, y) = readFraction(map, column, row);
                }
            }
            return g / 32;
        }
        default:
            return 0;
    }
}

void FractalFilterSheet::generate() {
    setGridSize(gridSize_);
    const int g = gridSize_;
    const float large = largeErosion_;
    const float small = smallErosion_;
    const int f0 = generatePreset();
    seedRandom(static_cast<unsigned>(static_cast<uint64_t>(seed_) & 0xFFFFFFFFu));

    // Values outside the grid read as 0; with the grid sizes the sheet uses every read lies inside.
    const auto value = [&](int x, int y) { return x >= 0 && x < g && y >= 0 && y < g ? at(x, y) : 0.0f; };
    float amp = large;
    for (int f = f0; f > 0; f /= 2) {
        // Square step: the centre of every square of side 2f from its four corners. A sheet that
        // computes in the background may stop the generation between rows.
        for (int y = f; y < g; y += 2 * f) {
            if (stopRequested()) return;
            for (int x = f; x < g; x += 2 * f) {
                const float m = displacement(amp);
                at(x, y) =
                    (value(x - f, y - f) + value(x + f, y - f) + value(x - f, y + f) + value(x + f, y + f)) *
                    0.25f * m;
            }
        }
        // Diamond step: the edge midpoints from their (up to four) neighbours.
        for (int y = 0; y < g; y += f) {
            if (stopRequested()) return;
            const bool evenRow = (y / f) % 2 == 0;
            for (int x = evenRow ? f : 0; x < g; x += 2 * f) {
                const float m = displacement(amp);
                const bool top = y == 0, bottom = y == g - 1, left = x == 0, right = x == g - 1;
                float mean;
                if ((top || bottom) && (left || right)) {
                    mean = ((left ? value(x + f, y) : value(x - f, y)) +
                            (top ? value(x, y + f) : value(x, y - f))) *
                           0.5f;
                } else if (top) {
                    mean = (value(x - f, y) + value(x + f, y) + value(x, y + f)) * kThreeNeighbourFactor;
                } else if (bottom) {
                    mean = (value(x - f, y) + value(x + f, y) + value(x, y - f)) * kThreeNeighbourFactor;
                } else if (left) {
                    mean = (value(x, y - f) + value(x, y + f) + value(x + f, y)) * kThreeNeighbourFactor;
                } else if (right) {
                    mean = (value(x, y - f) + value(x, y + f) + value(x - f, y)) * kThreeNeighbourFactor;
                } else {
                    mean = (value(x, y - f) + value(x, y + f) + value(x - f, y) + value(x + f, y)) * 0.25f;
                }
                at(x, y) = mean * m;
            }
        }
        // The roughness moves from the large setting at the start step to the small one at the finest.
        const float t = static_cast<float>(f) / static_cast<float>(f0);
        const float w = f >= 2 ? t : 0.0f;
        amp = (0.5f * t + 0.25f) * ((1.0f - w) * small + w * large);
    }
}

void FractalFilterSheet::applyFunctionToImageRep() {
    generate();
    const Bitmap& original = originalImageRep();
    if (!isEditableGreyMap(original) || stopRequested()) return;
    const float last = static_cast<float>(gridSize_ - 1);
    const float scaleX = last / original.width(), scaleY = last / original.height();
    mapFractionsByColumns(original, mutableImageRep(), [&](float, int x, int y) {
        // Once stopped, the rest of the write-out is skipped cheaply; the result is discarded anyway.
        if (stopRequested()) return 0.0f;
        return gridValueAtGridPoint({static_cast<double>(scaleX * x), static_cast<double>(scaleY * y)});
    });
}

}  // namespace korvane
