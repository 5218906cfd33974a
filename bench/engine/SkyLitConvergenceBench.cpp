// Convergence of a sky-lit terrain, direct lighting against path tracing, measured in one run:
// a heightfield under the daylight sky ("darksky" with its background light) and a sun is
// rendered with 1, 2, 4, … samples per pixel, and each image is compared with a long reference
// render of the same integrator (RMSE over the linear RGB channels). The bench reports the time
// each integrator needs to get below a fixed RMSE and the ratio of the two times, as processor
// time of all render threads (steady on a shared machine) next to the wall-clock time.
// Usage: build/bench/sky_lit_convergence_bench [WIDTH HEIGHT [THREADS [TARGET_RMSE]]]
//        (default 640 360, 2 threads, RMSE 0.01)
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "raytracer/interface.h"
#include "raytracer/plugins.h"

using namespace yafaray;

namespace {

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// User and system time of every thread of this process so far.
double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct timing_t {
    double wall = 0.0, processor = 0.0;
};

constexpr int kCells = 256;

struct ImageOutput : colorOutput_t {
    ImageOutput(int w, int h) : width(w), rgb(size_t(w) * h * 3, 0.f) {}
    bool putPixel(int x, int y, const float* c, int) override {
        float* p = &rgb[(size_t(y) * width + x) * 3];
        p[0] = c[0], p[1] = c[1], p[2] = c[2];
        return true;
    }
    int width;
    std::vector<float> rgb;
};

double rmse(const std::vector<float>& a, const std::vector<float>& b) {
    double sum = 0.0;
    for (size_t i = 0; i < a.size(); ++i) sum += double(a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(sum / a.size());
}

float height(int i, int j) {
    return 18.f * std::sin(i * 0.035f) * std::cos(j * 0.028f) + 4.f * std::sin(i * 0.17f + j * 0.11f) +
           1.5f * std::cos(i * 0.61f - j * 0.43f);
}

class Scene {
public:
    Scene(int width, int height, int threads, bool pathTracing)
        : width_(width), height_(height), threads_(threads) {
        renderEnvironment_t& env = *yi_.getRenderEnvironment();
        for (auto* reg : {registerPlugin_sunlight, registerPlugin_directlight, registerPlugin_pathtracer,
                          registerPlugin_shinydiff, registerPlugin_darksky}) {
            reg(env);
        }
        yi_.paramsClearAll();
        yi_.paramsSetString("type", "shinydiffusemat");
        yi_.paramsSetColor("color", 0.55f, 0.5f, 0.4f, 1.f);
        const material_t* ground = yi_.createMaterial("terrain");
        yi_.startGeometry();
        unsigned id = 0;
        yi_.startTriMesh(id, 0, 0, false, false, 0);
        for (int j = 0; j <= kCells; ++j) {
            for (int i = 0; i <= kCells; ++i) yi_.addVertex(i, j, ::height(i, j));
        }
        for (int j = 0; j < kCells; ++j) {
            for (int i = 0; i < kCells; ++i) {
                const int a = j * (kCells + 1) + i, b = a + 1, c = a + kCells + 2, d = a + kCells + 1;
                yi_.addTriangle(a, b, c, ground);
                yi_.addTriangle(a, c, d, ground);
            }
        }
        yi_.endTriMesh();
        yi_.smoothMesh(0, 180.0);
        yi_.endGeometry();

        yi_.paramsClearAll();
        yi_.paramsSetString("type", "darksky");
        yi_.paramsSetPoint("from", 0.5, 0.3, 0.55);
        yi_.paramsSetFloat("turbidity", 3.5);
        yi_.paramsSetFloat("power", 1.0);
        yi_.paramsSetBool("background_light", true);
        yi_.paramsSetInt("light_samples", 8);
        yi_.createBackground("sky");
        // The sun of the lighting layer, along the sky's sun direction.
        yi_.paramsClearAll();
        yi_.paramsSetString("type", "sunlight");
        yi_.paramsSetPoint("direction", 0.5, 0.3, 0.55);
        yi_.paramsSetColor("color", 1.f, 0.95f, 0.85f, 1.f);
        yi_.paramsSetFloat("power", 1.0);
        yi_.paramsSetFloat("angle", 0.5);
        yi_.paramsSetInt("samples", 4);
        yi_.createLight("sun");

        yi_.paramsClearAll();
        yi_.paramsSetString("type", "perspective");
        yi_.paramsSetPoint("from", -30, -30, 60);
        yi_.paramsSetPoint("to", 128, 128, 0);
        yi_.paramsSetPoint("up", -30, -30, 61);
        yi_.paramsSetInt("resx", width);
        yi_.paramsSetInt("resy", height);
        yi_.paramsSetFloat("focal", 1.2);
        yi_.createCamera("camera");

        yi_.paramsClearAll();
        yi_.paramsSetString("type", pathTracing ? "pathtracing" : "directlighting");
        yi_.paramsSetInt("raydepth", 5);
        yi_.paramsSetBool("transpShad", false);
        if (pathTracing) {
            yi_.paramsSetInt("bounces", 3);
            yi_.paramsSetInt("path_samples", 1);
            yi_.paramsSetBool("use_background", true);
        }
        yi_.createIntegrator("surface");
        yi_.paramsClearAll();
        yi_.paramsSetString("type", "none");
        yi_.createIntegrator("volume");
    }

    // Renders with `samples` per pixel in one pass; returns the time taken.
    timing_t render(int samples, std::vector<float>& rgb) {
        yi_.paramsClearAll();
        yi_.paramsSetString("camera_name", "camera");
        yi_.paramsSetString("integrator_name", "surface");
        yi_.paramsSetString("volintegrator_name", "volume");
        yi_.paramsSetString("background_name", "sky");
        yi_.paramsSetInt("width", width_);
        yi_.paramsSetInt("height", height_);
        yi_.paramsSetInt("threads", threads_);
        yi_.paramsSetInt("AA_minsamples", samples);
        yi_.paramsSetInt("AA_passes", 1);
        yi_.paramsSetString("filter_type", "box");
        ImageOutput out(width_, height_);
        const Clock::time_point start = Clock::now();
        const double processorStart = processorSeconds();
        yi_.render(out, nullptr);
        const timing_t taken{secondsSince(start), processorSeconds() - processorStart};
        rgb = std::move(out.rgb);
        return taken;
    }

private:
    yafrayInterface_t yi_;
    int width_, height_, threads_;
};

struct result_t {
    int samples = -1;
    timing_t time;
    double error = 0.0;
};

result_t converge(const char* label, bool pathTracing, int width, int height, int threads, double target,
                  int referenceSamples) {
    Scene scene(width, height, threads, pathTracing);
    std::vector<float> reference, image;
    const timing_t referenceTime = scene.render(referenceSamples, reference);
    std::printf("%s: reference %d samples/pixel in %.1f s (processor %.1f s)\n", label, referenceSamples,
                referenceTime.wall, referenceTime.processor);
    result_t reached;
    for (int samples = 1; samples <= referenceSamples / 4; samples *= 2) {
        const timing_t time = scene.render(samples, image);
        const double error = rmse(image, reference);
        std::printf("  %3d samples/pixel: %7.2f s (processor %7.2f s), RMSE %.4f\n", samples, time.wall,
                    time.processor, error);
        if (error <= target) {
            reached = {samples, time, error};
            break;
        }
    }
    return reached;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each line as it comes: the references take minutes
    const int width = argc > 2 ? std::atoi(argv[1]) : 640;
    const int height = argc > 2 ? std::atoi(argv[2]) : 360;
    const int threads = argc > 3 ? std::atoi(argv[3]) : 2;
    const double target = argc > 4 ? std::atof(argv[4]) : 0.01;
    if (width <= 0 || height <= 0 || threads <= 0 || !(target > 0.0)) {
        std::fprintf(stderr, "usage: sky_lit_convergence_bench [WIDTH HEIGHT [THREADS [TARGET_RMSE]]]\n");
        return 2;
    }
    std::printf("sky-lit terrain %dx%d, %d triangles, %d threads, target RMSE %.4f\n", width, height,
                2 * kCells * kCells, threads, target);
    const int referenceSamples = 256;
    const result_t direct = converge("directlighting", false, width, height, threads, target, referenceSamples);
    const result_t path = converge("pathtracing", true, width, height, threads, target, referenceSamples);
    auto report = [](const char* label, const result_t& r) {
        if (r.samples < 0) {
            std::printf("%s: target not reached below a quarter of the reference's samples\n", label);
        } else {
            std::printf("%s: %d samples/pixel, %.2f s, processor %.2f s (RMSE %.4f)\n", label, r.samples,
                        r.time.wall, r.time.processor, r.error);
        }
    };
    report("directlighting (baseline)", direct);
    report("pathtracing", path);
    if (direct.samples > 0 && path.samples > 0) {
        std::printf("time to target, pathtracing/directlighting: processor %.2f, wall %.2f\n",
                    path.time.processor / direct.time.processor, path.time.wall / direct.time.wall);
    }
    return 0;
}
