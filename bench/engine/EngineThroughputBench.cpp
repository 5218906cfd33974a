// Engine throughput against raw Embree, measured in one run on the same machine:
//   1. a 1280×720 view across a 1024×1024-cell heightfield (about 2.1 million triangles), one sample
//      per pixel, through the engine and the same camera rays through raw rtcIntersect1;
//   2. the engine's BVH build against a raw Embree build of the same triangles;
//   3. building 500,000 two-triangle meshes (the grass case): time and peak memory.
// Usage: build/bench/engine_throughput_bench [THREADS]   (default 2)
#include <embree3/rtcore.h>
#include <sys/resource.h>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "raytracer/core/Scene.h"
#include "raytracer/interface.h"
#include "raytracer/plugins.h"

using namespace yafaray;

namespace {

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

constexpr int kCells = 1024;
constexpr int kWidth = 1280, kHeight = 720;

struct DiscardOutput : colorOutput_t {
    bool putPixel(int, int, const float*, int) override { return true; }
};

float terrainHeight(int i, int j) {
    return 20.f * std::sin(i * 0.02f) * std::cos(j * 0.015f) + 5.f * std::sin(i * 0.11f + j * 0.07f);
}

struct Heightfield {
    std::vector<float> vertices;  // x, y, z per vertex, plus one float of padding Embree reads past
    std::vector<unsigned> indices;
};

// Sends the heightfield to the engine as one mesh and keeps a copy for the raw Embree build.
Heightfield appendHeightfield(yafrayInterface_t& yi, const material_t* material) {
    Heightfield field;
    unsigned id = 0;
    yi.startTriMesh(id, 0, 0, false, true, 0);
    for (int j = 0; j <= kCells; ++j) {
        for (int i = 0; i <= kCells; ++i) {
            yi.addVertex(i, j, terrainHeight(i, j));
            yi.addUV(i / float(kCells), j / float(kCells));
            field.vertices.insert(field.vertices.end(), {float(i), float(j), terrainHeight(i, j)});
        }
    }
    field.vertices.push_back(0);
    for (int j = 0; j < kCells; ++j) {
        for (int i = 0; i < kCells; ++i) {
            int a = j * (kCells + 1) + i, b = a + 1, c = a + kCells + 2, d = a + kCells + 1;
            yi.addTriangle(a, b, c, a, b, c, material);
            yi.addTriangle(a, c, d, a, c, d, material);
            field.indices.insert(field.indices.end(), {unsigned(a), unsigned(b), unsigned(c), unsigned(a),
                                                       unsigned(c), unsigned(d)});
        }
    }
    yi.endTriMesh();
    return field;
}

RTCScene buildRawScene(RTCDevice device, Heightfield& field) {
    RTCScene scene = rtcNewScene(device);
    RTCGeometry geometry = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
    rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, field.vertices.data(), 0,
                               12, (kCells + 1) * (kCells + 1));
    rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, field.indices.data(), 0, 12,
                               field.indices.size() / 3);
    rtcCommitGeometry(geometry);
    rtcAttachGeometry(scene, geometry);
    rtcReleaseGeometry(geometry);
    rtcCommitScene(scene);
    return scene;
}

double renderSeconds(yafrayInterface_t& yi, int threads) {
    yi.paramsClearAll();
    yi.paramsSetString("camera_name", "camera");
    yi.paramsSetString("integrator_name", "surfaceIntegrator");
    yi.paramsSetInt("width", kWidth);
    yi.paramsSetInt("height", kHeight);
    yi.paramsSetInt("threads", threads);
    yi.paramsSetString("filter_type", "box");
    yi.paramsSetBool("z_channel", true);
    DiscardOutput output;
    Clock::time_point start = Clock::now();
    yi.render(output, nullptr);
    return secondsSince(start);
}

// The engine camera's own rays, traced one at a time through raw Embree on the same number of threads.
double rawTraceSeconds(RTCScene scene, const std::vector<ray_t>& rays, int threads) {
    tbb::task_arena arena(threads);
    std::atomic<long> hits{0};
    Clock::time_point start = Clock::now();
    arena.execute([&] {
        tbb::parallel_for(tbb::blocked_range<int>(0, kHeight, 8), [&](const tbb::blocked_range<int>& rows) {
            RTCIntersectContext context;
            rtcInitIntersectContext(&context);
            long rowHits = 0;
            for (int y = rows.begin(); y < rows.end(); ++y) {
                for (int x = 0; x < kWidth; ++x) {
                    const ray_t& ray = rays[y * kWidth + x];
                    RTCRayHit hit{};
                    hit.ray.org_x = ray.from.x, hit.ray.org_y = ray.from.y, hit.ray.org_z = ray.from.z;
                    hit.ray.dir_x = ray.dir.x, hit.ray.dir_y = ray.dir.y, hit.ray.dir_z = ray.dir.z;
                    hit.ray.tfar = INFINITY;
                    hit.ray.mask = ~0u;
                    hit.hit.geomID = RTC_INVALID_GEOMETRY_ID;
                    rtcIntersect1(scene, &context, &hit);
                    rowHits += hit.hit.geomID != RTC_INVALID_GEOMETRY_ID;
                }
            }
            hits += rowHits;
        });
    });
    return secondsSince(start);
}

