// The geometry of a rocks layer at density 1 on a 10 × 10 scene (a 1024 × 1024 map), against raw
// Embree building the same triangles in the same run. Steps, each with its seconds, the peak memory
// it added and the memory it still holds when done:
//   layer          the layer's calls recorded into plain arrays (what any engine must be fed)
//   raw Embree     one Embree geometry over those arrays, built (the baseline)
//   engine         the recorded calls replayed into the engine, smoothing and building included
//   engine again   the same after clearAll, as the live preview's next render does (reuse)
//   layer+engine   the layer appending straight into the engine, as a render does
// Every step runs in a process of its own, forked before anything is built, and what it needs
// first (the scene, the recording it replays) is made there and its freed heap handed back to the
// system before the step starts: a step cannot look smaller by reusing pages an earlier one freed.
//   rock_geometry_bench
#include <embree3/rtcore.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

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

// What one step reports to the bench, through a pipe from its process.
struct step_t {
    bool ran = false;
    double seconds = 0, addedMiB = 0, keptMiB = 0;
    // The geometry it saw or built (what applies to the step).
    size_t triangleCalls = 0, vertices = 0, meshes = 0;
    size_t trianglesKept = 0, shapes = 0, reusedShapes = 0, shapeBytes = 0, embreeBytes = 0;
    int mapWidth = 0, mapHeight = 0;
};

// Times f and records the peak memory it added over what was held before it.
template <typename F>
void measure(step_t& s, F&& f) {
    malloc_trim(0);  // freed heap goes back to the system: reusing it counts as new memory
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again at the present size
    const double before = memoryMiB("VmRSS:");
    const auto start = std::chrono::steady_clock::now();
    f();
    s.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    s.addedMiB = memoryMiB("VmHWM:") - before;
    s.keptMiB = memoryMiB("VmRSS:") - before;
    s.ran = true;
}

void describeGeometry(step_t& s, const yafaray::yafrayInterface_t& engine) {
    const yafaray::scene_t& built = engine.scene();
    s.trianglesKept = built.triangleCount();
    s.shapes = built.shapeCount();
    s.reusedShapes = built.reusedShapeCount();
    s.shapeBytes = built.shapeBytes();
    s.embreeBytes = yafaray::EmbreeScene::deviceBytes();
}

enum class stepKind_t { layer, rawEmbree, engine, engineAgain, layerEngine };

// One step, from a fresh process's start: the scene, what the step needs, then the step itself.
step_t runStep(stepKind_t kind) {
    step_t s;
    const std::shared_ptr<Scene> scene = bench::terrainScene();
    auto rocks = std::make_shared<RocksLayer>(scene.get());
    Bitmap& map = *rocks->mapImageRep();
    std::memset(map.data(), 255, map.sizeInBytes());
    s.mapWidth = map.width();
    s.mapHeight = map.height();

    if (kind == stepKind_t::layerEngine) {
        yafaray::yafrayInterface_t direct;
        GeometryRenderer renderer(direct);
        seedRandom(1);
        measure(s, [&] {
            direct.startGeometry();
            rocks->appendToRenderer(renderer);
            direct.endGeometry();
        });
        describeGeometry(s, direct);
        return s;
    }

    RecordingInterface recorded;
    GeometryRenderer recorder(recorded);
    seedRandom(1);
    auto record = [&] { rocks->appendToRenderer(recorder); };
    if (kind == stepKind_t::layer) {
        measure(s, record);
    } else {
        record();
    }
    s.triangleCalls = recorded.materials.size();
    s.vertices = recorded.vertices.size() / 3;
    s.meshes = recorded.meshes.size();

    if (kind == stepKind_t::rawEmbree) {
        measure(s, [&] {
            RTCDevice device = rtcNewDevice(nullptr);
            RTCScene rtcScene = rtcNewScene(device);
            RTCGeometry geom = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
            const size_t triangles = recorded.materials.size();
            auto* vb = static_cast<float*>(rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                                   3 * sizeof(float), recorded.vertices.size() / 3));
            std::memcpy(vb, recorded.vertices.data(), recorded.vertices.size() * sizeof(float));
            auto* ib = static_cast<unsigned*>(rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_INDEX, 0,
                                                                      RTC_FORMAT_UINT3, 3 * sizeof(unsigned), triangles));
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
    } else if (kind == stepKind_t::engine) {
        yafaray::yafrayInterface_t engine;
        measure(s, [&] { recorded.replay(engine); });
        describeGeometry(s, engine);
    } else if (kind == stepKind_t::engineAgain) {
        yafaray::yafrayInterface_t engine;
        recorded.replay(engine);
        engine.clearAll();
        measure(s, [&] { recorded.replay(engine); });
        describeGeometry(s, engine);
    }
    return s;
}

// Runs a step in a child process and answers what it reported (ran is false when it failed).
step_t runInChild(stepKind_t kind) {
    int channel[2];
    if (pipe(channel) != 0) return {};
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) return {};
    if (child == 0) {
        close(channel[0]);
        const step_t s = runStep(kind);
        const bool sent = write(channel[1], &s, sizeof s) == ssize_t(sizeof s);
        std::fflush(stdout);
        _exit(sent ? 0 : 1);
    }
    close(channel[1]);
    step_t s;
    if (read(channel[0], &s, sizeof s) != ssize_t(sizeof s)) s = {};
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) s.ran = false;
    return s;
}

void print(const char* label, const step_t& s, const step_t& baseline) {
    std::printf("  %-14s %7.3f s  %5.2f×   +%5.0f MiB  %5.2f×   %5.0f MiB\n", label, s.seconds,
                s.seconds / baseline.seconds, s.addedMiB, s.addedMiB / baseline.addedMiB, s.keptMiB);
}

void printGeometry(const step_t& s) {
    std::printf("    %zu triangles kept, %zu shapes (%zu reused from the render before), %.0f MiB of shape arrays, "
                "%.0f MiB in Embree\n",
                s.trianglesKept, s.shapes, s.reusedShapes, s.shapeBytes / 1048576.0, s.embreeBytes / 1048576.0);
}

}  // namespace

int main() {
    // Forked before any thread exists, so every child starts as this process did.
    const step_t layer = runInChild(stepKind_t::layer);
    const step_t raw = runInChild(stepKind_t::rawEmbree);
    const step_t first = runInChild(stepKind_t::engine);
    const step_t again = runInChild(stepKind_t::engineAgain);
    const step_t whole = runInChild(stepKind_t::layerEngine);
    if (!layer.ran || !raw.ran || !first.ran || !again.ran || !whole.ran) {
        std::printf("a step failed\n");
        return 1;
    }

    std::printf("gray rocks at density 1 on a %d × %d map: %zu triangle calls, %zu vertices, %zu meshes\n",
                layer.mapWidth, layer.mapHeight, layer.triangleCalls, layer.vertices, layer.meshes);
    std::printf("  %-14s %9s  %6s  %10s  %6s  %9s   (ratios against raw Embree)\n", "step", "time", "", "added", "",
                "kept");
    print("layer", layer, raw);
    print("raw Embree", raw, raw);
    print("engine", first, raw);
    printGeometry(first);
    print("engine again", again, raw);
    printGeometry(again);
    print("layer+engine", whole, raw);
    printGeometry(whole);
    return 0;
}
