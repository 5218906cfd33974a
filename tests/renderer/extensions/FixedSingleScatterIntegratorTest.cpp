#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>

#include "ExtensionTestSupport.h"
#include "raytracer/core/Environment.h"
#include "raytracer/core/RenderContext.h"
#include "raytracer/core/Volume.h"

namespace {

using enginetest::CapturedImage;
using enginetest::LogCapture;
using extensiontest::ExtensionScene;
using yafaray::color_t;
using yafaray::colorA_t;
using yafaray::point3d_t;
using yafaray::ray_t;
using yafaray::vector3d_t;

struct Haze {
    float strength, distance;
};

const color_t kBackground(0.2f, 0.4f, 0.6f);

yafaray::volumeIntegrator_t* integrator(ExtensionScene& s, const char* type, float step, bool optimize,
                                        std::optional<Haze> haze = std::nullopt) {
    static int count = 0;
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", type);
    s.yi.paramsSetFloat("stepSize", step);
    s.yi.paramsSetBool("adaptive", false);
    s.yi.paramsSetBool("optimize", optimize);
    if (haze) {
        s.yi.paramsSetFloat("hazeStrength", haze->strength);
        s.yi.paramsSetFloat("hazeDistance", haze->distance);
    }
    return dynamic_cast<yafaray::volumeIntegrator_t*>(
        s.yi.createIntegrator(("vol" + std::to_string(count++)).c_str()));
}

yafaray::volumeIntegrator_t* fixed(ExtensionScene& s, float step, bool optimize,
                                   std::optional<Haze> haze = std::nullopt) {
    return integrator(s, "FixedSingleScatterIntegrator", step, optimize, haze);
}

yafaray::background_t* background(ExtensionScene& s) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "constant");
    s.yi.paramsSetColor("color", kBackground.R, kBackground.G, kBackground.B);
    return s.yi.createBackground("bg");
}

// A context holding the environment's regions and lights, prepared as a render prepares it.
yafaray::renderContext_t prepared(ExtensionScene& s, yafaray::volumeIntegrator_t* vi,
                                  const yafaray::background_t* bg) {
    yafaray::renderContext_t ctx;
    ctx.scene = &s.yi.scene();
    ctx.background = bg;
    ctx.volumeIntegrator = vi;
    for (auto* l : s.env().lights()) ctx.lights.push_back(l);
    ctx.volumeRegions = s.env().volumeRegions();
    vi->preprocess(ctx);
    return ctx;
}

ray_t segment(const point3d_t& from, const vector3d_t& dir, float tmax) {
    ray_t r;
    r.from = from;
    r.dir = dir.normalized();
    r.tmax = tmax;
    return r;
}

// A uniform slab z ∈ [0, 1] (wide in x and y) with sigma_a 0.3 and sigma_s 0.2.
void slab(ExtensionScene& s, int attgridScale = 4) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "UniformVolume");
    s.yi.paramsSetFloat("minX", -50.0);
    s.yi.paramsSetFloat("minY", -50.0);
    s.yi.paramsSetFloat("minZ", 0.0);
    s.yi.paramsSetFloat("maxX", 50.0);
    s.yi.paramsSetFloat("maxY", 50.0);
    s.yi.paramsSetFloat("maxZ", 1.0);
    s.yi.paramsSetFloat("sigma_a", 0.3);
    s.yi.paramsSetFloat("sigma_s", 0.2);
    s.yi.paramsSetInt("attgridScale", attgridScale);
    s.yi.createVolumeRegion("slab");
}

void lightFromAbove(ExtensionScene& s) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "directional");
    s.yi.paramsSetPoint("direction", 0, 0, 1);
    s.yi.paramsSetColor("color", 1, 1, 1);
    s.yi.paramsSetFloat("power", 1.0);
    s.yi.createLight("above");
}

void emptyGeometry(ExtensionScene& s) {
    s.yi.startGeometry();
    s.yi.endGeometry();
}

yafaray::renderState_t seeded(uint32_t seed) {
    yafaray::renderState_t state;
    state.rngState = seed;
    return state;
}