void benchmarkHeightfield(int threads) {
    yafrayInterface_t yi;
    renderEnvironment_t& environment = *yi.getRenderEnvironment();
    registerPlugin_sunlight(environment);
    registerPlugin_directlight(environment);
    registerPlugin_shinydiff(environment);
    yi.paramsClearAll();
    yi.paramsSetString("type", "shinydiffusemat");
    const material_t* material = yi.createMaterial("terrain");

    yi.startGeometry();
    Heightfield field = appendHeightfield(yi, material);
    Clock::time_point start = Clock::now();
    yi.endGeometry();
    double engineBuild = secondsSince(start);

    RTCDevice device = rtcNewDevice(nullptr);
    start = Clock::now();
    RTCScene raw = buildRawScene(device, field);
    double rawBuild = secondsSince(start);

    yi.paramsClearAll();
    yi.paramsSetString("type", "perspective");
    yi.paramsSetPoint("from", -100, -100, 150);
    yi.paramsSetPoint("to", 512, 512, 0);
    yi.paramsSetPoint("up", -100, -100, 151);
    yi.paramsSetInt("resx", kWidth);
    yi.paramsSetInt("resy", kHeight);
    yi.paramsSetFloat("focal", 1.2);
    camera_t* camera = yi.createCamera("camera");
    yi.paramsClearAll();
    yi.paramsSetString("type", "directlighting");
    yi.createIntegrator("surfaceIntegrator");

    renderSeconds(yi, threads);  // warm-up
    double engineRender = renderSeconds(yi, threads);

    std::vector<ray_t> rays(kWidth * kHeight);
    float weight = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) rays[y * kWidth + x] = camera->shootRay(x + 0.5f, y + 0.5f, 0, 0, weight);
    }
    rawTraceSeconds(raw, rays, threads);  // warm-up
    double rawTrace = rawTraceSeconds(raw, rays, threads);

    double pixels = double(kWidth) * kHeight;
    std::printf("heightfield: %zu triangles, %d threads\n", yi.scene().triangleCount(), threads);
    std::printf("  BVH build: engine %.3f s, raw Embree %.3f s, engine/raw %.2f (target <= 1.5)\n", engineBuild,
                rawBuild, engineBuild / rawBuild);
    std::printf("  camera rays: engine %.2f M/s (whole render, no lights), raw rtcIntersect1 %.2f M/s, "
                "engine/raw %.2f (target >= 0.5)\n",
                pixels / engineRender / 1e6, pixels / rawTrace / 1e6, rawTrace / engineRender);
    rtcReleaseScene(raw);
    rtcReleaseDevice(device);
}

void benchmarkManyMeshes() {
    constexpr int kMeshes = 500'000;
    yafrayInterface_t yi;
    rusage usage{};
    Clock::time_point start = Clock::now();
    yi.startGeometry();
    for (int k = 0; k < kMeshes; ++k) {
        float x = k % 1000, y = k / 1000;
        unsigned id = 0;
        yi.startTriMesh(id, 4, 2, false, true, 0);
        yi.addVertex(x, y, 0);
        yi.addVertex(x + .5, y, 0);
        yi.addVertex(x + .5, y, .5);
        yi.addVertex(x, y, .5);
        for (int corner = 0; corner < 4; ++corner) yi.addUV(corner & 1, corner >> 1);
        yi.addTriangle(0, 1, 2, 0, 1, 2, nullptr);
        yi.addTriangle(0, 2, 3, 0, 2, 3, nullptr);
        yi.endTriMesh();
    }
    double adding = secondsSince(start);
    start = Clock::now();
    yi.endGeometry();
    double building = secondsSince(start);
    getrusage(RUSAGE_SELF, &usage);
    std::printf("500,000 two-triangle meshes: add %.3f s + build %.3f s = %.3f s (target < 3), %zu Embree "
                "geometries, peak RSS %ld MiB (target < 1024)\n",
                adding, building, adding + building, yi.scene().geometryCount(), usage.ru_maxrss / 1024);
}

}  // namespace

int main(int argc, char** argv) {
    int threads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    // The mesh case runs first so its peak memory is not the heightfield's.
    benchmarkManyMeshes();
    benchmarkHeightfield(threads);
    return 0;
}
