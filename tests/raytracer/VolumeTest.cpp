#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "EngineTestSupport.h"
#include "raytracer/core/Environment.h"
#include "raytracer/core/RenderContext.h"
#include "raytracer/core/Volume.h"

namespace {

using enginetest::CapturedImage;
using enginetest::SceneBuilder;
using yafaray::color_t;
using yafaray::point3d_t;
using yafaray::ray_t;
using yafaray::vector3d_t;

struct Box {
    point3d_t min, max;
};

yafaray::VolumeRegion* region(SceneBuilder& s, const char* type, const Box& b, float sigmaA, float sigmaS,
                              const std::function<void()>& extra = {}) {
    static int count = 0;
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", type);
    s.yi.paramsSetFloat("minX", b.min.x);
    s.yi.paramsSetFloat("minY", b.min.y);
    s.yi.paramsSetFloat("minZ", b.min.z);
    s.yi.paramsSetFloat("maxX", b.max.x);
    s.yi.paramsSetFloat("maxY", b.max.y);
    s.yi.paramsSetFloat("maxZ", b.max.z);
    s.yi.paramsSetFloat("sigma_a", sigmaA);
    s.yi.paramsSetFloat("sigma_s", sigmaS);
    if (extra) extra();
    return s.yi.createVolumeRegion(("region" + std::to_string(count++)).c_str());
}

yafaray::volumeIntegrator_t* singleScatter(SceneBuilder& s, float step, bool optimize) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "SingleScatterIntegrator");
    s.yi.paramsSetFloat("stepSize", step);
    s.yi.paramsSetBool("adaptive", false);
    s.yi.paramsSetBool("optimize", optimize);
    return dynamic_cast<yafaray::volumeIntegrator_t*>(s.yi.createIntegrator("volumeIntegrator"));
}

// A context with the environment's regions and lights, prepared as render prepares it.
yafaray::renderContext_t prepared(SceneBuilder& s, yafaray::volumeIntegrator_t* vi) {
    yafaray::renderContext_t ctx;
    ctx.scene = &s.yi.scene();
    ctx.volumeIntegrator = vi;
    for (auto* l : s.yi.getRenderEnvironment()->lights()) ctx.lights.push_back(l);
    ctx.volumeRegions = s.yi.getRenderEnvironment()->volumeRegions();
    vi->preprocess(ctx);
    return ctx;
}

ray_t rayFrom(const point3d_t& from, const vector3d_t& dir, float tmax = -1.f) {
    ray_t r;
    r.from = from;
    r.dir = dir.normalized();
    r.tmax = tmax;
    return r;
}

const Box kSlab{{-10, -10, 0}, {10, 10, 1}};

TEST(UniformVolume, TransmittanceThroughASlabIsExpOfSigmaTTimesDistance) {
    SceneBuilder s;
    s.yi.startGeometry();
    s.yi.endGeometry();
    ASSERT_NE(region(s, "UniformVolume", kSlab, 0.3f, 0.2f), nullptr);
    auto* vi = singleScatter(s, 0.05f, false);
    ASSERT_NE(vi, nullptr);
    const auto ctx = prepared(s, vi);
    yafaray::renderState_t state;
    for (float angleDeg : {0.f, 30.f, 60.f}) {
        const float a = angleDeg * yafaray::kPi / 180.f;
        const ray_t r = rayFrom({0, 0, -1}, {std::sin(a), 0.f, std::cos(a)});
        const float d = 1.f / std::cos(a);
        EXPECT_NEAR(vi->transmittance(ctx, state, r).R / std::exp(-0.5f * d), 1.f, 0.01f) << angleDeg;
    }
    // A segment that ends inside the slab only counts the part it crosses.
    const ray_t half = rayFrom({0, 0, -1}, {0, 0, 1}, 1.5f);
    EXPECT_NEAR(vi->transmittance(ctx, state, half).R / std::exp(-0.5f * 0.5f), 1.f, 0.01f);
    // A ray that misses the slab keeps everything.
    EXPECT_FLOAT_EQ(vi->transmittance(ctx, state, rayFrom({0, 0, 2}, {1, 0, 0})).R, 1.f);
}

TEST(DensityVolume, MarchedSlabMatchesTheExactOpticalThickness) {
    SceneBuilder s;
    // An exponential volume with b = 0 has constant density a.
    auto* vr = region(s, "ExpDensityVolume", kSlab, 0.4f, 0.1f, [&] {
        s.yi.paramsSetFloat("a", 2.0);
        s.yi.paramsSetFloat("b", 0.0);
    });
    ASSERT_NE(vr, nullptr);
    const color_t tau = vr->tau(rayFrom({0, 0, -1}, {0, 0, 1}), 0.01f, 0.5f);
    EXPECT_NEAR(tau.R, 1.0f, 0.01f);
    EXPECT_NEAR(tau.B, 1.0f, 0.01f);
}

