#pragma once

// Scene building blocks for the engine tests: everything goes through yafrayInterface_t, as the
// scene layers use it.

#include <atomic>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "raytracer/core/Log.h"
#include "raytracer/core/Scene.h"
#include "raytracer/interface.h"
#include "raytracer/plugins.h"

namespace enginetest {

using yafaray::point3d_t;

// Keeps every delivered pixel (the last pass wins).
class CapturedImage : public yafaray::colorOutput_t {
public:
    bool putPixel(int x, int y, const float* c, int channels) override {
        if (x < 0 || y < 0) return false;
        if (x >= width || y >= height) resize(std::max(width, x + 1), std::max(height, y + 1));
        float* p = &data[(size_t(y) * width + x) * 5];
        for (int k = 0; k < 5; ++k) p[k] = k < channels ? c[k] : 0.f;
        lastChannels = channels;
        ++puts;
        return true;
    }
    void resize(int w, int h) {
        std::vector<float> old = data;
        const int ow = width, oh = height;
        width = w;
        height = h;
        data.assign(size_t(w) * h * 5, 0.f);
        for (int y = 0; y < oh; ++y) {
            for (int x = 0; x < ow; ++x) {
                for (int k = 0; k < 5; ++k)
                    data[(size_t(y) * w + x) * 5 + k] = old[(size_t(y) * ow + x) * 5 + k];
            }
        }
    }
    float channel(int x, int y, int k) const { return data[(size_t(y) * width + x) * 5 + k]; }
    float r(int x, int y) const { return channel(x, y, 0); }
    float a(int x, int y) const { return channel(x, y, 3); }
    float z(int x, int y) const { return channel(x, y, 4); }

    int width = 0, height = 0;
    int lastChannels = 0;
    long puts = 0;
    std::vector<float> data;
};

// Counts the calls of the progress protocol.
class RecordingProgress : public yafaray::progressBar_t {
public:
    void init(int total) override {
        ++inits;
        lastTotal = total;
        stepsThisPass = 0;
    }
    void update(int steps) override {
        ++updates;
        stepsThisPass += steps;
        if (onUpdate) onUpdate();
    }
    void done() override {
        ++dones;
        stepsAtDone.push_back(stepsThisPass);
    }
    void setNumberOfPasses(int passes) override { announcedPasses = passes; }

    int inits = 0, updates = 0, dones = 0, announcedPasses = 0, lastTotal = 0;
    long stepsThisPass = 0;
    std::vector<long> stepsAtDone;
    std::function<void()> onUpdate;
};

// Captures log lines for the duration of a test.
class LogCapture {
public:
    LogCapture() {
        yafaray::setLogSink([this](yafaray::logLevel_t, const std::string& line) { lines.push_back(line); });
    }
    ~LogCapture() { yafaray::setLogSink({}); }
    int count(const std::string& needle) const {
        int n = 0;
        for (const auto& l : lines) n += l.find(needle) != std::string::npos;
        return n;
    }
    std::vector<std::string> lines;
};

inline void registerStockPlugins(yafaray::renderEnvironment_t& env) {
    using namespace yafaray;
    for (auto* reg :
         {registerPlugin_arealight,     registerPlugin_directional,  registerPlugin_pointlight,
          registerPlugin_spherelight,   registerPlugin_spotlight,    registerPlugin_sunlight,
          registerPlugin_bidirpath,     registerPlugin_directlight,  registerPlugin_emissionintegrator,
          registerPlugin_pathtracer,    registerPlugin_photonintegr, registerPlugin_singlescatterintegrator,
          registerPlugin_blendmat,      registerPlugin_coatedglossy, registerPlugin_glass,
          registerPlugin_glossymat,     registerPlugin_shinydiff,    registerPlugin_simplemats,
          registerPlugin_basicnodes,    registerPlugin_basictex,     registerPlugin_expdensityvolume,
          registerPlugin_gridvolume,    registerPlugin_noisevolume,  registerPlugin_skyvolume,
          registerPlugin_uniformvolume, registerPlugin_darksky,      registerPlugin_gradientback,
          registerPlugin_sunky}) {
        reg(env);
    }
}

// An interface with the stock plug-ins and helpers for common scene pieces.
class SceneBuilder {
public:
    SceneBuilder() { registerStockPlugins(*yi.getRenderEnvironment()); }

    yafaray::material_t* diffuse(const std::string& name, float r = 1.f, float g = 1.f, float b = 1.f) {
        yi.paramsClearAll();
        yi.paramsSetString("type", "shinydiffusemat");
        yi.paramsSetColor("color", r, g, b, 1.f);
        yi.paramsSetFloat("diffuse_reflect", 1.0);
        return yi.createMaterial(name.c_str());
    }

