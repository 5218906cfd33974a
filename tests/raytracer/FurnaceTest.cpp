#include <gtest/gtest.h>

#include <cmath>

#include "EngineTestSupport.h"

namespace {

using enginetest::CapturedImage;
using enginetest::SceneBuilder;
using yafaray::point3d_t;

// A flat-shaded sphere: a convex body never sees itself, so under a uniform sky every point
// reflects exactly albedo × sky.
void sphere(SceneBuilder& s, const point3d_t& c, float radius, const yafaray::material_t* mat) {
    constexpr int kRings = 48, kSegments = 96;
    unsigned int id = 0;
    s.yi.startTriMesh(id, kRings * kSegments, 2 * kRings * kSegments, false);
    for (int i = 0; i <= kRings; ++i) {
        const float theta = yafaray::kPi * i / kRings;
        for (int j = 0; j < kSegments; ++j) {
            const float phi = 2.f * yafaray::kPi * j / kSegments;
            s.yi.addVertex(c.x + radius * std::sin(theta) * std::cos(phi),
                           c.y + radius * std::sin(theta) * std::sin(phi), c.z + radius * std::cos(theta));
        }
    }
    for (int i = 0; i < kRings; ++i) {
        for (int j = 0; j < kSegments; ++j) {
            const int a = i * kSegments + j, b = i * kSegments + (j + 1) % kSegments;
            const int cc = a + kSegments, d = b + kSegments;
            if (i > 0) s.yi.addTriangle(a, cc, b, mat);
            if (i + 1 < kRings) s.yi.addTriangle(b, cc, d, mat);
        }
    }
    s.yi.endTriMesh();
}

void pathTracing(SceneBuilder& s, int samples, int bounces, bool useBackground) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "pathtracing");
    s.yi.paramsSetBool("transpShad", true);
    s.yi.paramsSetBool("use_background", useBackground);
    s.yi.paramsSetInt("raydepth", 5);
    s.yi.paramsSetInt("shadowDepth", 5);
    s.yi.paramsSetInt("bounces", bounces);
    s.yi.paramsSetInt("path_samples", samples);
    s.yi.createIntegrator("surfaceIntegrator");
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "none");
    s.yi.createIntegrator("volumeIntegrator");
}

void constantBackground(SceneBuilder& s, float value) {
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "constant");
    s.yi.paramsSetColor("color", value, value, value, 1.f);
    s.yi.createBackground("world_background");
}

TEST(Furnace, DiffuseSphereUnderAUniformSkyConvergesToItsAlbedo) {
    SceneBuilder s;
    auto* grey = s.diffuse("grey", 0.8f, 0.8f, 0.8f);
    s.yi.startGeometry();
    sphere(s, {0, 0, 0}, 1.f, grey);
    s.yi.endGeometry();
    s.camera("perspective", {0, -4, 0}, {0, 0, 0}, {0, -4, 1}, 32, 32);
    constantBackground(s, 1.5f);
    pathTracing(s, 16, 3, true);
    SceneBuilder::RenderOptions o;
    o.background = "world_background";
    o.minSamples = 4;
    const CapturedImage img = s.render(32, 32, o);
    // The disc of the sphere (radius ≈ 7 pixels at focal 1 and distance 4) against the sky.
    double sum = 0;
    int n = 0;
    for (int y = 12; y < 20; ++y) {
        for (int x = 12; x < 20; ++x) {
            sum += img.r(x, y);
            ++n;
        }
    }
    EXPECT_NEAR(sum / n / (0.8 * 1.5), 1.0, 0.02);
    EXPECT_NEAR(img.r(1, 1), 1.5f, 1e-4f);
}

TEST(Furnace, WithoutUseBackgroundTheSkyLightsNothing) {
    SceneBuilder s;
    auto* grey = s.diffuse("grey", 0.8f, 0.8f, 0.8f);
    s.yi.startGeometry();
    sphere(s, {0, 0, 0}, 1.f, grey);
    s.yi.endGeometry();
    s.camera("perspective", {0, -4, 0}, {0, 0, 0}, {0, -4, 1}, 16, 16);
    constantBackground(s, 1.f);
    pathTracing(s, 4, 3, false);
    SceneBuilder::RenderOptions o;
    o.background = "world_background";
    const CapturedImage img = s.render(16, 16, o);
    EXPECT_NEAR(img.r(8, 8), 0.f, 1e-6f);
}

