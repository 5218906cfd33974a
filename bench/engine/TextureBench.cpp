// Texture and shading-point costs, against a baseline measured in the same run:
//   1. evaluations per second of each texture kind (scalar and colour look-up at a point), as a
//      ratio to one bare "newperlin" noise evaluation;
//   2. the response of a fully textured terrain material per shading point: a chain of four blend
//      materials over five maps (each a diffuse material with a textured colour and a textured
//      bump, every mask an image texture), as the terrain's material maps build it, against a
//      plain untextured diffuse material.
// Usage: build/bench/texture_bench [MILLIONS_OF_POINTS]   (default 1)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "raytracer/interface.h"
#include "raytracer/plugins.h"
#include "raytracer/textures/Noise.h"

using namespace yafaray;

namespace {

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Points of a terrain-sized square in UV and world space, fixed so that every kind sees the same.
std::vector<surfacePoint_t> shadingPoints(int n) {
    std::vector<surfacePoint_t> points(n);
    uint32_t state = 2024u;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.f;
    };
    for (surfacePoint_t& sp : points) {
        sp.u = next();
        sp.v = next();
        sp.P = point3d_t(sp.u * 512.f, sp.v * 512.f, next() * 20.f);
        sp.N = sp.Ng = vector3d_t(0.f, 0.f, 1.f);
        sp.dPdU = vector3d_t(512.f, 0.f, 0.f);
        sp.dPdV = vector3d_t(0.f, 512.f, 0.f);
        sp.hasUV = true;
    }
    return points;
}

// A 256 × 256 grey TGA mask with soft blobs, like a painted material map.
std::filesystem::path writeMask(int index) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("texture-bench-" + std::to_string(::getpid()) + "-" + std::to_string(index) + ".tga");
    constexpr int kSide = 256;
    std::ofstream out(path, std::ios::binary);
    const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 24, 0x20};
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            // Mostly fully on or off with soft borders, as a painted or auto-filled mask is.
            const float wave = std::sin(x * 0.05f * (index + 1)) * std::cos(y * 0.04f + index);
            const float v = std::clamp(0.5f + 2.f * wave, 0.f, 1.f);
            const char g = static_cast<char>(std::lround(255.f * v));
            const char bgr[3] = {g, g, g};
            out.write(bgr, 3);
        }
    }
    // The TGA 2.0 footer (no extension or developer area), which Qt's reader asks for.
    const char footer[26] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
    out.write(footer, sizeof footer);
    return path;
}

class Bench {
public:
    Bench() {
        renderEnvironment_t& env = *yi.getRenderEnvironment();
        registerPlugin_basictex(env);
        registerPlugin_basicnodes(env);
        registerPlugin_shinydiff(env);
        registerPlugin_blendmat(env);
    }

    const texture_t* texture(const std::string& name, const std::function<void()>& params) {
        yi.paramsClearAll();
        params();
        const texture_t* t = yi.createTexture(name.c_str());
        if (!t) {
            std::fprintf(stderr, "texture_bench: could not create texture %s\n", name.c_str());
            std::exit(1);
        }
        return t;
    }

    // A diffuse material with the colour and the bump read through UV texture mappers.
    std::string mapMaterial(const std::string& name, const std::string& colourTexture, const std::string& bumpTexture) {
        yi.paramsClearAll();
        yi.paramsSetString("type", "shinydiffusemat");
        yi.paramsSetFloat("diffuse_reflect", 1.0);
        mapperNode("bump-" + name, bumpTexture, 0.7f);
        mapperNode("colour-" + name, colourTexture, 0.f);
        yi.paramsEndList();
        yi.paramsSetString("bump_shader", ("bump-" + name).c_str());
        yi.paramsSetString("diffuse_shader", ("colour-" + name).c_str());
        create(name);
        return name;
    }

    std::string blend(const std::string& name, const std::string& m1, const std::string& m2, const std::string& mask) {
        yi.paramsClearAll();
        yi.paramsSetString("type", "blend_mat");
        yi.paramsSetString("material1", m1.c_str());
        yi.paramsSetString("material2", m2.c_str());
        mapperNode("mask-" + name, mask, 0.f);
        yi.paramsEndList();
        yi.paramsSetString("mask", ("mask-" + name).c_str());
        create(name);
        return name;
    }

