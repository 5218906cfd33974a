// Post-processing effects and a full render, measured in one run on the same machine:
//   1. each effect on a 1920×1080 render image (depth tint, far depth of field at strength 24, near
//      depth of field at 12, bloom of radius 8, vibrance), as a ratio against a plain copy of the
//      image (startModifiedImage) measured in the same run;
//   2. a full render of a small terrain scene (terrain, sun, sky and camera built in code) at quality
//      level 3 and the default 320×240 output, through YafarayRenderer as the command line drives it.
// Usage: build/bench/post_effects_bench [REPEATS]   (default 3; each time is the fastest of the repeats)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>

#include "BenchRendering.h"
#include "foundation/ParallelFor.h"
#include "renderer/RendererImage.h"

using namespace korvane;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kRenderQuality = 3;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The fastest of `repeats` runs of `measured`, each after `prepare` (not timed).
double fastest(int repeats, const std::function<void()>& prepare, const std::function<void()>& measured) {
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        prepare();
        const auto start = Clock::now();
        measured();
        best = std::min(best, secondsSince(start));
    }
    return best;
}

// A landscape-like render: sky (no depth) in the upper third, ground below whose depth falls from
// 60 units at the horizon to 0.5 at the bottom edge, with noisy colours so that blurs have work.
void fillLandscape(RendererImage& image) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> noise(-0.08f, 0.08f);
    const int horizon = image.height() / 3;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const Point p{double(x), double(y)};
            if (y < horizon) {
                const float t = float(y) / horizon;
                image.setPixelAtPoint(p, 0.4f + 0.2f * t, 0.6f + 0.2f * t, 0.95f, 1);
                image.setDepth(-1, p);
            } else {
                const float t = float(y - horizon) / float(image.height() - horizon);  // 0 far, 1 near
                image.setPixelAtPoint(p, 0.35f + noise(random), 0.45f + noise(random), 0.2f + noise(random),
                                      1);
                image.setDepth(0.5f + 59.5f * std::pow(1 - t, 3.0f), p);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    RendererImage image(Size{kWidth, kHeight});
    fillLandscape(image);
    auto reset = [&] { image.startModifiedImage(); };
    auto nothing = [] {};

    const double copy = fastest(std::max(repeats, 10), nothing, reset);
    std::printf("post effects on %d×%d, %d pool threads, fastest of %d\n", kWidth, kHeight,
                parallelThreadCount(), repeats);
    std::printf("  %-34s %9.3f ms   1.0 (baseline)\n", "plain image copy", copy * 1e3);
    struct Effect {
        const char* name;
        std::function<void()> apply;
    };
    const Effect effects[] = {
        {"depth tint (start 6, bias 0.3)",
         [&] { image.addDepthTint(Color::calibratedRGB(0.5, 0.7, 0.8), 6.0f, 0.3f, 0.15f); }},
        {"far depth of field (strength 24)", [&] { image.addDepthOfFieldWithFarFocusStart(2.5f, 1.0f, 24); }},
        {"near depth of field (strength 12)", [&] { image.addDepthOfFieldWithNearFocusEnd(3.5f, 1.5f, 12); }},
        {"bloom (radius 8, intensity 0.4)", [&] { image.addBloom(8.0f, 0.4f); }},
        {"vibrance (0.5)", [&] { image.addVibrance(0.5f); }},
    };
    for (const Effect& effect : effects) {
        const double seconds = fastest(repeats, reset, effect.apply);
        std::printf("  %-34s %9.3f ms %9.1f× copy\n", effect.name, seconds * 1e3, seconds / copy);
    }

    std::string failure;
    const double render = bench::timeRender(bench::terrainScene(), kRenderQuality, std::nullopt, &failure);
    if (render < 0) {
        std::fprintf(stderr, "full render failed: %s\n", failure.c_str());
        return 1;
    }
    std::printf("full render, quality %d, 320×240, terrain 10×10 units + sun + sky: %.3f s (%.0f× copy)\n",
                kRenderQuality, render, render / copy);
    return 0;
}
