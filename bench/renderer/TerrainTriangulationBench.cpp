// The terrain's adaptive triangulation on a 1024 × 1024 fractal heightmap (preset "central peak",
// roughness 0.6 / 0.5, seed 7, the camera at its default place) at detail 100, 50 and 0, and the
// heightmap sampler's throughput. Triangulation times are printed with their ratio to one plain pass
// over the map's samples, sampler rates with their ratio to a loop reading the nearest sample at the
// same positions; both baselines are measured in the same run.
// Usage: build/bench/terrain_triangulation_bench [REPEATS]   (default 3; each time is the fastest)
// The refinement prints its "MAX LEVEL" and "MAX SPLIT COUNT" lines as it reaches the limits.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "editing/TerrainLayerEditing.h"
#include "raytracer/interface.h"
#include "scene/Scene.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/terrain/HeightmapSampler.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/terrain/TerrainLayerQuadTreeNode.h"

using namespace korvane;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The fastest of `repeats` runs.
double fastest(int repeats, const std::function<void()>& measured) {
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        const auto start = Clock::now();
        measured();
        best = std::min(best, secondsSince(start));
    }
    return best;
}

// Keeps a result alive so the optimiser cannot drop the loop that made it.
volatile double sink = 0;

struct Triangulation {
    double refineSeconds = 0, emitSeconds = 0;
    size_t leaves = 0;
    uint32_t vertices = 0, triangles = 0;
};

// Refines and emits the terrain mesh as appendToRenderer does, into a fresh engine scene.
Triangulation triangulate(const TerrainLayer& terrain, int detail, Point cameraOnBitmap) {
    const Bitmap& map = *terrain.heightmapImageRep();
    const auto* samples = reinterpret_cast<const uint16_t*>(map.data());
    const Size bitmapSize{double(map.width()), double(map.height())};
    const Size sceneSize = terrain.scene()->size();
    yafaray::yafrayInterface_t yi;
    yi.startScene(0);
    yi.startGeometry();
    const auto start = Clock::now();
    TerrainLayerQuadTreeNode root(terrain);
    root.resetDetailSplitCount();
    root.splitTraverse(samples, bitmapSize, {{0, 0}, bitmapSize}, detail, cameraOnBitmap);
    const double refineSeconds = secondsSince(start);
    const auto emitStart = Clock::now();
    unsigned int meshID = 0;
    yi.startTriMesh(meshID, 0, 0, false, true, 0);
    root.appendVerticesToRenderer(yi, nullptr, samples, bitmapSize, sceneSize, {{0, 0}, sceneSize});
    root.appendTrianglesToRenderer(yi, nullptr, samples, bitmapSize, sceneSize, {{0, 0}, sceneSize});
    yi.endTriMesh();
    return {refineSeconds, secondsSince(emitStart), root.leafCount(), root.build().verticesAdded,
            root.build().trianglesAdded};
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    Scene scene;
    auto terrain = std::make_shared<TerrainLayer>(&scene);
    auto camera = std::make_shared<CameraLayer>(&scene);
    scene.addLayer(terrain);
    scene.addLayer(camera);
    generateFractalTerrainLayer(*terrain, 0, 0.6f, 0.5f, 7);
    const Bitmap& map = *terrain->heightmapImageRep();
    const auto* samples = reinterpret_cast<const uint16_t*>(map.data());
    const size_t sampleCount = size_t(map.width()) * map.height();
    const Size bitmapSize{double(map.width()), double(map.height())};
    const Size sceneSize = scene.size();
    const Point eye = camera->fromPoint();
    const Point cameraOnBitmap{eye.x / sceneSize.width * bitmapSize.width,
                               (sceneSize.height - eye.y) / sceneSize.height * bitmapSize.height};

    const double passSeconds = fastest(repeats * 10, [&] {
        uint64_t sum = 0;
        for (size_t i = 0; i < sampleCount; ++i) sum += samples[i];
        sink = double(sum);
    });
    std::printf("baseline: one pass over the %d x %d samples: %.3f ms\n", map.width(), map.height(),
                passSeconds * 1e3);

    std::printf("%-8s %10s %10s %12s %10s %10s %10s %12s\n", "detail", "time (ms)", "× pass", "refine (ms)",
                "emit (ms)", "leaves", "vertices", "triangles");
    for (int detail : {100, 50, 0}) {
        // The fastest run, with its own phase times and counts.
        Triangulation result;
        double seconds = 1e300;
        for (int i = 0; i < repeats; ++i) {
            const Triangulation run = triangulate(*terrain, detail, cameraOnBitmap);
            if (run.refineSeconds + run.emitSeconds < seconds) {
                result = run;
                seconds = run.refineSeconds + run.emitSeconds;
            }
        }
        std::printf("%-8d %10.1f %10.0f %12.1f %10.1f %10zu %10u %12u\n", detail, seconds * 1e3,
                    seconds / passSeconds, result.refineSeconds * 1e3, result.emitSeconds * 1e3,
                    result.leaves, result.vertices, result.triangles);
    }

    // Positions spread over the map (a fixed sequence, the same for the sampler and its baseline).
    constexpr int kEvaluations = 4000000;
    std::vector<float> xs(kEvaluations), ys(kEvaluations);
    uint32_t state = 12345;
    for (int i = 0; i < kEvaluations; ++i) {
        state = state * 1664525u + 1013904223u;
        xs[i] = float(state >> 8) / float(1 << 24) * float(map.width());
        state = state * 1664525u + 1013904223u;
        ys[i] = float(state >> 8) / float(1 << 24) * float(map.height());
    }
    const double nearestSeconds = fastest(repeats, [&] {
        double sum = 0;
        for (int i = 0; i < kEvaluations; ++i)
            sum += samples[size_t(ys[i]) * map.width() + size_t(xs[i])] / 65535.0f;
        sink = sum;
    });
    const double samplerSeconds = fastest(repeats, [&] {
        double sum = 0;
        for (int i = 0; i < kEvaluations; ++i)
            sum += interpolatedValueFromBitmapData(samples, bitmapSize, xs[i], ys[i]);
        sink = sum;
    });
    std::printf("baseline: nearest-sample reads: %.1f M/s\n", kEvaluations / nearestSeconds / 1e6);
    std::printf("sampler: %.1f M evaluations/s (%.1f × the time of a nearest-sample read)\n",
                kEvaluations / samplerSeconds / 1e6, samplerSeconds / nearestSeconds);
    return 0;
}
