// Distance haze and media together: far surfaces, the media in front of them and the background
// beyond the scene's geometry must blend into one another without seams.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ExtensionTestSupport.h"
#include "raytracer/core/RenderContext.h"
#include "raytracer/core/Volume.h"

namespace {

using enginetest::CapturedImage;
using extensiontest::ExtensionScene;
using yafaray::color_t;
using yafaray::colorA_t;
using yafaray::point3d_t;
using yafaray::ray_t;
using yafaray::vector3d_t;

const color_t kBackground(0.2f, 0.4f, 0.6f);

ray_t segment(const point3d_t& from, const vector3d_t& dir, float tmax) {
    ray_t r;
    r.from = from;
    r.dir = dir.normalized();
    r.tmax = tmax;
    return r;
}

TEST(AerialPerspective, HazeBehindAnAbsorbingSlabIsDimmedByItAndAMissMatchesAFarSurface) {
    // An absorbing slab z ∈ [0, 1] (σt = 0.5, nothing scatters, no lights) and a haze that is
    // complete at 4 units. Along x at mid-height, the haze light is bg·¼·∫₀⁴ e^(−0.5t) dt.
    ExtensionScene s;
    s.yi.startGeometry();
    s.yi.endGeometry();
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "UniformVolume");
    for (const auto& [key, value] : {std::pair{"minX", -50.0},
                                     {"minY", -50.0},
                                     {"minZ", 0.0},
                                     {"maxX", 50.0},
                                     {"maxY", 50.0},
                                     {"maxZ", 1.0},
                                     {"sigma_a", 0.5},
                                     {"sigma_s", 0.0}})
        s.yi.paramsSetFloat(key, value);
    s.yi.createVolumeRegion("slab");
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "constant");
    s.yi.paramsSetColor("color", kBackground.R, kBackground.G, kBackground.B);
    const auto* bg = s.yi.createBackground("bg");

    for (float strength : {1.f, 0.5f}) {
        SCOPED_TRACE(strength);
        s.yi.paramsClearAll();
        s.yi.paramsSetString("type", "FixedSingleScatterIntegrator");
        s.yi.paramsSetFloat("stepSize", 0.1);
        s.yi.paramsSetFloat("hazeStrength", strength);
        s.yi.paramsSetFloat("hazeDistance", 4.0);
        auto* vi = dynamic_cast<yafaray::volumeIntegrator_t*>(
            s.yi.createIntegrator(("vol" + std::to_string(strength)).c_str()));
        ASSERT_NE(vi, nullptr);
        yafaray::renderContext_t ctx;
        ctx.scene = &s.yi.scene();
        ctx.background = bg;
        ctx.volumeIntegrator = vi;
        ctx.volumeRegions = s.env().volumeRegions();
        vi->preprocess(ctx);

        const float gathered = strength * 0.25f * (1.f - std::exp(-2.f)) / 0.5f;
        const vector3d_t along(1, 0, 0);
        for (uint32_t seed : {1u, 2u, 3u}) {
            yafaray::renderState_t state;
            state.rngState = seed;
            // A surface 30 units away, inside the slab: its own light is all absorbed.
            const ray_t far = segment({-2, 0, 0.5f}, along, 30.f);
            const colorA_t in = vi->integrate(ctx, state, far);
            EXPECT_NEAR(in.G, kBackground.G * gathered, 1e-4f);
            EXPECT_NEAR(vi->transmittance(ctx, state, far).G, (1.f - strength) * std::exp(-15.f), 1e-6f);
            // A ray that leaves the slab and meets the background: the surface integrator adds
            // the background times the transmittance to the light integrate() gives.
            const ray_t out = segment({-2, 0, 0.5f}, vector3d_t(1, 0, 0.05f), -1.f);
            const float leave = 0.5f / out.dir.z;  // where it leaves the slab through its top
            const float expected = kBackground.G * ((1.f - strength) * std::exp(-0.5f * leave) +
                                                    strength * 0.25f * (1.f - std::exp(-2.f)) / 0.5f);
            const float seen =
                kBackground.G * vi->transmittance(ctx, state, out).G + vi->integrate(ctx, state, out).G;
            EXPECT_NEAR(seen, expected, 2e-4f);
        }
    }
}

