// The cost of rendering a frame in tiles (`korvane render --region`), as a farm does, against one
// direct render of the same frame measured in the same run: the small terrain scene at quality
// level 3 and 320×240, split into 4 (2 × 2) and 16 (4 × 4) tiles. Each tile builds the whole scene
// and renders its rectangle plus the margin that keeps its film equal to the direct render's; the
// merge then puts the tiles' films together and denoises and resolves the frame once. The sum of
// the tile times and the merge's is what the farm pays in machine time.
// Usage: build/bench/tiled_render_bench [REPEATS]   (default 1; each time is the fastest of the repeats)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "BenchRendering.h"
#include "renderer/RenderTile.h"
#include "renderer/RendererImage.h"

using namespace korvane;

namespace {

constexpr int kQuality = 3;
constexpr int kWidth = 320, kHeight = 240;  // the settings' default output size

// The fastest of `repeats` renders of the region (the whole frame when none), keeping a region's
// tile in `tile`; negative on failure.
double fastestRender(const std::shared_ptr<Scene>& scene, std::optional<PixelRegion> region, int repeats,
                     std::optional<RenderTile>* tile = nullptr) {
    const DefaultsDictionary settings = YafarayRenderer::updateSettingsInDictionary(nullptr, kQuality, true);
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        std::string failure;
        const double seconds = bench::renderAndWait(
            scene,
            [&](YafarayRenderer& renderer) {
                renderer.configureFromSettingsDictionary(settings);
                renderer.setRenderRegion(region);
            },
            &failure,
            [&](RendererImage& image) {
                if (tile) *tile = renderTileOf(image);
            });
        if (seconds < 0) {
            std::fprintf(stderr, "render failed: %s\n", failure.c_str());
            return -1;
        }
        best = std::min(best, seconds);
    }
    return best;
}

// The fastest of `repeats` merges of the tiles' films into the frame's image, as `korvane merge`
// does before it post-processes.
double fastestMerge(const std::vector<RenderTile>& tiles, bool alphaFromDepth, int repeats) {
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        yafaray::rawFilm_t frame = frameFilmFor(tiles.front());
        for (const RenderTile& tile : tiles) pasteRenderTile(tile, frame);
        RendererImage image(Size{double(frame.frameWidth), double(frame.frameHeight)});
        resolveFrameFilm(frame, alphaFromDepth, image);
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
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
        std::vector<RenderTile> tiles;
        for (int row = 0; row < side; ++row) {
            for (int column = 0; column < side; ++column) {
                const PixelRegion region{kWidth * column / side, kHeight * row / side,
                                         kWidth * (column + 1) / side, kHeight * (row + 1) / side};
                std::optional<RenderTile> tile;
                const double seconds = fastestRender(scene, region, repeats, &tile);
                if (seconds < 0) return 1;
                if (!tile) {
                    std::fprintf(stderr, "the render of a region handed over no film\n");
                    return 1;
                }
                tiles.push_back(std::move(*tile));
                sum += seconds;
                slowest = std::max(slowest, seconds);
            }
        }
        const double merge = fastestMerge(tiles, YafarayRenderer::alphaFromDepth(*scene), repeats);
        sum += merge;
        std::printf(
            "  %2d tiles   %8.3f s   %.2f× direct in machine time (merge %.3f s); slowest tile %.3f s "
            "(%.2f×)\n",
            side * side, sum, sum / direct, merge, slowest, slowest / direct);
    }
    return 0;
}