TEST(ExpDensityVolume, ThinsOutWithHeightAsItsFormulaSays) {
    SceneBuilder s;
    const float a = 1.5f, b = 2.0f, base = 0.7f;
    auto* vr = dynamic_cast<yafaray::DensityVolume*>(
        region(s, "ExpDensityVolume", {{0, 0, base}, {10, 10, base + 3}}, 0.2f, 0.05f, [&] {
            s.yi.paramsSetFloat("a", a);
            s.yi.paramsSetFloat("b", b);
        }));
    ASSERT_NE(vr, nullptr);
    for (float h : {0.f, 0.25f, 0.5f, 1.f, 2.f, 3.f}) {
        const point3d_t p(5, 5, base + h);
        const float rho = a * std::exp(-b * h);
        EXPECT_NEAR(vr->Density(p), rho, 1e-5f);
        EXPECT_NEAR(vr->sigma_t(p, {0, 0, 1}).G, 0.25f * rho, 1e-5f);
        EXPECT_NEAR(vr->sigma_s(p, {0, 0, 1}).G, 0.05f * rho, 1e-6f);
    }
    // Outside the box (just below its base, beside it) there is no medium.
    EXPECT_TRUE(vr->sigma_t({5, 5, base - 0.01f}, {0, 0, 1}).isBlack());
    EXPECT_TRUE(vr->sigma_t({10.5f, 5, base + 1}, {0, 0, 1}).isBlack());
    // Vertical optical thickness: σt·a/b·(1 − e^(−b·H)).
    const color_t tau = vr->tau(rayFrom({5, 5, base - 1}, {0, 0, 1}), 0.002f, 0.5f);
    EXPECT_NEAR(tau.R / (0.25f * a / b * (1.f - std::exp(-b * 3.f))), 1.f, 0.01f);
}

class ConstantTexture : public yafaray::texture_t {
public:
    explicit ConstantTexture(float v) : v_(v) {}
    yafaray::colorA_t getColor(const point3d_t&) const override { return {v_, v_, v_, 1.f}; }

private:
    float v_;
};

yafaray::texture_t* constantTextureFactory(yafaray::paraMap_t& params, yafaray::renderEnvironment_t&) {
    float v = 0.f;
    params.getParam("value", v);
    return new ConstantTexture(v);
}

TEST(NoiseVolume, DensityIsALogisticThresholdOfTheTexture) {
    SceneBuilder s;
    s.yi.getRenderEnvironment()->registerFactory("test_constant", &constantTextureFactory);
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "test_constant");
    s.yi.paramsSetFloat("value", 0.4);
    ASSERT_NE(s.yi.createTexture("noise"), nullptr);
    const float sharpness = 3.f, cover = 0.8f, density = 2.f;
    auto* vr = dynamic_cast<yafaray::DensityVolume*>(region(s, "NoiseVolume", kSlab, 0.1f, 0.1f, [&] {
        s.yi.paramsSetString("texture", "noise");
        s.yi.paramsSetFloat("sharpness", sharpness);
        s.yi.paramsSetFloat("cover", cover);
        s.yi.paramsSetFloat("density", density);
    }));
    ASSERT_NE(vr, nullptr);
    const float expected = density / (1.f + std::exp(sharpness * sharpness * ((1.f - cover) - 0.4f)));
    EXPECT_NEAR(vr->Density({1, 2, 0.5f}), expected, 1e-5f);

    // Without its texture the region is refused with a message naming it.
    enginetest::LogCapture log;
    EXPECT_EQ(
        region(s, "NoiseVolume", kSlab, 0.1f, 0.1f, [&] { s.yi.paramsSetString("texture", "missing"); }),
        nullptr);
    EXPECT_GE(log.count("missing"), 1);
}

TEST(VolumeRegion, AbsentCoefficientsContributeNothingAndTheBoxBoundsAreInclusive) {
    SceneBuilder s;
    auto* vr = region(s, "UniformVolume", kSlab, 0.f, 0.5f);
    ASSERT_NE(vr, nullptr);
    EXPECT_TRUE(vr->sigma_a({0, 0, 0.5f}, {0, 0, 1}).isBlack());
    EXPECT_FLOAT_EQ(vr->sigma_s({0, 0, 1.f}, {0, 0, 1}).R, 0.5f);
    EXPECT_FLOAT_EQ(vr->sigma_s({10.f, -10.f, 0.f}, {0, 0, 1}).R, 0.5f);
    EXPECT_TRUE(vr->sigma_s({0, 0, 1.001f}, {0, 0, 1}).isBlack());
}