    const material_t* create(const std::string& name) {
        const material_t* m = yi.createMaterial(name.c_str());
        if (!m) {
            std::fprintf(stderr, "texture_bench: could not create material %s\n", name.c_str());
            std::exit(1);
        }
        materials.push_back(m);
        return m;
    }

    yafrayInterface_t yi;
    std::vector<const material_t*> materials;

private:
    void mapperNode(const std::string& node, const std::string& texture, float bump) {
        yi.paramsPushList();
        yi.paramsSetString("element", "shader_node");
        yi.paramsSetString("type", "texture_mapper");
        yi.paramsSetString("name", node.c_str());
        yi.paramsSetString("texco", "uv");
        yi.paramsSetString("texture", texture.c_str());
        yi.paramsSetFloat("bump_strength", bump);
    }
};

// Seconds for one pass of f over every point, the best of three passes.
template <typename F>
double bestOfThree(const std::vector<surfacePoint_t>& points, F&& f) {
    double best = 1e30;
    for (int pass = 0; pass < 3; ++pass) {
        const Clock::time_point start = Clock::now();
        for (const surfacePoint_t& sp : points) f(sp);
        best = std::min(best, secondsSince(start));
    }
    return best;
}

volatile float gSink = 0.f;  // keeps the optimiser from dropping the evaluations

}  // namespace