TEST(FixedSingleScatterIntegrator, PrintsItsSettingsAndRefusesASteplessMarch) {
    ExtensionScene s;
    LogCapture log;
    ASSERT_NE(fixed(s, 0.5f, true), nullptr);
    EXPECT_EQ(log.count("ScatterIntegrator, stepSize: 0.5 adaptive: 0 optimize: 1"), 1);
    EXPECT_EQ(log.count("unused parameter"), 0);
    EXPECT_EQ(fixed(s, 0.f, false), nullptr);
    EXPECT_EQ(fixed(s, -1.f, false), nullptr);
    EXPECT_GE(log.count("stepSize must be positive"), 2);
}

TEST(FixedSingleScatterIntegrator, HazeFollowsItsClosedForms) {
    ExtensionScene s;
    emptyGeometry(s);
    auto* vi = fixed(s, 0.1f, true, Haze{0.7f, 10.f});
    const auto ctx = prepared(s, vi, background(s));
    auto state = seeded(1);
    const vector3d_t dir = vector3d_t(1, 2, -0.5f).normalized();
    for (float t : {0.5f, 1.f, 2.5f, 9.99f, 10.f, 25.f, 1e6f}) {
        const float h = 0.7f * std::min(t / 10.f, 1.f);
        const colorA_t tr = vi->transmittance(ctx, state, segment({1, 2, 3}, dir, t));
        EXPECT_NEAR(tr.R, 1.f - h, 1e-6f) << t;
        EXPECT_NEAR(tr.B, 1.f - h, 1e-6f) << t;
        EXPECT_NEAR(tr.A, 1.f - h, 1e-6f) << t;
        const colorA_t in = vi->integrate(ctx, state, segment({1, 2, 3}, dir, t));
        EXPECT_NEAR(in.R, kBackground.R * h, 1e-6f) << t;
        EXPECT_NEAR(in.G, kBackground.G * h, 1e-6f) << t;
        EXPECT_NEAR(in.A, h, 1e-6f) << t;
    }
    // Unbounded rays (the background itself) are not hazed.
    EXPECT_EQ(vi->transmittance(ctx, state, segment({1, 2, 3}, dir, -1.f)).R, 1.f);
    EXPECT_EQ(vi->integrate(ctx, state, segment({1, 2, 3}, dir, -1.f)).R, 0.f);
    // Nor is anything in a scene without a background.
    auto* noBg = fixed(s, 0.1f, true, Haze{0.7f, 10.f});
    const auto bare = prepared(s, noBg, nullptr);
    EXPECT_EQ(noBg->transmittance(bare, state, segment({1, 2, 3}, dir, 20.f)).R, 1.f);
    EXPECT_EQ(noBg->integrate(bare, state, segment({1, 2, 3}, dir, 20.f)).R, 0.f);
    // A strength above 1 never turns the surface negative.
    auto* strong = fixed(s, 0.1f, true, Haze{3.f, 10.f});
    const auto strongCtx = prepared(s, strong, ctx.background);
    EXPECT_EQ(strong->transmittance(strongCtx, state, segment({1, 2, 3}, dir, 20.f)).R, 0.f);
    EXPECT_NEAR(strong->integrate(strongCtx, state, segment({1, 2, 3}, dir, 20.f)).G, kBackground.G, 1e-6f);
}

TEST(FixedSingleScatterIntegrator, HazeStrengthZeroChangesNothing) {
    ExtensionScene s;
    emptyGeometry(s);
    slab(s);
    lightFromAbove(s);
    const auto* bg = background(s);
    auto* plain = fixed(s, 0.05f, false);
    auto* zero = fixed(s, 0.05f, false, Haze{0.f, 3.f});
    const auto plainCtx = prepared(s, plain, bg);
    const auto zeroCtx = prepared(s, zero, bg);
    for (float t : {0.5f, 2.f, 8.f}) {
        const ray_t r = segment({-2, 0, 0.5f}, {1, 0, 0.2f}, t);
        auto a = seeded(7), b = seeded(7);
        const colorA_t ta = plain->transmittance(plainCtx, a, r), tb = zero->transmittance(zeroCtx, b, r);
        EXPECT_EQ(ta.R, tb.R);
        EXPECT_EQ(ta.A, tb.A);
        const colorA_t la = plain->integrate(plainCtx, a, r), lb = zero->integrate(zeroCtx, b, r);
        EXPECT_EQ(la.R, lb.R);
        EXPECT_EQ(la.B, lb.B);
        EXPECT_GT(la.R, 0.f);
    }
}

