#include <gtest/gtest.h>

#include "EngineTestSupport.h"

namespace {

using enginetest::CapturedImage;
using enginetest::SceneBuilder;
using yafaray::point3d_t;

// Mean red value over the (2r+1)² block around (x, y).
float meanRed(const CapturedImage& img, int x, int y, int r = 1) {
    float sum = 0.f;
    int n = 0;
    for (int j = y - r; j <= y + r; ++j) {
        for (int i = x - r; i <= x + r; ++i) {
            sum += img.r(i, j);
            ++n;
        }
    }
    return sum / n;
}

// Top camera of SceneBuilder::topCamera at height 5 with focal 1 over a 50-pixel image:
// pixel column of world x on the ground.
int columnOf(float x, int w = 50, float height = 5.f) {
    return int(((x / height) + 0.5f) * w);
}

TEST(Lighting, WhiteSurfaceFacingAPowerOneSunRendersOne) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    s.quad({-3, -3, 0}, {6, 0, 0}, {0, 6, 0}, white);
    s.yi.endGeometry();
    s.topCamera(5.f, 50, 50);
    s.sun({0, 0, 1}, 1.f, 0.27f, 4);
    s.directLighting();
    const CapturedImage img = s.render(50, 50);
    EXPECT_NEAR(img.r(25, 25), 1.0f, 0.01f);
    EXPECT_NEAR(img.a(25, 25), 1.0f, 1e-6f);
}

TEST(Lighting, LambertShadingOfTwoFacesFollowsTheCosineRatio) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    // Face A faces the sun; face B is tilted so its normal is 60° from the sun direction.
    s.quad({-1.f, -0.5f, 0.f}, {0.9f, 0.f, 0.f}, {0.f, 1.f, 0.f}, white);
    const float c60 = 0.5f, s60 = std::sqrt(3.f) / 2.f;
    s.quad({0.1f, -0.5f, 0.f}, {1.6f * c60, 0.f, -1.6f * s60}, {0.f, 1.f, 0.f}, white);
    s.yi.endGeometry();
    s.topCamera(5.f, 50, 50);
    s.sun({0, 0, 1}, 2.f, 0.27f, 8);
    s.directLighting();
    const CapturedImage img = s.render(50, 50);
    const float a = meanRed(img, columnOf(-0.55f), 25);
    const float b = meanRed(img, columnOf(0.5f), 25);
    ASSERT_GT(a, 0.f);
    EXPECT_NEAR(a, 2.f, 0.04f);
    EXPECT_NEAR(b / a, 0.5f, 0.01f);
}

TEST(Lighting, PointLightFallsOffWithTheInverseSquareOfDistance) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    s.quad({-3, -3, 0}, {6, 0, 0}, {0, 6, 0}, white);
    s.yi.endGeometry();
    s.topCamera(5.f, 50, 50);
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "pointlight");
    s.yi.paramsSetPoint("from", 0, 0, 1);
    s.yi.paramsSetColor("color", 1, 1, 1, 1);
    s.yi.paramsSetFloat("power", 3.0);
    ASSERT_NE(s.yi.createLight("lamp"), nullptr);
    s.directLighting();
    const CapturedImage img = s.render(50, 50);
    for (int px : {25, 30, 35, 40, 45}) {
        const float x = 5.f * ((px + 0.5f) / 50.f - 0.5f);
        const float y = -5.f * ((25 + 0.5f) / 50.f - 0.5f);
        const float d2 = x * x + y * y + 1.f;
        const float expected = 3.f / d2 * (1.f / std::sqrt(d2));  // P/d² · cos θ
        EXPECT_NEAR(img.r(px, 25), expected, expected * 0.01f) << "column " << px;
    }
}

// Ground plus a square occluder at height 1 over x, y ∈ [-0.5, 0.5]; the sun comes from +x at 45°,
// so the left edge of the occluder throws its shadow edge onto x = -1.5.
SceneBuilder& shadowScene(SceneBuilder& s, float angle, int samples, const yafaray::material_t* occluderMat,
                          bool transpShad) {
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    s.quad({-3, -3, 0}, {6, 0, 0}, {0, 6, 0}, white);
    s.quad({-0.5f, -0.5f, 1.f}, {1, 0, 0}, {0, 1, 0}, occluderMat ? occluderMat : white);
    s.yi.endGeometry();
    s.sun({1, 0, 1}, 1.f, angle, samples);
    s.directLighting(transpShad);
    return s;
}

TEST(Lighting, PointInAnOccludersShadowReceivesNoDirectSunlight) {
    SceneBuilder s;
    shadowScene(s, 0.27f, 4, nullptr, false);
    s.topCamera(5.f, 50, 50);
    const CapturedImage img = s.render(50, 50);
    EXPECT_EQ(img.r(columnOf(-1.f), 25), 0.f);
    EXPECT_NEAR(img.r(columnOf(1.5f), 25), std::sqrt(0.5f), 0.01f);
}

