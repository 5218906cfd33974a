// Plants and rocks at their largest: a 10 × 10 scene (a 1024 × 1024 density map) painted with green
// grass at density 1, and the same with grey rocks. For each layer: the time to generate its geometry
// into the ray tracer, the triangles and meshes it makes and the peak memory of that step; then
// 640 × 400 renders of the scene without small objects (the baseline), with the grass and with the
// rocks, each with its ratio to the baseline.
//   small_objects_bench [QUALITY]   (quality level 0–4, default 1)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "../renderer/BenchRendering.h"
#include "foundation/Random.h"
#include "raytracer/interface.h"
#include "raytracer/plugins.h"
#include "renderer/RendererExtensions.h"
#include "scene/BaseRenderer.h"
#include "scene/layers/smallobjects/PlantsLayer.h"
#include "scene/layers/smallobjects/RocksLayer.h"

using namespace korvane;

namespace {

constexpr int kWidth = 640, kHeight = 400;

// The real engine, counting what the layers add.
class CountingInterface final : public yafaray::yafrayInterface_t {
public:
    using yafrayInterface_t::addTriangle;
    long long triangles = 0, meshes = 0;
    bool startTriMesh(unsigned int& id, int v, int t, bool hasOrco, bool hasUV, int type) override {
        ++meshes;
        return yafrayInterface_t::startTriMesh(id, v, t, hasOrco, hasUV, type);
    }
    bool addTriangle(int a, int b, int c, int uvA, int uvB, int uvC, const yafaray::material_t* m) override {
        ++triangles;
        return yafrayInterface_t::addTriangle(a, b, c, uvA, uvB, uvC, m);
    }
};

// A renderer that the layers take for the ray tracer, over a counting engine of its own.
class GeometryRenderer final : public BaseRenderer {
public:
    GeometryRenderer() {
        yafaray::renderEnvironment_t& env = *engine_.getRenderEnvironment();
        yafaray::registerPlugin_basictex(env);
        yafaray::registerPlugin_basicnodes(env);
        yafaray::registerPlugin_shinydiff(env);
        registerRendererExtensions(env);
        engine_.startScene();
        engine_.startGeometry();
    }
    bool isYafarayRenderer() const override { return true; }
    yafaray::yafrayInterface_t* yafrayinterface() const override { return &engine_; }
    CountingInterface& engine() const { return engine_; }

private:
    mutable CountingInterface engine_;
};

// The process's peak resident memory in MiB since the last reset (VmHWM), or −1 where unknown.
double peakMemoryMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    }
    return -1;
}

// Starts a new peak at the present resident size (Linux: 5 written to clear_refs).
void resetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

void paintAll(SmallObjectsLayer& layer) {
    Bitmap& map = *layer.mapImageRep();
    std::memset(map.data(), 255, map.sizeInBytes());
}

void reportGeometry(const char* label, const std::shared_ptr<SmallObjectsLayer>& layer) {
    seedRandom(1);
    resetPeakMemory();
    const double before = peakMemoryMiB();
    double seconds = 0;
    long long triangles = 0, meshes = 0;
    {
        GeometryRenderer renderer;
        const auto start = std::chrono::steady_clock::now();
        layer->appendToRenderer(renderer);
        renderer.yafrayinterface()->endGeometry();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        triangles = renderer.engine().triangles;
        meshes = renderer.engine().meshes;
    }
    std::printf("  %-26s %8.3f s  %10lld triangles  %8lld meshes  peak +%.0f MiB\n", label, seconds, triangles,
                meshes, peakMemoryMiB() - before);
}

double render(const std::shared_ptr<Scene>& scene, int quality, double* peakMiB) {
    seedRandom(1);
    resetPeakMemory();
    DefaultsDictionary settings = YafarayRenderer::updateSettingsInDictionary(nullptr, quality, true);
    settings["rendererOutputSizeWidth"] = kWidth;
    settings["rendererOutputSizeHeight"] = kHeight;
    std::string failure;
    const double seconds = bench::renderAndWait(scene, settings, std::nullopt, &failure);
    *peakMiB = peakMemoryMiB();
    if (seconds < 0) std::printf("render failed: %s\n", failure.c_str());
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const int quality = argc > 1 ? std::atoi(argv[1]) : 1;
    const std::shared_ptr<Scene> scene = bench::terrainScene();
    auto grass = std::make_shared<PlantsLayer>(scene.get());
    paintAll(*grass);
    auto rocks = std::make_shared<RocksLayer>(scene.get());
    paintAll(*rocks);
    std::printf("small objects on a %d × %d density map at density 1\n", grass->mapImageRep()->width(),
                grass->mapImageRep()->height());
    std::printf("geometry:\n");
    reportGeometry("green grass", grass);
    reportGeometry("gray rocks", rocks);

    std::printf("renders, quality %d, %d × %d (peak memory of the whole process during each):\n", quality, kWidth,
                kHeight);
    double peak = 0;
    const double baseline = render(scene, quality, &peak);
    if (baseline < 0) return 1;
    std::printf("  %-26s %8.3f s  1.00 (baseline)  peak %.0f MiB\n", "terrain alone", baseline, peak);
    const std::pair<const char*, std::shared_ptr<SmallObjectsLayer>> layers[] = {{"with green grass", grass},
                                                                               {"with gray rocks", rocks}};
    for (const auto& [label, layer] : layers) {
        scene->addLayer(layer);
        const double seconds = render(scene, quality, &peak);
        scene->removeLayer(layer);
        if (seconds < 0) return 1;
        std::printf("  %-26s %8.3f s  %.2f×  peak %.0f MiB\n", label, seconds, seconds / baseline, peak);
    }
    return 0;
}
