// Time per megapixel of the automatic mask fills (steepness and height) on a 1024 × 1024 terrain, each
// with its ratio to a plain pass that converts the same heightmap to 8 bits, measured in the same run.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

#include "scene/layers/texture/MaskAutoFill.h"

using namespace korvane;

namespace {

double secondsPerRun(int runs, const std::function<void()>& body) {
    body();  // warm-up
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / runs;
}

// Rolling hills with ridges, so that both fills meet every case of their formulas.
Bitmap hills(int side) {
    Bitmap heights(side, side, PixelFormat::Gray16);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const double u = x / double(side), v = y / double(side);
            const double h = 0.5 + 0.3 * std::sin(u * 9.0) * std::cos(v * 7.0) +
                             0.2 * std::fabs(std::sin(u * 40.0 + v * 25.0));
            heights.setGray16(x, y, static_cast<uint16_t>(std::fmin(h, 1.0) * 65535.0));
        }
    }
    return heights;
}

}  // namespace

int main() {
    constexpr int kSide = 1024;
    constexpr double kMegapixels = kSide * kSide / 1.0e6;
    const Bitmap heights = hills(kSide);
    Bitmap mask(kSide, kSide, PixelFormat::Gray8);

    const double baseline = secondsPerRun(20, [&] {
        for (int y = 0; y < kSide; ++y) {
            uint8_t* out = mask.row(y);
            for (int x = 0; x < kSide; ++x) out[x] = static_cast<uint8_t>(heights.gray16(x, y) >> 8);
        }
    });
    std::printf("baseline 16-to-8-bit pass: %.2f ms/Mpx\n", baseline * 1e3 / kMegapixels);
    const auto report = [&](const char* name, double seconds) {
        std::printf("%-28s %8.2f ms/Mpx  (%.1f × baseline)\n", name, seconds * 1e3 / kMegapixels,
                    seconds / baseline);
    };
    report("steepness S(0.1, 0.4)",
           secondsPerRun(5, [&] { applySteepnessFill(mask, heights, 0, 0.1f, 0.4f); }));
    report("steepness flats (0.5, 1)",
           secondsPerRun(5, [&] { applySteepnessFill(mask, heights, 1, 0.5f, 1.0f); }));
    report("height around H(0, 0.5, 0.5)",
           secondsPerRun(10, [&] { applyHeightFill(mask, heights, 0, 0.5f, 0.5f); }));
    report("height above H(2, 0.25, 0.8)",
           secondsPerRun(10, [&] { applyHeightFill(mask, heights, 2, 0.25f, 0.8f); }));
    return 0;
}