TEST(FixedSingleScatterIntegrator, ARayMissingEveryRegionReturnsOnlyTheHazeTerm) {
    ExtensionScene s;
    emptyGeometry(s);
    slab(s);
    lightFromAbove(s);
    const auto* bg = background(s);
    auto* hazy = fixed(s, 0.05f, true, Haze{0.5f, 4.f});
    auto* clear = fixed(s, 0.05f, true);
    const auto hazyCtx = prepared(s, hazy, bg);
    const auto clearCtx = prepared(s, clear, bg);
    auto state = seeded(3);
    const ray_t above = segment({0, 0, 2}, {1, 0, 0.1f}, 3.f);
    const colorA_t l = hazy->integrate(hazyCtx, state, above);
    EXPECT_FLOAT_EQ(l.R, kBackground.R * 0.5f * 0.75f);
    EXPECT_FLOAT_EQ(l.A, 0.5f * 0.75f);
    const colorA_t none = clear->integrate(clearCtx, state, above);
    EXPECT_EQ(none.R + none.G + none.B, 0.f);
    EXPECT_EQ(clear->transmittance(clearCtx, state, above).R, 1.f);
    // A segment that ends before it reaches the slab counts as missing it.
    const ray_t beforeSlab = segment({0, 0, 3}, {0, 0, -1}, 1.5f);
    EXPECT_EQ(clear->integrate(clearCtx, state, beforeSlab).R, 0.f);
}

TEST(FixedSingleScatterIntegrator, InScatterThroughAUniformSlabMatchesTheClosedFormAndTheStockIntegrator) {
    // Along x inside the slab at height 0.5, lit from straight above: every point receives
    // e^(−σt·0.5) of the light, so L = σs·e^(−σt/2)·(1 − e^(−σt·d))/σt over a segment of length d.
    const float sigmaT = 0.5f, sigmaS = 0.2f, d = 4.f;
    const float expected = sigmaS * std::exp(-sigmaT * 0.5f) * (1.f - std::exp(-sigmaT * d)) / sigmaT;
    const float expectedT = std::exp(-sigmaT * d);
    for (bool optimize : {false, true}) {
        for (const char* type : {"FixedSingleScatterIntegrator", "SingleScatterIntegrator"}) {
            ExtensionScene s;
            LogCapture log;
            emptyGeometry(s);
            slab(s);
            lightFromAbove(s);
            auto* vi = integrator(s, type, 0.02f, optimize);
            ASSERT_NE(vi, nullptr);
            const auto ctx = prepared(s, vi, background(s));
            EXPECT_EQ(log.count("volume, attGridMaps with size: 32 32 32"), optimize ? 1 : 0) << type;
            float sum = 0.f, sumT = 0.f;
            const int n = 8;
            for (int k = 0; k < n; ++k) {
                auto state = seeded(100 + k);
                const ray_t r = segment({-2, 0, 0.5f}, {1, 0, 0}, d);
                sum += vi->integrate(ctx, state, r).G;
                sumT += vi->transmittance(ctx, state, r).G;
            }
            EXPECT_NEAR(sum / n / expected, 1.f, 0.02f) << type << " optimize " << optimize;
            EXPECT_NEAR(sumT / n / expectedT, 1.f, 0.01f) << type << " optimize " << optimize;
        }
    }
}