int penumbraPixels(float angle) {
    SceneBuilder s;
    shadowScene(s, angle, 32, nullptr, false);
    s.topCamera(5.f, 200, 200);
    const CapturedImage img = s.render(200, 200);
    const float lit = std::sqrt(0.5f);
    int partial = 0;
    for (int x = columnOf(-2.4f, 200); x < columnOf(-0.9f, 200); ++x) {
        const float v = img.r(x, 100) / lit;
        partial += v > 0.05f && v < 0.95f;
    }
    return partial;
}

TEST(Lighting, PenumbraWidensWithTheSunAngle) {
    const int narrow = penumbraPixels(0.5f);
    const int wide = penumbraPixels(4.f);
    EXPECT_LE(narrow, 3);
    EXPECT_GE(wide, narrow + 6);
}

TEST(Lighting, TransparentOccluderLetsSunThroughOnlyWithTransparentShadows) {
    for (bool transpShad : {false, true}) {
        SceneBuilder s;
        s.yi.paramsClearAll();
        s.yi.paramsSetString("type", "shinydiffusemat");
        s.yi.paramsSetFloat("transparency", 1.0);
        s.yi.paramsSetFloat("transmit_filter", 0.0);
        auto* clear = s.yi.createMaterial("clear");
        ASSERT_NE(clear, nullptr);
        shadowScene(s, 0.27f, 4, clear, transpShad);
        s.topCamera(5.f, 50, 50);
        const CapturedImage img = s.render(50, 50);
        const float v = img.r(columnOf(-1.f), 25);
        if (transpShad) {
            EXPECT_NEAR(v, std::sqrt(0.5f), 0.01f);
        } else {
            EXPECT_EQ(v, 0.f);
        }
    }
}

TEST(Lighting, MirrorReflectsTheLitSurfaceItFaces) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "shinydiffusemat");
    s.yi.paramsSetFloat("diffuse_reflect", 0.0);
    s.yi.paramsSetFloat("specular_reflect", 1.0);
    s.yi.paramsSetColor("mirror_color", 1, 1, 1, 1);
    auto* mirror = s.yi.createMaterial("mirror");
    s.yi.startGeometry();
    // A mirror tilted 45° turns the downward view towards +x, onto a wall lit at 45° by the sun.
    s.quad({-0.25f, -0.5f, 0.25f}, {0.5f, 0.f, -0.5f}, {0.f, 1.f, 0.f}, mirror);
    s.quad({5, -5, -5}, {0, 10, 0}, {0, 0, 10}, white);
    s.yi.endGeometry();
    s.topCamera(5.f, 20, 20);
    s.sun({-1, 0, 1}, 1.f, 0.f, 1);
    s.directLighting();
    const CapturedImage img = s.render(20, 20);
    EXPECT_NEAR(img.r(10, 10), std::sqrt(0.5f), 0.01f);
    // Depth is the distance to the first surface, the mirror.
    EXPECT_LT(img.z(10, 10), 5.5f);
}

TEST(Background, MissesAreTransparentBlackWithoutABackground) {
    SceneBuilder s;
    s.yi.startGeometry();
    s.yi.endGeometry();
    s.topCamera(5.f, 10, 10);
    s.directLighting();
    const CapturedImage img = s.render(10, 10);
    EXPECT_EQ(img.r(5, 5), 0.f);
    EXPECT_EQ(img.a(5, 5), 0.f);
    EXPECT_LT(img.z(5, 5), 0.f);
}

TEST(Background, ConstantAndGradientBackgroundsColourMisses) {
    SceneBuilder s;
    s.yi.startGeometry();
    s.yi.endGeometry();
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "constant");
    s.yi.paramsSetColor("color", 0.2f, 0.4f, 0.6f, 1.f);
    ASSERT_NE(s.yi.createBackground("flat"), nullptr);
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "gradientback");
    s.yi.paramsSetColor("zenith_color", 0.1f, 0.2f, 0.9f, 1.f);
    s.yi.paramsSetColor("horizon_color", 0.9f, 0.9f, 0.9f, 1.f);
    ASSERT_NE(s.yi.createBackground("gradient"), nullptr);
    // Looking straight up: the centre of the image sees the zenith.
    s.camera("perspective", {0, 0, 0}, {0, 0, 1}, {0, 1, 0}, 11, 11);
    s.directLighting();
    SceneBuilder::RenderOptions o;
    o.background = "flat";
    CapturedImage img = s.render(11, 11, o);
    EXPECT_NEAR(img.r(5, 5), 0.2f, 1e-5f);
    EXPECT_NEAR(img.channel(5, 5, 2), 0.6f, 1e-5f);
    EXPECT_EQ(img.a(5, 5), 1.f);
    o.background = "gradient";
    img = s.render(11, 11, o);
    EXPECT_NEAR(img.r(5, 5), 0.1f, 1e-3f);
    EXPECT_NEAR(img.channel(5, 5, 2), 0.9f, 1e-3f);
    // Towards the image edge the view tilts towards the horizon and the colour follows.
    EXPECT_GT(img.r(0, 5), img.r(5, 5));
}

}  // namespace
