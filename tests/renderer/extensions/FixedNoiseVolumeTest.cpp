#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <string>

#include "ExtensionTestSupport.h"
#include "raytracer/core/Environment.h"
#include "raytracer/core/Volume.h"
#include "renderer/extensions/FixedNoiseVolume.h"

namespace {

using enginetest::LogCapture;
using extensiontest::ExtensionScene;
using yafaray::color_t;
using yafaray::colorA_t;
using yafaray::point3d_t;

// A texture of one colour (its "color" parameter) that counts its lookups.
std::atomic<int> gLookups{0};

class constantTexture_t : public yafaray::texture_t {
public:
    explicit constantTexture_t(const color_t& c) : c_(c) {}
    colorA_t getColor(const point3d_t&) const override {
        ++gLookups;
        return colorA_t(c_, 1.f);
    }

private:
    color_t c_;
};

yafaray::texture_t* constantTextureFactory(yafaray::paraMap_t& params, yafaray::renderEnvironment_t&) {
    color_t c(0.5f);
    params.getParam("color", c);
    return new constantTexture_t(c);
}

struct Cloud {
    point3d_t min{0, 0, 0}, max{4, 2, 2};
    float sharpness = 2.f, cover = 0.8f, density = 3.f;
    int edgeMode = 1;
    float sigmaA = 0.5f, sigmaS = 0.05f;
    std::string textureName = "noise";
};

class FixedNoiseVolumeTest : public ::testing::Test {
protected:
    FixedNoiseVolumeTest() {
        scene.env().registerFactory("constant_test_texture", &constantTextureFactory);
        scene.yi.paramsClearAll();
        scene.yi.paramsSetString("type", "constant_test_texture");
        scene.yi.paramsSetColor("color", 0.2f, 0.3f, 0.7f);  // mean 0.4
        scene.yi.createTexture("noise");
    }

    yafaray::DensityVolume* create(const Cloud& c, const std::function<void()>& extra = {}) {
        scene.yi.paramsClearAll();
        scene.yi.paramsSetString("type", "FixedNoiseVolume");
        scene.yi.paramsSetFloat("minX", c.min.x);
        scene.yi.paramsSetFloat("minY", c.min.y);
        scene.yi.paramsSetFloat("minZ", c.min.z);
        scene.yi.paramsSetFloat("maxX", c.max.x);
        scene.yi.paramsSetFloat("maxY", c.max.y);
        scene.yi.paramsSetFloat("maxZ", c.max.z);
        scene.yi.paramsSetFloat("sigma_a", c.sigmaA);
        scene.yi.paramsSetFloat("sigma_s", c.sigmaS);
        scene.yi.paramsSetFloat("sharpness", c.sharpness);
        scene.yi.paramsSetFloat("cover", c.cover);
        scene.yi.paramsSetFloat("density", c.density);
        scene.yi.paramsSetInt("edgeMode", c.edgeMode);
        scene.yi.paramsSetInt("attgridScale", 2);
        scene.yi.paramsSetString("textureName", c.textureName.c_str());
        if (extra) extra();
        return dynamic_cast<yafaray::DensityVolume*>(
            scene.yi.createVolumeRegion(("cloud" + std::to_string(count++)).c_str()));
    }

    static float threshold(const Cloud& c) {
        return 1.f / (1.f + std::exp(c.sharpness * c.sharpness * ((1.f - c.cover) - 0.4f)));
    }

