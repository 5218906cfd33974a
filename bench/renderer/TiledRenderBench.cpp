// The cost of rendering a frame in tiles (`korvane render --region`), as a farm does, against one
// direct render of the same frame measured in the same run: the small terrain scene at quality
// level 3 and 320×240, split into 4 (2 × 2) and 16 (4 × 4) tiles. Each tile builds the whole scene
// and renders its rectangle plus the margin that keeps its pixels equal to the direct render's, so
// the sum of the tile times is what the farm pays in machine time.
// Usage: build/bench/tiled_render_bench [REPEATS]   (default 1; each time is the fastest of the repeats)
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "BenchRendering.h"

using namespace korvane;

namespace {

constexpr int kQuality = 3;
constexpr int kWidth = 320, kHeight = 240;  // the settings' default output size

// The fastest of `repeats` renders of the region (the whole frame when none); negative on failure.
double fastestRender(const std::shared_ptr<Scene>& scene, std::optional<PixelRegion> region, int repeats) {
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        std::string failure;
        const double seconds = bench::timeRender(scene, kQuality, region, &failure);
        if (seconds < 0) {
            std::fprintf(stderr, "render failed: %s\n", failure.c_str());
            return -1;
        }
        best = std::min(best, seconds);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const std::shared_ptr<Scene> scene = bench::terrainScene();
    const double direct = fastestRender(scene, std::nullopt, repeats);
    if (direct < 0) return 1;
    std::printf("tiled renders, quality %d, %d×%d, fastest of %d\n", kQuality, kWidth, kHeight, repeats);
    std::printf("  %-10s %8.3f s   1.00 (baseline)\n", "direct", direct);
    for (int side : {2, 4}) {
        double sum = 0, slowest = 0;
        for (int row = 0; row < side; ++row) {
            for (int column = 0; column < side; ++column) {
                const PixelRegion region{kWidth * column / side, kHeight * row / side,
                                         kWidth * (column + 1) / side, kHeight * (row + 1) / side};
                const double seconds = fastestRender(scene, region, repeats);
                if (seconds < 0) return 1;
                sum += seconds;
                slowest = std::max(slowest, seconds);
            }
        }
        std::printf("  %2d tiles   %8.3f s   %.2f× direct in machine time; slowest tile %.3f s (%.2f×)\n",
                    side * side, sum, sum / direct, slowest, slowest / direct);
    }
    return 0;
}
