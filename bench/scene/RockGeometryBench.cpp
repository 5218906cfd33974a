// The geometry of a rocks layer at density 1 on a 10 × 10 scene (a 1024 × 1024 map), against raw
// Embree building the same triangles in the same run. Steps, each with its seconds and the peak
// memory it added:
//   layer          the layer's calls recorded into plain arrays (what any engine must be fed)
//   raw Embree     one Embree geometry over those arrays, built (the baseline)
//   engine         the recorded calls replayed into the engine, smoothing and building included
//   engine again   the same after clearAll, as the live preview's next render does (reuse)
//   layer+engine   the layer appending straight into the engine, as a render does
//   rock_geometry_bench
#include <embree3/rtcore.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "../renderer/BenchRendering.h"
#include "foundation/Random.h"
#include "raytracer/core/EmbreeScene.h"
#include "raytracer/core/GeometryCache.h"
#include "raytracer/core/Scene.h"
#include "raytracer/interface.h"
#include "raytracer/plugins.h"
#include "renderer/RendererExtensions.h"
#include "scene/BaseRenderer.h"
#include "scene/layers/smallobjects/RocksLayer.h"

using namespace korvane;

namespace {

// The mesh calls of a layer, kept as arrays; materials are created in this engine and kept.
class RecordingInterface final : public yafaray::yafrayInterface_t {
public:
    using yafrayInterface_t::addTriangle;
    using yafrayInterface_t::addVertex;
    struct mesh_t {
        size_t vertexBase, uvBase, triBegin;
        double smoothAngle = 0;
    };
    std::vector<float> vertices, uvs;
    std::vector<int> corners;  // a, b, c, ua, ub, uc per triangle (mesh-local)
    std::vector<const yafaray::material_t*> materials;
    std::vector<mesh_t> meshes;

    bool startTriMesh(unsigned int& id, int, int, bool, bool, int) override {
        meshes.push_back({vertices.size() / 3, uvs.size() / 2, materials.size()});
        id = static_cast<unsigned>(meshes.size());
        return true;
    }
    int addVertex(double x, double y, double z) override {
        vertices.insert(vertices.end(), {float(x), float(y), float(z)});
        return static_cast<int>(vertices.size() / 3 - 1 - meshes.back().vertexBase);
    }
    int addUV(float u, float v) override {
        uvs.insert(uvs.end(), {u, v});
        return static_cast<int>(uvs.size() / 2 - 1 - meshes.back().uvBase);
    }
    bool addTriangle(int a, int b, int c, int ua, int ub, int uc, const yafaray::material_t* m) override {
        corners.insert(corners.end(), {a, b, c, ua, ub, uc});
        materials.push_back(m);
        return true;
    }
    bool endTriMesh() override { return true; }
    bool smoothMesh(unsigned int id, double angle) override {
        meshes[id ? id - 1 : meshes.size() - 1].smoothAngle = angle;
        return true;
    }

    // Feeds the recorded calls to an engine.
    void replay(yafaray::yafrayInterface_t& yi) const {
        yi.startGeometry();
        for (size_t m = 0; m < meshes.size(); ++m) {
            const size_t vEnd = m + 1 < meshes.size() ? meshes[m + 1].vertexBase : vertices.size() / 3;
            const size_t uEnd = m + 1 < meshes.size() ? meshes[m + 1].uvBase : uvs.size() / 2;
            const size_t tEnd = m + 1 < meshes.size() ? meshes[m + 1].triBegin : materials.size();
            unsigned int id = 0;
            yi.startTriMesh(id, 0, 0, false, true, 0);
            for (size_t v = meshes[m].vertexBase; v < vEnd; ++v)
                yi.addVertex(vertices[3 * v], vertices[3 * v + 1], vertices[3 * v + 2]);
            for (size_t u = meshes[m].uvBase; u < uEnd; ++u) yi.addUV(uvs[2 * u], uvs[2 * u + 1]);
            for (size_t t = meshes[m].triBegin; t < tEnd; ++t) {
                const int* c = &corners[6 * t];
                yi.addTriangle(c[0], c[1], c[2], c[3], c[4], c[5], materials[t]);
            }
            yi.endTriMesh();
            if (meshes[m].smoothAngle > 0) yi.smoothMesh(id, meshes[m].smoothAngle);
        }
        yi.endGeometry();
    }
};

// A renderer that the layer takes for the ray tracer, over a given engine.
class GeometryRenderer final : public BaseRenderer {
public:
    explicit GeometryRenderer(yafaray::yafrayInterface_t& engine) : engine_(engine) {
        yafaray::renderEnvironment_t& env = *engine_.getRenderEnvironment();
        yafaray::registerPlugin_basictex(env);
        yafaray::registerPlugin_basicnodes(env);
        yafaray::registerPlugin_shinydiff(env);
        registerRendererExtensions(env);
        engine_.startScene();
    }
    bool isYafarayRenderer() const override { return true; }
    yafaray::yafrayInterface_t* yafrayinterface() const override { return &engine_; }

private:
    yafaray::yafrayInterface_t& engine_;
};

double memoryMiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::atof(line.c_str() + std::strlen(key)) / 1024.0;
    }
    return -1;
}

