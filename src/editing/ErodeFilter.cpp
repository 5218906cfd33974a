#include "editing/ErodeFilter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "editing/MapSamples.h"
#include "foundation/Random.h"

namespace korvane {

namespace {

// A drop that has not gone downhill this many times plus one ends: it sits on a plateau or in a pit.
constexpr int kMaxNonDescendingSteps = 25;
// Once the momentum exceeds this (in the city-block norm) the drop starts to meander sideways.
constexpr int kMeanderMomentum = 20;
// The widest cut, in pixels from the path element.
constexpr int kMaxCutRadius = 16;
// The depth of a cut as a share of the height at the element, before strength and weight.
constexpr float kCutDepth = 0.2f;

// The mutable state of one drop: position, momentum, the ring of visited pixels and the path.
struct Drop {
    std::array<Point, ErodeFilter::kLastPositionCount> lastPositions{};
    int lastPositionIndex = 0;
    std::array<ErodePathElement, ErodeFilter::kMaxPathLength> path;
    int pathLength = 0;
    int nonDescendingSteps = 0;
};

// Lowers the pixel's fraction by amount, stores 0 where it would go negative, otherwise the integer
// part of the scaled result.
void lowerPixel(Bitmap& bitmap, int x, int y, float amount) {
    const float value = readFraction(bitmap, x, y) - amount;
    writeFractionTruncated(bitmap, x, y, value < 0 ? 0.0f : value);
}

// Runs one drop from (x, y) and fills drop.path; the rules of movement are those of
// ErodeFilter::applyErosionToBitmap.
void traceDrop(const Bitmap& bitmap, const Rect& area, int x, int y, Drop& drop) {
    const int width = bitmap.width();
    const int height = bitmap.height();
    int momentumX = 0;
    int momentumY = 0;
    while (drop.pathLength < ErodeFilter::kMaxPathLength) {
        x = std::clamp(x, 0, width - 1);
        y = std::clamp(y, 0, height - 1);
        const float here = readFraction(bitmap, x, y);

        bool leaving = false;
        bool chosen = false;
        float lowest = 0;
        int stepX = 0;
        int stepY = 0;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (dx == 0 && dy == 0) continue;
                const int nx = x + dx;
                const int ny = y + dy;
                if (nx < 0 || nx >= width || ny < 0 || ny >= height || nx < area.minX() ||
                    nx >= area.maxX() || ny < area.minY() || ny >= area.maxY()) {
                    leaving = true;
                    break;  // the rest of this row is not looked at
                }
                if (ErodeFilter::lastPositionsArrayContainsPosition(drop.lastPositions,
                                                                    {double(nx), double(ny)})) {
                    continue;
                }
                const float neighbour = readFraction(bitmap, nx, ny);
                if (neighbour == 0) continue;  // the drop never runs onto ground at height 0
                if (!chosen || neighbour < lowest) {
                    chosen = true;
                    lowest = neighbour;
                    stepX = dx;
                    stepY = dy;
                }
            }
        }
        if (!(chosen && lowest < here)) ++drop.nonDescendingSteps;
        if (leaving || !chosen || drop.nonDescendingSteps > kMaxNonDescendingSteps) break;

        if (std::abs(momentumX) + std::abs(momentumY) > kMeanderMomentum) {
            // A sideways shift of −2 … 2 across the main direction of travel.
            const int q = randomInt();
            const int shift = static_cast<int>(std::floor((10 - q % 20) / 5.0));
            if (std::abs(momentumY) <= std::abs(momentumX)) {
                stepY += shift;
            } else {
                stepX += shift;
            }
        }
        momentumX += stepX;
        momentumY += stepY;
        // A step against the momentum breaks most of it.
        if ((stepX > 0 && momentumX < 0) || (stepX < 0 && momentumX > 0)) momentumX = -(momentumX / 4);
        if ((stepY > 0 && momentumY < 0) || (stepY < 0 && momentumY > 0)) momentumY = -(momentumY / 4);

        x += stepX;
        y += stepY;
        drop.lastPositions[drop.lastPositionIndex] = {double(x), double(y)};
        drop.lastPositionIndex = (drop.lastPositionIndex + 1) % ErodeFilter::kLastPositionCount;
        drop.path[drop.pathLength++] = {x, y, momentumX, momentumY, std::abs(here - lowest)};
    }
}

}  // namespace

