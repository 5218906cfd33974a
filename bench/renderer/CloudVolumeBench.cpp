// Cost of the clouds' medium, measured in one run on the same machine:
//   1. camera rays through a 5 × 5 × 2 cloud ("FixedNoiseVolume" over a clouds texture, the grid
//      scale of a full render, 3) marched by "FixedSingleScatterIntegrator", optimize on and off,
//      against the stock "SingleScatterIntegrator" marching the same rays through the same cloud;
//   2. the haze alone (no region, strength 0.5 at 20 units) against the stock integrator on the
//      same rays;
//   3. a small render of the cloud over a plane, with and without the cloud.
// Usage: build/bench/cloud_volume_bench [IMAGE.png]   (writes the cloud render when a path is given)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/ImageCodecs.h"
#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"
#include "raytracer/core/RenderContext.h"
#include "raytracer/core/Volume.h"
#include "raytracer/interface.h"
#include "raytracer/plugins.h"
#include "renderer/RendererExtensions.h"

using namespace yafaray;

namespace {

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr int kRays = 4000;
constexpr float kStep = 0.245f;  // the renderer's step for volume accuracy 0.2
constexpr int kWidth = 192, kHeight = 128;
// The haze alone costs so little per ray that it is timed over this many calls.
constexpr int kHazeRepeats = 50;

void registerAll(renderEnvironment_t& env) {
    for (auto* reg :
         {registerPlugin_directional, registerPlugin_sunlight, registerPlugin_directlight,
          registerPlugin_singlescatterintegrator, registerPlugin_shinydiff, registerPlugin_basictex})
        reg(env);
    korvane::registerRendererExtensions(env);
}

struct Keeper : colorOutput_t {
    std::vector<float> rgb = std::vector<float>(size_t(kWidth) * kHeight * 3, 0.f);
    bool putPixel(int x, int y, const float* c, int channels) override {
        if (x < 0 || y < 0 || x >= kWidth || y >= kHeight || channels < 3) return true;
        for (int k = 0; k < 3; ++k) rgb[(size_t(y) * kWidth + x) * 3 + k] = c[k];
        return true;
    }
};

// A scene: a plane at z = 0, the sun, optionally the cloud over (0..5, 0..5, 1..3).
void buildScene(yafrayInterface_t& yi, bool cloud) {
    yi.paramsClearAll();
    yi.paramsSetString("type", "shinydiffusemat");
    yi.paramsSetColor("color", 0.5f, 0.6f, 0.4f);
    yi.paramsSetFloat("diffuse_reflect", 1.0);
    material_t* ground = yi.createMaterial("ground");
    yi.startGeometry();
    unsigned id = 0;
    yi.startTriMesh(id, 4, 2, false);
    yi.addVertex(-20, -20, 0);
    yi.addVertex(25, -20, 0);
    yi.addVertex(25, 25, 0);
    yi.addVertex(-20, 25, 0);
    yi.addTriangle(0, 1, 2, ground);
    yi.addTriangle(0, 2, 3, ground);
    yi.endTriMesh();
    yi.endGeometry();
    yi.paramsClearAll();
    yi.paramsSetString("type", "sunlight");
    yi.paramsSetPoint("direction", -0.4, 0.4, 1.0);
    yi.paramsSetFloat("power", 1.0);
    yi.paramsSetInt("samples", 1);
    yi.createLight("sun");
    yi.paramsClearAll();
    yi.paramsSetString("type", "constant");
    yi.paramsSetColor("color", 0.5f, 0.65f, 0.9f);
    yi.createBackground("sky");
    if (!cloud) return;
    yi.paramsClearAll();
    yi.paramsSetString("type", "clouds");
    // A noise scale at which the cloud shows its structure (texture coordinates are 0.1 × world).
    yi.paramsSetFloat("size", 4.0);
    yi.paramsSetInt("depth", 4);
    yi.createTexture("cloudTexture");
    // The values a new cloud of the clouds layer sends.
    yi.paramsClearAll();
    yi.paramsSetFloat("minX", 0.0);
    yi.paramsSetFloat("minY", 0.0);
    yi.paramsSetFloat("maxX", 5.0);
    yi.paramsSetFloat("maxY", 5.0);
    yi.paramsSetInt("attgridScale", 3);
    yi.paramsSetFloat("minZ", 1.0);
    yi.paramsSetFloat("maxZ", 3.0);
    yi.paramsSetFloat("sigma_a", 0.5);
    yi.paramsSetFloat("sigma_s", 0.05f);
    yi.paramsSetFloat("cover", 0.8f);
    yi.paramsSetFloat("sharpness", 7.0);
    yi.paramsSetFloat("density", 10.0);
    yi.paramsSetString("textureName", "cloudTexture");
    yi.paramsSetInt("edgeMode", 0);
    yi.paramsSetString("type", "FixedNoiseVolume");
    yi.createVolumeRegion("cloud");
}

volumeIntegrator_t* createVolumeIntegrator(yafrayInterface_t& yi, const char* type, bool optimize, bool haze,
                                           const char* name) {
    yi.paramsClearAll();
    yi.paramsSetString("type", type);
    yi.paramsSetFloat("stepSize", kStep);
    yi.paramsSetBool("adaptive", false);
    yi.paramsSetBool("optimize", optimize);
    if (haze) {
        yi.paramsSetFloat("hazeStrength", 0.5);
        yi.paramsSetFloat("hazeDistance", 20.0);
    }
    return dynamic_cast<volumeIntegrator_t*>(yi.createIntegrator(name));
}

// Camera rays from a viewpoint beside the cloud towards points spread over its box, ending on the plane.
std::vector<ray_t> cameraRays() {
    std::vector<ray_t> rays;
    const point3d_t eye(-6, -6, 4);
    uint32_t h = 1;
    for (int i = 0; i < kRays; ++i) {
        h = h * 1664525u + 1013904223u;
        const float u = (h >> 8) / 16777216.f;
        h = h * 1664525u + 1013904223u;
        const float v = (h >> 8) / 16777216.f;
        const point3d_t target(5.f * u, 5.f * v, 2.f);
        ray_t r;
        r.from = eye;
        r.dir = (target - eye).normalized();
        r.tmax = eye.z / -r.dir.z;  // where it meets the plane
        rays.push_back(r);
    }
    return rays;
}

struct Timing {
    double preprocess = 0, perRay = 0;
    float meanRadiance = 0;
};

Timing timeRays(yafrayInterface_t& yi, volumeIntegrator_t* vi, const std::vector<ray_t>& rays) {
    renderContext_t ctx;
    ctx.scene = &yi.scene();
    ctx.background = yi.getRenderEnvironment()->getBackground("sky");
    ctx.volumeIntegrator = vi;
    for (auto* l : yi.getRenderEnvironment()->lights()) ctx.lights.push_back(l);
    ctx.volumeRegions = yi.getRenderEnvironment()->volumeRegions();
    Timing t;
    const auto p0 = Clock::now();
    vi->preprocess(ctx);
    t.preprocess = secondsSince(p0);
    double sum = 0;
    const auto r0 = Clock::now();
    for (size_t i = 0; i < rays.size(); ++i) {
        renderState_t state;
        state.rngState = uint32_t(i) * 2654435761u;
        const colorA_t tr = vi->transmittance(ctx, state, rays[i]);
        const colorA_t in = vi->integrate(ctx, state, rays[i]);
        sum += in.G + 0.001 * tr.G;
    }
    t.perRay = secondsSince(r0) / double(rays.size());
    t.meanRadiance = float(sum / rays.size());
    return t;
}

double timeRender(bool cloud, const char* pngPath) {
    yafrayInterface_t yi;
    registerAll(*yi.getRenderEnvironment());
    buildScene(yi, cloud);
    yi.paramsClearAll();
    yi.paramsSetString("type", "perspective");
    yi.paramsSetPoint("from", -6, -6, 4);
    yi.paramsSetPoint("to", 2.5, 2.5, 1.5);
    yi.paramsSetPoint("up", -6, -6, 5);
    yi.paramsSetInt("resx", kWidth);
    yi.paramsSetInt("resy", kHeight);
    yi.createCamera("camera");
    yi.paramsClearAll();
    yi.paramsSetString("type", "directlighting");
    yi.createIntegrator("surface");
    createVolumeIntegrator(yi, "FixedSingleScatterIntegrator", true, true, "volume");
    yi.paramsClearAll();
    yi.paramsSetString("camera_name", "camera");
    yi.paramsSetString("integrator_name", "surface");
    yi.paramsSetString("volintegrator_name", "volume");
    yi.paramsSetString("background_name", "sky");
    yi.paramsSetInt("width", kWidth);
    yi.paramsSetInt("height", kHeight);
    yi.paramsSetInt("AA_minsamples", 4);
    yi.paramsSetInt("threads", 2);
    yi.paramsSetString("filter_type", "box");
    Keeper out;
    const auto t0 = Clock::now();
    yi.render(out);
    const double seconds = secondsSince(t0);
    if (pngPath) {
        korvane::Bitmap image(kWidth, kHeight, korvane::PixelFormat::RGB8);
        for (size_t i = 0; i < out.rgb.size(); ++i)
            image.data()[i] =
                uint8_t(std::lround(255.f * std::pow(std::min(1.f, std::max(0.f, out.rgb[i])), 1 / 2.2f)));
        const std::vector<uint8_t> png = korvane::encodePng(image);
        std::ofstream(pngPath, std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    setLogSink([](logLevel_t level, const std::string& line) {
        if (level != logLevel_t::info) std::fprintf(stderr, "%s\n", line.c_str());
    });
    const std::vector<ray_t> rays = cameraRays();

    std::printf("Cloud 5x5x2, attgridScale 3 (24^3 grid per light), step %.3f, %d camera rays\n", kStep,
                kRays);
    Timing stock, fixedOn, fixedOff, stockOff;
    {
        yafrayInterface_t yi;
        registerAll(*yi.getRenderEnvironment());
        buildScene(yi, true);
        stock = timeRays(yi, createVolumeIntegrator(yi, "SingleScatterIntegrator", true, false, "a"), rays);
        fixedOn =
            timeRays(yi, createVolumeIntegrator(yi, "FixedSingleScatterIntegrator", true, false, "b"), rays);
        stockOff =
            timeRays(yi, createVolumeIntegrator(yi, "SingleScatterIntegrator", false, false, "c"), rays);
        fixedOff =
            timeRays(yi, createVolumeIntegrator(yi, "FixedSingleScatterIntegrator", false, false, "d"), rays);
    }
    auto report = [&](const char* what, const Timing& t, const Timing& base) {
        std::printf("  %-44s %8.3f us/ray  (x%.2f of stock)  grids %7.1f ms  mean G %.4f\n", what,
                    t.perRay * 1e6, t.perRay / base.perRay, t.preprocess * 1e3, t.meanRadiance);
    };
    report("stock SingleScatter, optimize on (baseline)", stock, stock);
    report("FixedSingleScatter, optimize on", fixedOn, stock);
    report("stock SingleScatter, optimize off (baseline)", stockOff, stockOff);
    report("FixedSingleScatter, optimize off", fixedOff, stockOff);
    std::printf("  optimize off / on (fixed): x%.2f per ray\n", fixedOff.perRay / fixedOn.perRay);

    {
        yafrayInterface_t yi;
        registerAll(*yi.getRenderEnvironment());
        buildScene(yi, false);
        std::vector<ray_t> many;
        for (int k = 0; k < kHazeRepeats; ++k) many.insert(many.end(), rays.begin(), rays.end());
        const Timing base =
            timeRays(yi, createVolumeIntegrator(yi, "SingleScatterIntegrator", true, false, "a"), many);
        const Timing haze =
            timeRays(yi, createVolumeIntegrator(yi, "FixedSingleScatterIntegrator", true, true, "b"), many);
        std::printf("Haze only, no region:\n");
        report("stock SingleScatter (baseline)", base, base);
        report("FixedSingleScatter + haze", haze, base);
    }

    const double clear = timeRender(false, nullptr);
    const double cloudy = timeRender(true, argc > 1 ? argv[1] : nullptr);
    std::printf(
        "Render %dx%d, 4 samples, 2 threads: without cloud %.3f s (baseline), with cloud %.3f s (x%.2f)\n",
        kWidth, kHeight, clear, cloudy, cloudy / clear);
    if (argc > 1) std::printf("  cloud render written to %s\n", argv[1]);
    return 0;
}