int main(int argc, char** argv) {
    const double millions = argc > 1 ? std::atof(argv[1]) : 1.0;
    const int n = std::max(1000, static_cast<int>(millions * 1e6));
    const std::vector<surfacePoint_t> points = shadingPoints(n);
    Bench b;
    std::vector<std::filesystem::path> masks;
    for (int i = 0; i < 5; ++i) masks.push_back(writeMask(i));

    // 1. Texture kinds, each at the sizes and depths the application's presets use.
    const auto noise = newNoiseGenerator("newperlin");
    const double baseline = bestOfThree(points, [&](const surfacePoint_t& sp) { gSink = gSink + (*noise)(sp.P); });
    std::printf("texture evaluations, %d points (baseline: one newperlin noise, %.1f M/s)\n", n, n / baseline / 1e6);
    std::printf("  %-34s %10s %10s %12s\n", "kind", "scalar M/s", "colour M/s", "scalar/noise");
    struct kind_t {
        const char* label;
        std::function<void()> params;
    };
    const std::vector<kind_t> kinds = {
        {"clouds (depth 5, stdperlin)", [&] { b.yi.paramsSetString("type", "clouds"); b.yi.paramsSetInt("depth", 5); b.yi.paramsSetString("noise_type", "stdperlin"); }},
        {"clouds (depth 2, voronoi_f1)", [&] { b.yi.paramsSetString("type", "clouds"); b.yi.paramsSetString("noise_type", "voronoi_f1"); }},
        {"marble (turbulence 10, sharpness 4)", [&] { b.yi.paramsSetString("type", "marble"); b.yi.paramsSetFloat("turbulence", 10.0); b.yi.paramsSetFloat("sharpness", 4.0); b.yi.paramsSetString("noise_type", "voronoi_f4"); }},
        {"wood (depth 5, turbulence 15)", [&] { b.yi.paramsSetString("type", "wood"); b.yi.paramsSetInt("depth", 5); b.yi.paramsSetFloat("turbulence", 15.0); b.yi.paramsSetString("noise_type", "voronoi_f2f1"); }},
        {"musgrave fBm", [&] { b.yi.paramsSetString("type", "musgrave"); }},
        {"musgrave multifractal", [&] { b.yi.paramsSetString("type", "musgrave"); b.yi.paramsSetString("musgrave_type", "multifractal"); }},
        {"musgrave ridgedmf", [&] { b.yi.paramsSetString("type", "musgrave"); b.yi.paramsSetString("musgrave_type", "ridgedmf"); }},
        {"musgrave hybridmf", [&] { b.yi.paramsSetString("type", "musgrave"); b.yi.paramsSetString("musgrave_type", "hybridmf"); }},
        {"musgrave heteroterrain", [&] { b.yi.paramsSetString("type", "musgrave"); b.yi.paramsSetString("musgrave_type", "heteroterrain"); }},
        {"distorted_noise (voronoi_f2/f3)", [&] { b.yi.paramsSetString("type", "distorted_noise"); b.yi.paramsSetFloat("distort", 2.0); b.yi.paramsSetString("noise_type1", "voronoi_f2"); b.yi.paramsSetString("noise_type2", "voronoi_f3"); }},
        {"image (256x256, bilinear)", [&] { b.yi.paramsSetString("type", "image"); b.yi.paramsSetString("filename", masks[0].string().c_str()); }},
    };
    int index = 0;
    for (const kind_t& kind : kinds) {
        const texture_t* t = b.texture("kind" + std::to_string(index++), kind.params);
        // Texture space as the UV mapper gives it: [-1, 1]² scaled by a preset's size.
        const double scalar = bestOfThree(points, [&](const surfacePoint_t& sp) {
            gSink = gSink + t->getFloat(point3d_t(2.f * sp.u - 1.f, 2.f * sp.v - 1.f, 0.f) * 50.f);
        });
        const double colour = bestOfThree(points, [&](const surfacePoint_t& sp) {
            gSink = gSink + t->getColor(point3d_t(2.f * sp.u - 1.f, 2.f * sp.v - 1.f, 0.f) * 50.f).R;
        });
        std::printf("  %-34s %10.2f %10.2f %12.2f\n", kind.label, n / scalar / 1e6, n / colour / 1e6, scalar / baseline);
    }

    // 2. The five-map terrain material against a plain diffuse material.
    b.yi.paramsClearAll();
    b.yi.paramsSetString("type", "shinydiffusemat");
    const material_t* plain = b.create("plain");
    const char* presetKinds[5][2] = {{"clouds", "clouds"}, {"marble", "marble"}, {"distorted_noise", "clouds"},
                                     {"wood", "wood"}, {"marble", "distorted_noise"}};
    // The keys the presets send for each kind (a distorted noise has its own two noise keys).
    auto presetParams = [&](const std::string& kind) {
        b.yi.paramsSetString("type", kind.c_str());
        b.yi.paramsSetFloat("size", 400.0);
        if (kind == "distorted_noise") {
            b.yi.paramsSetFloat("distort", 2.0);
            b.yi.paramsSetString("noise_type1", "voronoi_f2");
            b.yi.paramsSetString("noise_type2", "voronoi_f3");
            return;
        }
        b.yi.paramsSetInt("depth", 5);
        b.yi.paramsSetString("noise_type", "voronoi_f4");
        if (kind != "clouds") b.yi.paramsSetFloat("turbulence", 10.0);
    };
    std::vector<std::string> maps;
    for (int i = 0; i < 5; ++i) {
        const std::string id = std::to_string(i);
        b.texture("colour" + id, [&] {
            presetParams(presetKinds[i][0]);
            b.yi.paramsSetColor("color1", 0.7f, 0.6f, 0.5f, 1.f);
            b.yi.paramsSetColor("color2", 0.5f, 0.4f, 0.3f, 1.f);
        });
        b.texture("bump" + id, [&] { presetParams(presetKinds[i][1]); });
        b.texture("mask" + id, [&] {
            b.yi.paramsSetString("type", "image");
            b.yi.paramsSetString("clipping", "extend");
            b.yi.paramsSetString("filename", masks[i].string().c_str());
        });
        maps.push_back(b.mapMaterial("map" + id, "colour" + id, "bump" + id));
    }
    std::string chain = maps[0];
    for (int i = 1; i < 5; ++i) chain = b.blend("blend" + std::to_string(i), chain, maps[i], "mask" + std::to_string(i));
    const material_t* terrain = b.materials.back();
    for (const auto& mask : masks) std::filesystem::remove(mask);

    const int shadingPointsCount = std::max(1000, n / 10);
    const std::vector<surfacePoint_t> few(points.begin(), points.begin() + shadingPointsCount);
    const vector3d_t wo(0.3f, 0.2f, 0.93f);
    const double plainSeconds =
        bestOfThree(few, [&](const surfacePoint_t& sp) { gSink = gSink + plain->response(sp, wo).diffuse.R; });
    const double terrainSeconds =
        bestOfThree(few, [&](const surfacePoint_t& sp) { gSink = gSink + terrain->response(sp, wo).diffuse.R; });
    std::printf("terrain material per shading point, %d points:\n", shadingPointsCount);
    std::printf("  plain diffuse (baseline) %.3f us, five-map blend chain %.3f us, chain/plain %.1f\n",
                plainSeconds / shadingPointsCount * 1e6, terrainSeconds / shadingPointsCount * 1e6,
                terrainSeconds / plainSeconds);
    return 0;
}