TEST(VolumeRegion, AttenuationGridIsInterpolatedTrilinearlyAndClampedAtTheFaces) {
    SceneBuilder s;
    auto* vr = region(s, "UniformVolume", {{0, 0, 0}, {8, 8, 8}}, 0.1f, 0.1f,
                      [&] { s.yi.paramsSetInt("attgridScale", 1); });
    ASSERT_NE(vr, nullptr);
    ASSERT_EQ(vr->attGridX, 8);
    const yafaray::light_t* key = reinterpret_cast<const yafaray::light_t*>(vr);
    std::vector<float>& grid = vr->attenuationGridMap[key];
    grid.assign(8 * 8 * 8, 0.f);
    // Values rising along x by one per cell: cell i holds i.
    for (int z = 0; z < 8; ++z)
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) grid[(z * 8 + y) * 8 + x] = float(x);
    EXPECT_NEAR(vr->attenuation({2.5f, 4, 4}, key), 2.f, 1e-5f);   // a cell centre
    EXPECT_NEAR(vr->attenuation({3.0f, 4, 4}, key), 2.5f, 1e-5f);  // half way to the next
    EXPECT_NEAR(vr->attenuation({0.1f, 4, 4}, key), 0.f, 1e-5f);   // clamped below
    EXPECT_NEAR(vr->attenuation({7.9f, 4, 4}, key), 7.f, 1e-5f);   // clamped above
    // A light without a grid passes unattenuated (and is reported).
    enginetest::LogCapture log;
    EXPECT_FLOAT_EQ(vr->attenuation({1, 1, 1}, nullptr), 1.f);
}

TEST(VolumeRegion, HostileStepSizesAndGridScalesStayBounded) {
    SceneBuilder s;
    auto* vr = region(s, "ExpDensityVolume", {{0, 0, 0}, {1, 1, 1000}}, 0.1f, 0.1f,
                      [&] { s.yi.paramsSetInt("attgridScale", 100000); });
    ASSERT_NE(vr, nullptr);
    EXPECT_LE(vr->attGridX, 128);
    const auto start = std::chrono::steady_clock::now();
    const color_t tau = vr->tau(rayFrom({0.5f, 0.5f, -1}, {0, 0, 1}), 1e-12f, 0.f);
    EXPECT_TRUE(std::isfinite(tau.R));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // A non-positive step is refused by the integrator.
    EXPECT_EQ(singleScatter(s, 0.f, false), nullptr);
}

TEST(SingleScatterIntegrator, InScatterFromAnOverheadSunMatchesTheSlabIntegral) {
    for (bool optimize : {false, true}) {
        SceneBuilder s;
        s.yi.startGeometry();
        s.yi.endGeometry();
        const float sigma = 0.8f;
        ASSERT_NE(region(s, "UniformVolume", kSlab, 0.f, sigma), nullptr);
        s.sun({0, 0, 1}, 1.f, 0.f, 1);
        auto* vi = singleScatter(s, 0.005f, optimize);
        const auto ctx = prepared(s, vi);
        yafaray::renderState_t state;
        // Looking straight down through the slab: ∫ σ·e^(−σs)·e^(−σs) ds = (1 − e^(−2σd)) / 2.
        const ray_t down = rayFrom({0, 0, 2}, {0, 0, -1});
        const float expected = (1.f - std::exp(-2.f * sigma)) / 2.f;
        double sum = 0;
        for (int i = 0; i < 16; ++i) sum += vi->integrate(ctx, state, down).R;
        // The grid interpolates the sun's transmittance between cell centres, which costs a little.
        EXPECT_NEAR(sum / 16 / expected, 1.0, optimize ? 0.04 : 0.02) << "optimize " << optimize;
    }
}

TEST(SingleScatterIntegrator, SunlightThroughAnAbsorbingSlabIsDimmedOnTheWayInAndOut) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    s.quad({-3, -3, 0}, {6, 0, 0}, {0, 6, 0}, white);
    s.yi.endGeometry();
    const float sigmaA = 0.4f;
    ASSERT_NE(region(s, "UniformVolume", {{-20, -20, 1}, {20, 20, 2}}, sigmaA, 0.f), nullptr);
    s.topCamera(5.f, 20, 20);
    s.sun({0, 0, 1}, 1.f, 0.f, 1);
    s.directLighting();
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "SingleScatterIntegrator");
    s.yi.paramsSetFloat("stepSize", 0.05);
    ASSERT_NE(s.yi.createIntegrator("media"), nullptr);
    s.yi.paramsClearAll();
    s.yi.paramsSetString("camera_name", "camera");
    s.yi.paramsSetString("integrator_name", "surfaceIntegrator");
    s.yi.paramsSetString("volintegrator_name", "media");
    s.yi.paramsSetString("filter_type", "box");
    s.yi.paramsSetInt("width", 20);
    s.yi.paramsSetInt("height", 20);
    s.yi.paramsSetInt("threads", 2);
    CapturedImage img;
    img.resize(20, 20);
    s.yi.render(img);
    // Once on the shadow ray from the ground to the sun, once on the camera ray.
    EXPECT_NEAR(img.r(10, 10) / std::exp(-2.f * sigmaA), 1.f, 0.01f);
}

}  // namespace