ErosionStatistics ErodeFilter::applyErosionToBitmap(Bitmap& bitmap, Rect inRect, Rect dropsRect,
                                                    int numberOfDrops, float strength,
                                                    const DropProgress& progress) {
    ErosionStatistics statistics;
    if (numberOfDrops < 1 || !isEditableGreyMap(bitmap)) return statistics;
    // The start draws take the remainder by the rectangle's integer size.
    const double startWidth = std::clamp(dropsRect.size.width, -2.0e9, 2.0e9);
    const double startHeight = std::clamp(dropsRect.size.height, -2.0e9, 2.0e9);
    const int modulusX = static_cast<int>(startWidth);
    const int modulusY = static_cast<int>(startHeight);
    if (modulusX < 1 || modulusY < 1 || !std::isfinite(dropsRect.origin.x) ||
        !std::isfinite(dropsRect.origin.y)) {
        return statistics;
    }
    const auto startCoordinate = [](int draw, int modulus, double origin) {
        return static_cast<int>(std::clamp(draw % modulus + origin, -2.0e9, 2.0e9));
    };

    Drop drop;
    for (int i = 0; i < numberOfDrops; ++i) {
        drop.lastPositions.fill(Point{0, 0});
        drop.lastPositionIndex = 0;
        drop.pathLength = 0;
        drop.nonDescendingSteps = 0;
        const int x = startCoordinate(randomInt(), modulusX, dropsRect.origin.x);
        const int y = startCoordinate(randomInt(), modulusY, dropsRect.origin.y);
        traceDrop(bitmap, inRect, x, y, drop);

        ++statistics.drops;
        statistics.steps += drop.pathLength;
        // Paths that wandered mostly on flat or rising ground leave no trace.
        if (drop.pathLength > 0 && drop.nonDescendingSteps < drop.pathLength / 2) {
            ++statistics.erodedPaths;
            float lastHeight = kFirstElementHeight;
            for (int k = 0; k < drop.pathLength; ++k) {
                lastHeight = drawDropWithErodePathElement(drop.path[k], lastHeight, bitmap, strength);
            }
        }
        if (progress && !progress(i + 1)) break;
    }
    return statistics;
}

float ErodeFilter::drawDropWithErodePathElement(const ErodePathElement& element, float lastPointHeight,
                                                Bitmap& bitmap, float strength) {
    const int width = bitmap.width();
    const int height = bitmap.height();
    const int x = element.x;
    const int y = element.y;
    if (x < 0 || x >= width || y < 0 || y >= height || !isEditableGreyMap(bitmap)) return lastPointHeight;
    const float here = readFraction(bitmap, x, y);
    if (lastPointHeight == kFirstElementHeight) return here;
    if (!(strength > 0)) return here;  // no cut (and a negative or NaN strength never raises the ground)

    // Faster drops cut wider.
    const double speed = std::sqrt(double(element.momentumX) * element.momentumX +
                                   double(element.momentumY) * element.momentumY);
    const double scaledRadius = std::ceil(speed / 3.0) * strength * 3.0;
    const int radius =
        std::isnan(scaledRadius) ? 1 : static_cast<int>(std::clamp(scaledRadius, 1.0, double(kMaxCutRadius)));
    const float weightScale = 1.0f / (2.0f * radius * radius);
    const float depth = kCutDepth * here * strength;

    for (int i = std::max(0, y - radius); i < std::min(height, y + radius); ++i) {
        for (int j = std::max(0, x - radius); j < std::min(width, x + radius); ++j) {
            const float weight =
                static_cast<float>(radius - (std::abs(j - x) + std::abs(i - y))) * weightScale;
            if (weight > 0) lowerPixel(bitmap, j, i, depth * weight);
        }
    }
    return here;
}

bool ErodeFilter::lastPositionsArrayContainsPosition(std::span<const Point> lastPositions, Point position) {
    return std::find(lastPositions.begin(), lastPositions.end(), position) != lastPositions.end();
}

}  // namespace korvane
