#pragma once

#include <functional>
#include <span>

#include "foundation/Bitmap.h"
#include "foundation/Geometry.h"

namespace korvane {

// One step of a drop's path.
struct ErodePathElement {
    int x = 0;          // column the drop moved to
    int y = 0;          // row, counted from the first stored row
    int momentumX = 0;  // accumulated step direction after this step
    int momentumY = 0;
    float heightDrop = 0;  // height of the pixel left minus that of the neighbour chosen, as a magnitude
};

// What one run of the drop simulation did, for tests and measurements.
struct ErosionStatistics {
    int drops = 0;        // drops simulated
    int erodedPaths = 0;  // drops whose path cut into the map
    long long steps = 0;  // path elements over all drops
};

// Rain-drop erosion: drops start at random pixels, run downhill to their lowest unvisited neighbour
// (with momentum and some meandering), and cut a diamond-shaped groove along their path that is deeper
// where the ground is higher and wider where the drop is faster. Works on Gray16 and Gray8 maps in place;
// draws from the process-wide random generator, so it runs on the main thread, drop after drop.
class ErodeFilter {
public:
    ErodeFilter() = delete;

    // Told after every drop with the number of drops done so far; returning false ends the simulation
    // there (the drops done stay in the bitmap). Called on the simulating thread.
    using DropProgress = std::function<bool(int dropsDone)>;

    // The most path elements of one drop, and the size of the ring of recently visited pixels.
    static constexpr int kMaxPathLength = 256;
    static constexpr int kLastPositionCount = 32;

    // Simulates numberOfDrops drops one after another and erodes the bitmap in place. Drops move only
    // inside inRect and start inside dropsRect; both are in pixels with rows counted from the first
    // stored row. Nothing happens for a count below 1, for a start rectangle less than one pixel wide or
    // high, or for a bitmap that is not a grey map. `progress`, when given, may stop it between drops.
    static ErosionStatistics applyErosionToBitmap(Bitmap& bitmap, Rect inRect, Rect dropsRect,
                                                  int numberOfDrops, float strength,
                                                  const DropProgress& progress = {});

    // Erodes around one path element and returns the height to pass with the next element. The first
    // element of a path (lastPointHeight is the start value kFirstElementHeight) and elements outside the
    // bitmap cut nothing.
    static float drawDropWithErodePathElement(const ErodePathElement& element, float lastPointHeight,
                                              Bitmap& bitmap, float strength);

    // Whether one of the points equals position exactly.
    static bool lastPositionsArrayContainsPosition(std::span<const Point> lastPositions, Point position);

    // The previous height passed with the first element of every path: the largest finite float.
    static constexpr float kFirstElementHeight = 3.4028235e38f;
};

}  // namespace korvane
