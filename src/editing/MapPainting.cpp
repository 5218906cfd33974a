#include "editing/MapPainting.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "editing/MapSamples.h"

namespace korvane {

namespace {

// The pixel ranges whose centres may lie within radius of centre, clipped to the bitmap; empty (first >
// last) when the shape misses it or its numbers are not finite.
struct PixelSpan {
    int firstColumn = 0, lastColumn = -1;
    int firstDrawingRow = 0, lastDrawingRow = -1;  // rows counted from the bottom edge
};

PixelSpan coveredPixels(const Bitmap& bitmap, Point centre, double radius) {
    PixelSpan span;
    if (!std::isfinite(centre.x) || !std::isfinite(centre.y) || !std::isfinite(radius) || radius < 0) {
        return span;
    }
    const auto clampedIndex = [](double v, int size) {
        return static_cast<int>(std::clamp(v, -1.0, static_cast<double>(size)));
    };
    span.firstColumn = std::max(0, clampedIndex(std::ceil(centre.x - radius - 0.5), bitmap.width()));
    span.lastColumn =
        std::min(bitmap.width() - 1, clampedIndex(std::floor(centre.x + radius - 0.5), bitmap.width()));
    span.firstDrawingRow = std::max(0, clampedIndex(std::ceil(centre.y - radius - 0.5), bitmap.height()));
    span.lastDrawingRow =
        std::min(bitmap.height() - 1, clampedIndex(std::floor(centre.y + radius - 0.5), bitmap.height()));
    return span;
}

// Visits every pixel whose centre lies within radius of centre with its distance from the centre and
// the sample to change.
template <class Sample, class Visit>
void forEachPixelInDisc(Bitmap& bitmap, Point centre, double radius, Visit&& visit) {
    const PixelSpan span = coveredPixels(bitmap, centre, radius);
    const double radiusSquared = radius * radius;
    const int height = bitmap.height();
    for (int drawingRow = span.firstDrawingRow; drawingRow <= span.lastDrawingRow; ++drawingRow) {
        const double dy = drawingRow + 0.5 - centre.y;
        auto* samples = reinterpret_cast<Sample*>(bitmap.row(height - 1 - drawingRow));
        for (int column = span.firstColumn; column <= span.lastColumn; ++column) {
            const double dx = column + 0.5 - centre.x;
            const double distanceSquared = dx * dx + dy * dy;
            if (distanceSquared > radiusSquared) continue;
            visit(samples[column], distanceSquared);
        }
    }
}

template <class Sample>
inline void compositeOver(Sample& sample, float grey, float opacity) {
    constexpr float scale = SampleTraits<Sample>::kFullScale;
    const float old = static_cast<float>(sample) / scale;
    const float result = std::clamp(old * (1.0f - opacity) + grey * opacity, 0.0f, 1.0f);
    sample = static_cast<Sample>(result * scale + 0.5f);
}

}  // namespace

void paintRadialGradient(Bitmap& bitmap, Point centre, double radius, float grey,
                         std::span<const float> stopOpacities) {
    if (stopOpacities.empty() || !(radius > 0)) return;
    grey = std::clamp(grey, 0.0f, 1.0f);
    const int segments = static_cast<int>(stopOpacities.size()) - 1;
    dispatchGreyMap(bitmap, [&]<class Sample>() {
        forEachPixelInDisc<Sample>(bitmap, centre, radius, [&](Sample& sample, double distanceSquared) {
            float opacity = stopOpacities[0];
            if (segments > 0) {
                const double position = std::sqrt(distanceSquared) / radius * segments;
                const int stop = std::min(static_cast<int>(position), segments - 1);
                const auto t = static_cast<float>(position - stop);
                opacity = stopOpacities[stop] + t * (stopOpacities[stop + 1] - stopOpacities[stop]);
            }
            if (opacity > 0) compositeOver(sample, grey, std::min(opacity, 1.0f));
        });
    });
}

void paintDisc(Bitmap& bitmap, Point centre, double radius, float grey, float opacity) {
    if (!(radius > 0) || !(opacity > 0)) return;
    grey = std::clamp(grey, 0.0f, 1.0f);
    opacity = std::min(opacity, 1.0f);
    dispatchGreyMap(bitmap, [&]<class Sample>() {
        forEachPixelInDisc<Sample>(bitmap, centre, radius,
                                   [&](Sample& sample, double) { compositeOver(sample, grey, opacity); });
    });
}

int storedRowForDrawingY(const Bitmap& bitmap, double y) {
    const double row = std::floor(bitmap.height() - y);
    if (!(row >= 0)) return 0;  // also catches NaN
    return static_cast<int>(std::min(row, static_cast<double>(bitmap.height() - 1)));
}

int columnForDrawingX(const Bitmap& bitmap, double x) {
    const double column = std::floor(x);
    if (!(column >= 0)) return 0;
    return static_cast<int>(std::min(column, static_cast<double>(bitmap.width() - 1)));
}

}  // namespace korvane