    ExtensionScene scene;
    LogCapture log;
    int count = 0;
};

TEST_F(FixedNoiseVolumeTest, HardBoxDensityIsTheLogisticThresholdOfTheTextureTimesDensity) {
    float previous = 0.f;
    for (float cover : {0.2f, 0.6f, 1.1f}) {
        Cloud c;
        c.cover = cover;
        auto* v = create(c);
        ASSERT_NE(v, nullptr);
        const float expected = threshold(c) * c.density;
        for (const point3d_t& p : {point3d_t(0.1f, 0.1f, 0.1f), point3d_t(2, 1, 1), point3d_t(4, 2, 2)})
            EXPECT_NEAR(v->Density(p), expected, 1e-6f) << cover;
        // Higher cover admits more of the noise.
        EXPECT_GT(expected, previous);
        previous = expected;
        // Coefficients scale the region colours by the density; outside the box they are black.
        EXPECT_NEAR(v->sigma_a({2, 1, 1}, {0, 0, 1}).R, 0.5f * expected, 1e-6f);
        EXPECT_NEAR(v->sigma_s({2, 1, 1}, {0, 0, 1}).B, 0.05f * expected, 1e-6f);
        EXPECT_NEAR(v->sigma_t({2, 1, 1}, {0, 0, 1}).G, 0.55f * expected, 1e-6f);
        EXPECT_EQ(v->sigma_t({4.01f, 1, 1}, {0, 0, 1}).G, 0.f);
        EXPECT_EQ(v->emission({2, 1, 1}, {0, 0, 1}).R, 0.f);  // l_e absent
    }
}

TEST_F(FixedNoiseVolumeTest, EllipsoidModeIsZeroOnAndOutsideTheInscribedEllipsoid) {
    Cloud c;
    c.edgeMode = 0;
    auto* v = create(c);
    ASSERT_NE(v, nullptr);
    const float full = threshold(c) * c.density;
    EXPECT_NEAR(v->Density({2, 1, 1}), full, 1e-6f);  // the centre
    // Halfway to the surface along each axis: falloff 1 − 0.5.
    EXPECT_NEAR(v->Density({3, 1, 1}), 0.5f * full, 1e-5f);
    EXPECT_NEAR(v->Density({2, 1.5f, 1}), 0.5f * full, 1e-5f);
    EXPECT_NEAR(v->Density({2, 1, 0.5f}), 0.5f * full, 1e-5f);
    // On the ellipsoid, and in the box corners outside it, nothing; the texture is not even read.
    gLookups = 0;
    for (const point3d_t& p : {point3d_t(4, 1, 1), point3d_t(0, 1, 1), point3d_t(2, 2, 1), point3d_t(2, 1, 0),
                               point3d_t(2 + 2 * 0.8f, 1 + 0.8f, 1), point3d_t(0, 0, 0), point3d_t(4, 2, 2),
                               point3d_t(3.9f, 0.1f, 1.9f)}) {
        EXPECT_EQ(v->Density(p), 0.f) << p.x << "," << p.y << "," << p.z;
        EXPECT_EQ(v->sigma_t(p, {1, 0, 0}).R, 0.f);
    }
    EXPECT_EQ(gLookups.load(), 0);
    // Other edge modes hold nothing.
    c.edgeMode = 2;
    EXPECT_EQ(create(c)->Density({2, 1, 1}), 0.f);
    // A box flat along one axis has no inside.
    c.edgeMode = 0;
    c.max.z = 0.f;
    EXPECT_EQ(create(c)->Density({2, 1, 0}), 0.f);
}

TEST_F(FixedNoiseVolumeTest, OpticalThicknessOfTheHardBoxIsSigmaTTimesThePathLength) {
    Cloud c;
    auto* v = create(c);
    ASSERT_NE(v, nullptr);
    const float sigmaT = 0.55f * threshold(c) * c.density;
    yafaray::ray_t r;
    r.from = {-1, 1, 1};
    r.dir = {1, 0, 0};
    EXPECT_NEAR(v->tau(r, 0.01f, 0.5f).R, sigmaT * 4.f, 0.01f * sigmaT * 4.f);
    r.tmax = 3.f;  // ends inside: two units of the box
    EXPECT_NEAR(v->tau(r, 0.01f, 0.5f).R, sigmaT * 2.f, 0.01f * sigmaT * 2.f);
    r.tmax = 0.5f;  // ends before the box
    EXPECT_EQ(v->tau(r, 0.01f, 0.5f).R, 0.f);
}

// Marches read the noise from a grid at a quarter of their step: the optical thickness follows
// the texture itself closely. A box too large for such a grid reads the texture at every step.
TEST_F(FixedNoiseVolumeTest, MarchesFollowTheNoiseTextureThroughTheirGrid) {
    scene.yi.paramsClearAll();
    scene.yi.paramsSetString("type", "clouds");
    scene.yi.paramsSetFloat("size", 5.f);
    scene.yi.paramsSetInt("depth", 3);
    scene.yi.paramsSetBool("hard", true);
    scene.yi.paramsSetString("noise_type", "voronoi_f4");
    scene.yi.createTexture("clouds");
    auto directMarch = [](const yafaray::DensityVolume& v, const yafaray::ray_t& r, float step, float offset) {
        float t0 = 0.f, t1 = 0.f, sum = 0.f;
        if (!v.intersect(r, t0, t1)) return 0.f;
        for (int i = 0; t0 + (offset + float(i)) * step < t1; ++i)
            sum += v.sigma_t(r.from + r.dir * (t0 + offset * step + float(i) * step), r.dir).R * step;
        return sum;
    };
    Cloud c;
    c.textureName = "clouds";
    // A soft threshold, so that the density follows the noise instead of saturating.
    c.sharpness = 2.f;
    c.cover = 0.5f;
    const float step = 0.2f;
    c.min = {1, -1, 0.5f};
    for (const point3d_t& max : {point3d_t(5, 1, 2.5f), point3d_t(401, 199, 2.5f)}) {
        const bool gridded = max.x < 10.f;
        c.max = max;
        c.edgeMode = gridded ? 0 : 1;  // rays near the large box's edge would miss its ellipsoid
        auto* v = create(c);
        ASSERT_NE(v, nullptr);
        for (int k = 0; k < 12; ++k) {
            yafaray::ray_t r;
            r.from = {0.f, -0.6f + 0.1f * k, 1.5f + 0.05f * (k - 6)};
            r.dir = yafaray::vector3d_t(1.f, 0.05f * k, 0.02f * (6 - k)).normalized();
            const float offset = 0.07f * k;
            const float expected = directMarch(*v, r, step, offset);
            const float marched = v->tau(r, step, offset).R;
            if (gridded)
                EXPECT_NEAR(marched, expected, 0.01f * expected + 1e-4f) << k;
            else
                EXPECT_FLOAT_EQ(marched, expected) << k;
        }
    }
}

TEST_F(FixedNoiseVolumeTest, PrintsItsParametersAndUsesTheDefaults) {
    Cloud c;
    ASSERT_NE(create(c), nullptr);
    ASSERT_EQ(log.count("FixedNoiseVolume vol: "), 1);
    EXPECT_EQ(log.count("sharpness 2 cover 0.8 density 3 attgridScale 2"), 1);
    EXPECT_EQ(log.count("unused parameter"), 0);
    // Defaults: sigma_a = sigma_s = 0.1, sharpness, cover and density 1, edgeMode 0, an empty box.
    scene.yi.paramsClearAll();
    scene.yi.paramsSetString("type", "FixedNoiseVolume");
    scene.yi.paramsSetString("textureName", "noise");
    auto* v = dynamic_cast<yafaray::DensityVolume*>(scene.yi.createVolumeRegion("defaults"));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->attGridX, 8);
    EXPECT_EQ(v->getBB().longX(), 0.f);
    EXPECT_EQ(v->Density({0, 0, 0}), 0.f);  // an empty box is flat
}

TEST_F(FixedNoiseVolumeTest, AMissingTextureIsReportedAndLeavesAnEmptyRegion) {
    Cloud c;
    c.textureName = "no such texture";
    auto* v = create(c);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(log.count("mytex not found"), 1);
    for (int mode : {0, 1}) {
        c.edgeMode = mode;
        auto* w = create(c);
        EXPECT_EQ(w->Density({2, 1, 1}), 0.f);
        EXPECT_EQ(w->sigma_t({2, 1, 1}, {0, 0, 1}).R, 0.f);
    }
    yafaray::ray_t r;
    r.from = {-1, 1, 1};
    r.dir = {1, 0, 0};
    EXPECT_EQ(v->tau(r, 0.1f, 0.5f).R, 0.f);
}

}  // namespace