// A glass lake z ≤ 0.35 with ground fog above it, both ending 200 units out as the scene's
// skirt does, the daylight sky and the sun; a camera 1.85 above the ground looks level at the
// horizon. Returns the mean of each row's luminance, top row first.
std::vector<float> levelViewOverFoggyWater(const char* surfaceIntegrator, int w, int h) {
    ExtensionScene s;
    s.yi.startGeometry();
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "glass");
    s.yi.paramsSetFloat("IOR", 1.4);
    s.yi.paramsSetColor("absorption", 0.2f, 0.4f, 0.8f, 1.f);
    s.yi.paramsSetFloat("absorption_dist", 0.31);
    s.yi.paramsSetColor("mirror_color", 0.9f, 0.9f, 1.f, 1.f);
    auto* water = s.yi.createMaterial("water");
    auto* ground = s.diffuse("ground", 0.f, 0.f, 0.f);
    const float lo = -200.f, hi = 210.f, top = 0.35f, bottom = -0.01f, size = hi - lo;
    s.quad({lo, lo, top}, {size, 0, 0}, {0, size, 0}, water);
    s.quad({lo, lo, bottom}, {0, size, 0}, {size, 0, 0}, water);
    s.quad({lo, lo, bottom}, {size, 0, 0}, {0, 0, top - bottom}, water);
    s.quad({lo, hi, bottom}, {0, 0, top - bottom}, {size, 0, 0}, water);
    s.quad({lo, lo, bottom}, {0, 0, top - bottom}, {0, size, 0}, water);
    s.quad({hi, lo, bottom}, {0, size, 0}, {0, 0, top - bottom}, water);
    s.quad({lo, lo, -1.f}, {size, 0, 0}, {0, size, 0}, ground);
    s.yi.endGeometry();

    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "ExpDensityVolume");
    for (const auto& [key, value] : {std::pair{"minX", -200.0},
                                     {"minY", -200.0},
                                     {"minZ", 0.35},
                                     {"maxX", 210.0},
                                     {"maxY", 210.0},
                                     {"maxZ", 1.1},
                                     {"a", 0.5},
                                     {"b", 2.0},
                                     {"sigma_a", 0.05},
                                     {"sigma_s", 0.01}})
        s.yi.paramsSetFloat(key, value);
    s.yi.paramsSetInt("attgridScale", 1);
    s.yi.createVolumeRegion("fog");

    const point3d_t toSun(-0.45f, -0.3f, 0.46f);
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "darksky");
    s.yi.paramsSetPoint("from", toSun.x, toSun.y, toSun.z);
    s.yi.paramsSetFloat("turbidity", 3.5);
    s.yi.createBackground("sky");
    s.sun(toSun, 1.f, 1.f, 1);
    const point3d_t eye(0.f, 0.f, 1.85f);
    s.camera("perspective", eye, {1.f, 0.f, eye.z}, {0.f, 0.f, eye.z + 1.f}, w, h,
             [&] { s.yi.paramsSetFloat("focal", 16.0); });

    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", surfaceIntegrator);
    s.yi.paramsSetInt("raydepth", 4);
    if (std::string(surfaceIntegrator) == "pathtracing") {
        s.yi.paramsSetInt("path_samples", 1);
        s.yi.paramsSetInt("bounces", 1);
    }
    s.yi.createIntegrator("surfaceIntegrator");
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "FixedSingleScatterIntegrator");
    s.yi.paramsSetFloat("stepSize", 0.25);
    s.yi.paramsSetBool("optimize", true);
    s.yi.paramsSetFloat("hazeStrength", 1.0);
    s.yi.paramsSetFloat("hazeDistance", 40.0);
    s.yi.createIntegrator("volumeIntegrator");

    enginetest::SceneBuilder::RenderOptions o;
    o.background = "sky";
    o.minSamples = 4;
    const CapturedImage img = s.render(w, h, o);
    std::vector<float> rows(size_t(h), 0.f);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            rows[y] += 0.2126f * img.channel(x, y, 0) + 0.7152f * img.channel(x, y, 1) +
                       0.0722f * img.channel(x, y, 2);
        rows[y] /= float(w);
    }
    return rows;
}

TEST(AerialPerspective, ALevelViewOverFoggyWaterFadesIntoTheSkyWithoutALineAtTheHorizon) {
    const int w = 16, h = 48;
    for (const char* integrator : {"directlighting", "pathtracing"}) {
        SCOPED_TRACE(integrator);
        const std::vector<float> rows = levelViewOverFoggyWater(integrator, w, h);
        // The horizon lies between rows h/2 − 1 and h/2. Below it the lake is seen through the
        // fog and the haze; the far edge of the scene, 200 units out, falls in the rows just
        // under the horizon. No row may stand out from the mean of its neighbours.
        const float sky = rows[h / 2 - 1];
        ASSERT_GT(sky, 0.1f);
        float largest = 0.f;
        for (int y = h / 2 - 1; y + 1 < h; ++y)
            largest = std::max(largest, std::fabs(rows[y] - 0.5f * (rows[y - 1] + rows[y + 1])));
        // The haze's linear ramp leaves a gentle bend where surfaces start to show through it;
        // the seam at the scene's edge used to stand out by a fifth of the sky's luminance.
        EXPECT_LT(largest, 0.02f * sky);
    }
}

}  // namespace