// A white floor, |x|, |y| ≤ 3, and a white wall along x = 0.5 (|y| ≤ 3, 0 ≤ z ≤ 3) that reflects
// sunlight onto the floor beside it, seen from above (40 × 40 pixels over 5 × 5 units).
void floorAndWall(SceneBuilder& s, const yafaray::vector3d_t& towardsSun) {
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    s.quad({-3, -3, 0}, {6, 0, 0}, {0, 6, 0}, white);
    s.quad({0.5f, -3, 0}, {0, 6, 0}, {0, 0, 3}, white);
    s.yi.endGeometry();
    s.topCamera(5.f, 40, 40);
    s.sun(towardsSun, 1.f, 0.f, 1);
}

TEST(PathTracing, WhitePlaneUnderAPowerOneSunRendersOneAndBouncesAddLightInACorner) {
    SceneBuilder s;
    floorAndWall(s, {0, 0, 1});
    pathTracing(s, 32, 2, false);
    const CapturedImage img = s.render(40, 40);
    // Every floor point gets the sun's 1.0 plus what the lit wall sends, more the closer it is.
    EXPECT_GT(img.r(4, 20), 1.f);
    EXPECT_GT(img.r(18, 20), img.r(4, 20) + 0.05f);
    EXPECT_LT(img.r(18, 20), 2.f);
}

}  // namespace

namespace {

// The share of a floor point's hemisphere, cosine-weighted, that the wall x = 0.5, |y| ≤ 3,
// 0 ≤ z ≤ 3 fills (its view factor), for a point at (x, 0, 0): ∫ cos θ_floor cos θ_wall / (π r²) dA.
double wallViewFactor(double x) {
    const double d = 0.5 - x;
    constexpr int kCells = 300;
    double sum = 0.0;
    for (int i = 0; i < kCells; ++i) {
        const double y = -3.0 + 6.0 * (i + 0.5) / kCells;
        for (int j = 0; j < kCells; ++j) {
            const double z = 3.0 * (j + 0.5) / kCells, r2 = d * d + y * y + z * z;
            sum += z * d / (M_PI * r2 * r2);
        }
    }
    return sum * (6.0 / kCells) * (3.0 / kCells);
}

// The direct renderer's one-bounce option: a floor beside a sunlit white wall gets the sun plus
// the wall's radiance times the wall's view factor; without it, the sun alone.
TEST(DirectLighting, OneBounceAddsTheLightOfASunlitWall) {
    for (bool bounce : {false, true}) {
        SceneBuilder s;
        // From −x at 45°: the floor left of the wall and the wall's face towards it get cos 45°.
        floorAndWall(s, {-1, 0, 1});
        s.yi.paramsClearAll();
        s.yi.paramsSetString("type", "directlighting");
        s.yi.paramsSetInt("raydepth", 5);
        s.yi.paramsSetBool("indirect_bounce", bounce);
        s.yi.createIntegrator("surfaceIntegrator");
        s.yi.paramsClearAll();
        s.yi.paramsSetString("type", "none");
        s.yi.createIntegrator("volumeIntegrator");
        SceneBuilder::RenderOptions many;
        many.minSamples = 256;
        const CapturedImage img = s.render(40, 40, many);
        const float sun = std::sqrt(0.5f);
        for (int column : {2, 10, 18}) {
            // Rows 16–23, near y = 0, averaged to keep the noise low; column c sees x = (c + ½)/8 − 2.5.
            float mean = 0.f;
            for (int y = 16; y < 24; ++y) mean += img.r(column, y) / 8.f;
            const double x = (column + 0.5) / 8.0 - 2.5;
            const float expected = bounce ? float(sun * (1.0 + wallViewFactor(x))) : sun;
            EXPECT_NEAR(mean, expected, 0.015f * expected) << "column " << column << " bounce " << bounce;
        }
    }
}

}  // namespace
