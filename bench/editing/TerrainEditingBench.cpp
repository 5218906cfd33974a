// Throughput of the terrain editing algorithms on a 1024 × 1024 16-bit map. Each figure is printed with
// its ratio to a plain copy of the same map measured in the same run.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>

#include "editing/ErodeBrushes.h"
#include "editing/ErodeFilter.h"
#include "editing/FractalFilterSheet.h"
#include "editing/HeightmapFilters.h"
#include "editing/NoiseFilterSheet.h"
#include "editing/ShapeBrushes.h"

using namespace korvane;

namespace {

double secondsPerRun(int runs, const std::function<void()>& body) {
    body();  // warm-up
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) body();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / runs;
}

}  // namespace

int main() {
    constexpr int kSide = 1024;
    constexpr double kMegapixels = kSide * kSide / 1.0e6;
    Bitmap map(kSide, kSide, PixelFormat::Gray16);
    FractalFilterSheet fractal(map, nullptr);
    fractal.setPreset(0);
    fractal.setSeed(7);
    const double fractalSeconds = secondsPerRun(3, [&] { fractal.valueChanged(); });
    Bitmap out = map;

    const double copySeconds =
        secondsPerRun(50, [&] { std::memcpy(out.data(), map.data(), map.sizeInBytes()); });
    std::printf("baseline copy: %.0f Mpx/s\n", kMegapixels / copySeconds);
    const auto report = [&](const char* name, double seconds) {
        std::printf("%-22s %8.1f Mpx/s  (%.2f × copy time)\n", name, kMegapixels / seconds,
                    seconds / copySeconds);
    };
    report("clamp", secondsPerRun(50, [&] { clampMap(map, out, 0.8f, 0.2f); }));
    report("equalize", secondsPerRun(50, [&] { equalizeMap(map, out, 0.5f); }));
    report("flats (radius 25)", secondsPerRun(10, [&] { crystallizeMap(map, out, 25.0f); }));
    NoiseSettings noise;
    noise.octaves = 8;
    report("noise (8 octaves)", secondsPerRun(5, [&] { addNoiseToMap(map, out, noise); }));
    std::printf("fractal terrain 1025² grid + write-out: %.1f ms (%.0f × copy time)\n", fractalSeconds * 1e3,
                fractalSeconds / copySeconds);

    const Rect whole{{0, 0}, {double(kSide), double(kSide)}};
    out = map;
    const double erosionSeconds =
        secondsPerRun(1, [&] { ErodeFilter::applyErosionToBitmap(out, whole, whole, 10000, 0.5f); });
    std::printf("erosion: %.0f drops/s (10 000 drops in %.1f ms)\n", 10000 / erosionSeconds,
                erosionSeconds * 1e3);

    RadialGradientEditMapSceneTool standard;
    SpikeGradientEditMapSceneTool spike;
    CircleEditMapSceneTool circle;
    NoiseEditMapSceneTool noiseBrush;
    ErodeEditMapSceneTool erode;
    WaterErodeEditMapSceneTool water;
    BaseEditMapSceneTool* tools[] = {&standard, &spike, &circle, &noiseBrush, &erode, &water};
    for (BaseEditMapSceneTool* tool : tools) {
        for (float radius : {64.0f, 256.0f}) {
            tool->sliders()[1].setValue(radius);
            out = map;
            const double s = secondsPerRun(20, [&] { tool->applyInImage(out, {512, 512}); });
            std::printf("dab %-55s r=%-3.0f (slider %3.0f): %8.1f µs\n", tool->name().c_str(), radius,
                        tool->sliders()[1].value, s * 1e6);
        }
    }
    return 0;
}