// A white plane z = 0 seen from 5 units above, lit from above, with a constant background.
CapturedImage renderPlane(ExtensionScene& s, std::optional<Haze> haze, bool cloud = false,
                          const char* surfaceIntegrator = "pathtracing") {
    s.yi.startGeometry();
    auto* white = s.diffuse("white", 0.8f, 0.8f, 0.8f);
    s.quad({-20, -20, 0}, {40, 0, 0}, {0, 40, 0}, white);
    s.yi.endGeometry();
    s.topCamera(5.f, 24, 24, 0.5f);
    s.sun({0, 0, 1}, 1.f, 0.27f, 1);
    background(s);
    if (cloud) {
        s.yi.paramsClearAll();
        s.yi.paramsSetString("type", "clouds");
        s.yi.paramsSetFloat("size", 0.3);
        s.yi.createTexture("cloudNoise");
        s.yi.paramsClearAll();
        s.yi.paramsSetString("type", "FixedNoiseVolume");
        for (const auto& [key, value] : {std::pair{"minX", -2.5},
                                         {"minY", -2.5},
                                         {"minZ", 1.0},
                                         {"maxX", 2.5},
                                         {"maxY", 2.5},
                                         {"maxZ", 3.0},
                                         {"sigma_a", 0.5},
                                         {"sigma_s", 0.05},
                                         {"cover", 0.8},
                                         {"sharpness", 7.0},
                                         {"density", 10.0}})
            s.yi.paramsSetFloat(key, value);
        s.yi.paramsSetInt("attgridScale", 1);
        s.yi.paramsSetInt("edgeMode", 0);
        s.yi.paramsSetString("textureName", "cloudNoise");
        s.yi.createVolumeRegion("cloud");
    }
    // The surface integrator hands the volume integrator the camera segment up to the surface.
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", surfaceIntegrator);
    s.yi.paramsSetInt("path_samples", 2);
    s.yi.paramsSetInt("bounces", 1);
    s.yi.createIntegrator("surfaceIntegrator");
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "FixedSingleScatterIntegrator");
    s.yi.paramsSetFloat("stepSize", 0.2);
    s.yi.paramsSetBool("optimize", true);
    if (haze) {
        s.yi.paramsSetFloat("hazeStrength", haze->strength);
        s.yi.paramsSetFloat("hazeDistance", haze->distance);
    }
    s.yi.createIntegrator("volumeIntegrator");
    enginetest::SceneBuilder::RenderOptions o;
    o.background = "bg";
    return s.render(24, 24, o);
}

TEST(FixedSingleScatterIntegrator, RenderedSurfacesBlendIntoTheBackgroundWithDistance) {
  for (const char* integrator : {"pathtracing", "directlighting"}) {
    SCOPED_TRACE(integrator);
    ExtensionScene clearScene, hazyScene, fullScene;
    const CapturedImage clear = renderPlane(clearScene, std::nullopt, false, integrator);
    const CapturedImage hazy = renderPlane(hazyScene, Haze{0.5f, 10.f}, false, integrator);
    // Every surface is at least 5 away.
    const CapturedImage full = renderPlane(fullScene, Haze{1.f, 5.f}, false, integrator);
    for (int y = 0; y < 24; y += 5) {
        for (int x = 0; x < 24; x += 5) {
            const float t = clear.z(x, y);
            ASSERT_GE(t, 5.f);
            const float h = 0.5f * std::min(t / 10.f, 1.f);
            for (int k = 0; k < 3; ++k) {
                const float bg = k == 0 ? kBackground.R : (k == 1 ? kBackground.G : kBackground.B);
                EXPECT_NEAR(hazy.channel(x, y, k), clear.channel(x, y, k) * (1.f - h) + bg * h, 1e-5f);
                EXPECT_NEAR(full.channel(x, y, k), bg, 1e-6f);
            }
        }
    }
  }
}

TEST(FixedSingleScatterIntegrator, ACloudOverAPlaneChangesOnlyThePixelsItCovers) {
    ExtensionScene clearScene, cloudScene;
    const CapturedImage clear = renderPlane(clearScene, std::nullopt);
    const CapturedImage cloudy = renderPlane(cloudScene, std::nullopt, true);
    // The corners look past the cloud and its shadow (the light is straight above).
    for (const auto& [x, y] : {std::pair{0, 0}, {23, 0}, {0, 23}, {23, 23}})
        EXPECT_EQ(cloudy.r(x, y), clear.r(x, y)) << x << "," << y;
    // Under the cloud the plane is shadowed and seen through the medium.
    float changed = 0.f;
    for (int y = 9; y < 15; ++y)
        for (int x = 9; x < 15; ++x) changed += std::fabs(cloudy.r(x, y) - clear.r(x, y));
    EXPECT_GT(changed / 36.f, 0.01f);
}

}  // namespace