// Seconds and peak memory added by one step.
struct step_t {
    double seconds = 0, addedMiB = 0;
};

template <typename F>
step_t measure(F&& f) {
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again at the present size
    const double before = memoryMiB("VmRSS:");
    const auto start = std::chrono::steady_clock::now();
    f();
    step_t s;
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    s.addedMiB = memoryMiB("VmHWM:") - before;
    return s;
}

void print(const char* label, const step_t& s, const step_t& baseline) {
    std::printf("  %-14s %7.3f s  %5.2f×   +%5.0f MiB  %5.2f×\n", label, s.seconds, s.seconds / baseline.seconds,
                s.addedMiB, s.addedMiB / baseline.addedMiB);
}

}  // namespace

int main() {
    const std::shared_ptr<Scene> scene = bench::terrainScene();
    auto rocks = std::make_shared<RocksLayer>(scene.get());
    Bitmap& map = *rocks->mapImageRep();
    std::memset(map.data(), 255, map.sizeInBytes());

    RecordingInterface recorded;
    GeometryRenderer recorder(recorded);
    seedRandom(1);
    const step_t layer = measure([&] { rocks->appendToRenderer(recorder); });

    const step_t raw = measure([&] {
        RTCDevice device = rtcNewDevice(nullptr);
        RTCScene rtcScene = rtcNewScene(device);
        RTCGeometry geom = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
        const size_t triangles = recorded.materials.size();
        auto* vb = static_cast<float*>(rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                               3 * sizeof(float), recorded.vertices.size() / 3));
        std::memcpy(vb, recorded.vertices.data(), recorded.vertices.size() * sizeof(float));
        auto* ib = static_cast<unsigned*>(
            rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(unsigned), triangles));
        for (size_t t = 0; t < triangles; ++t) {
            for (int k = 0; k < 3; ++k) ib[3 * t + k] = unsigned(recorded.corners[6 * t + k]);  // one mesh: global
        }
        rtcCommitGeometry(geom);
        rtcAttachGeometry(rtcScene, geom);
        rtcReleaseGeometry(geom);
        rtcCommitScene(rtcScene);
        rtcReleaseScene(rtcScene);
        rtcReleaseDevice(device);
    });

    std::printf("gray rocks at density 1 on a %d × %d map: %zu triangle calls, %zu vertices, %zu meshes\n",
                map.width(), map.height(), recorded.materials.size(), recorded.vertices.size() / 3,
                recorded.meshes.size());
    std::printf("  %-14s %9s  %6s  %10s  %6s   (ratios against raw Embree)\n", "step", "time", "", "added", "");
    print("layer", layer, raw);
    print("raw Embree", raw, raw);

    yafaray::yafrayInterface_t engine;
    const step_t first = measure([&] { recorded.replay(engine); });
    print("engine", first, raw);
    const yafaray::scene_t& built = engine.scene();
    std::printf("    %zu triangles kept, %zu shapes, %.0f MiB of shape arrays, %.0f MiB in Embree\n",
                built.triangleCount(), built.shapeCount(), built.shapeBytes() / 1048576.0,
                yafaray::EmbreeScene::deviceBytes() / 1048576.0);
    engine.clearAll();
    const step_t again = measure([&] { recorded.replay(engine); });
    print("engine again", again, raw);
    std::printf("    %zu of %zu shapes reused from the render before\n", engine.scene().reusedShapeCount(),
                engine.scene().shapeCount());
    engine.clearAll();
    yafaray::GeometryCache::shared().clear();  // the last step builds from scratch, as a first render

    yafaray::yafrayInterface_t direct;
    GeometryRenderer renderer(direct);
    seedRandom(1);
    const step_t whole = measure([&] {
        direct.startGeometry();
        rocks->appendToRenderer(renderer);
        direct.endGeometry();
    });
    print("layer+engine", whole, raw);
    return 0;
}