    // A parallelogram corner, corner+e1, corner+e1+e2, corner+e2 as one mesh of two triangles.
    unsigned int quad(const point3d_t& corner, const point3d_t& e1, const point3d_t& e2,
                      const yafaray::material_t* mat, int type = 0) {
        unsigned int id = 0;
        yi.startTriMesh(id, 4, 2, false, true, type);
        const point3d_t p[4] = {corner, corner + e1, corner + e1 + e2, corner + e2};
        for (const auto& v : p) yi.addVertex(v.x, v.y, v.z);
        const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (const auto& t : uv) yi.addUV(t[0], t[1]);
        yi.addTriangle(0, 1, 2, 0, 1, 2, mat);
        yi.addTriangle(0, 2, 3, 0, 2, 3, mat);
        yi.endTriMesh();
        return id;
    }

    void camera(const std::string& type, const point3d_t& from, const point3d_t& to, const point3d_t& up,
                int w, int h, const std::function<void()>& extra = {}) {
        yi.paramsClearAll();
        yi.paramsSetString("type", type.c_str());
        yi.paramsSetPoint("from", from.x, from.y, from.z);
        yi.paramsSetPoint("to", to.x, to.y, to.z);
        yi.paramsSetPoint("up", up.x, up.y, up.z);
        yi.paramsSetInt("resx", w);
        yi.paramsSetInt("resy", h);
        if (extra) extra();
        yi.createCamera("camera");
    }

    // A camera straight above the origin looking down, image x along world +x.
    void topCamera(float height, int w, int h, float focal = 1.f) {
        camera("perspective", {0, 0, height}, {0, 0, 0}, {0, 1, height}, w, h,
               [&] { yi.paramsSetFloat("focal", focal); });
    }

    void sun(const point3d_t& dir, float power = 1.f, float angle = 0.27f, int samples = 4) {
        yi.paramsClearAll();
        yi.paramsSetString("type", "sunlight");
        yi.paramsSetPoint("direction", dir.x, dir.y, dir.z);
        yi.paramsSetColor("color", 1, 1, 1, 1);
        yi.paramsSetFloat("power", power);
        yi.paramsSetFloat("angle", angle);
        yi.paramsSetInt("samples", samples);
        yi.createLight(("sun" + std::to_string(lightCount++)).c_str());
    }

    void directLighting(bool transpShad = false) {
        yi.paramsClearAll();
        yi.paramsSetString("type", "directlighting");
        yi.paramsSetBool("transpShad", transpShad);
        yi.paramsSetInt("raydepth", 5);
        yi.paramsSetInt("shadowDepth", 5);
        yi.createIntegrator("surfaceIntegrator");
        yi.paramsClearAll();
        yi.paramsSetString("type", "none");
        yi.createIntegrator("volumeIntegrator");
    }

    struct RenderOptions {
        int threads = 2;
        int minSamples = 1;
        int passes = 1;
        const char* filter = "box";
        const char* background = nullptr;
        double threshold = -1.0;  // < 0: engine default
        const char* toneMapping = nullptr;  // null: engine default
    };

    CapturedImage render(int w, int h, const RenderOptions& o, yafaray::progressBar_t* pb = nullptr) {
        yi.paramsClearAll();
        yi.paramsSetString("camera_name", "camera");
        yi.paramsSetString("integrator_name", "surfaceIntegrator");
        yi.paramsSetString("volintegrator_name", "volumeIntegrator");
        yi.paramsSetInt("AA_minsamples", o.minSamples);
        yi.paramsSetInt("AA_passes", o.passes);
        if (o.threshold >= 0.0) yi.paramsSetFloat("AA_threshold", o.threshold);
        yi.paramsSetString("filter_type", o.filter);
        yi.paramsSetInt("width", w);
        yi.paramsSetInt("height", h);
        yi.paramsSetInt("threads", o.threads);
        yi.paramsSetBool("z_channel", true);
        if (o.background) yi.paramsSetString("background_name", o.background);
        if (o.toneMapping) yi.paramsSetString("tone_mapping", o.toneMapping);
        CapturedImage img;
        img.resize(w, h);
        yi.render(img, pb);
        return img;
    }
    CapturedImage render(int w, int h) { return render(w, h, RenderOptions{}); }

    yafaray::yafrayInterface_t yi;
    int lightCount = 0;
};

// The first surface straight below (x, y) seen from height 1, as a ray cast downwards meets it.
inline bool hitFromAbove(const yafaray::scene_t& scene, float x, float y, yafaray::surfacePoint_t& sp) {
    yafaray::ray_t ray;
    ray.from = yafaray::point3d_t(x, y, 1.f);
    ray.dir = yafaray::vector3d_t(0, 0, -1.f);
    float t = 0.f;
    return scene.intersect(ray, sp, t);
}

}  // namespace enginetest
