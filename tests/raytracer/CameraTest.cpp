#include <gtest/gtest.h>

#include "EngineTestSupport.h"

namespace {

using enginetest::CapturedImage;
using enginetest::SceneBuilder;
using yafaray::point3d_t;

// A tiny square centred on `to`, facing the camera at `from`.
void targetAt(SceneBuilder& s, const point3d_t& from, const point3d_t& to, float size) {
    const yafaray::vector3d_t view = (to - from).normalized();
    yafaray::vector3d_t u, v;
    yafaray::createCS(view, u, v);
    auto* white = s.diffuse("target");
    s.yi.startGeometry();
    s.quad(to - u * (size / 2) - v * (size / 2), u * size, v * size, white);
    s.yi.endGeometry();
}

TEST(Camera, ToPointProjectsToTheImageCentreForEveryCameraType) {
    const point3d_t from(3.f, -4.f, 2.f), to(0.5f, 1.f, 0.3f), up(3.f, -4.f, 3.f);
    const float distance = (to - from).length();
    for (const char* type : {"perspective", "architect", "angular", "orthographic"}) {
        SceneBuilder s;
        targetAt(s, from, to, 0.02f);
        s.camera(type, from, to, up, 33, 33);
        s.directLighting();
        const CapturedImage img = s.render(33, 33);
        EXPECT_NEAR(img.z(16, 16), distance, distance * 1e-3f) << type;
        EXPECT_EQ(img.a(16, 16), 1.f) << type;
        // The target is smaller than a pixel: the neighbours see nothing.
        for (auto [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
            EXPECT_LT(img.z(16 + dx, 16 + dy), 0.f) << type << " at " << dx << "," << dy;
        }
    }
}

TEST(Camera, UpPointPutsWorldUpAtTheTopOfTheImage) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    // A wall ahead that exists only above eye height.
    s.quad({-10, 5, 0.5f}, {20, 0, 0}, {0, 0, 10}, white);
    s.yi.endGeometry();
    s.camera("perspective", {0, 0, 0}, {0, 1, 0}, {0, 0, 1}, 21, 21);
    s.directLighting();
    const CapturedImage img = s.render(21, 21);
    EXPECT_GT(img.z(10, 2), 0.f);
    EXPECT_LT(img.z(10, 18), 0.f);
}

TEST(Camera, DepthChannelMatchesTheDistanceToAPlane) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    s.quad({-50, -50, 0}, {100, 0, 0}, {0, 100, 0}, white);
    s.yi.endGeometry();
    const float h = 7.f, focal = 0.8f;
    const int w = 41, hgt = 31;
    s.topCamera(h, w, hgt, focal);
    s.directLighting();
    const CapturedImage img = s.render(w, hgt);
    const float aspect = float(hgt) / float(w);
    for (int py = 0; py < hgt; py += 5) {
        for (int px = 0; px < w; px += 5) {
            // A pinhole ray through the pixel centre meets the plane after h·|dir|/focal.
            const float ox = (px + 0.5f) / w - 0.5f, oy = aspect * ((py + 0.5f) / hgt - 0.5f);
            const float expected = h * std::sqrt(focal * focal + ox * ox + oy * oy) / focal;
            EXPECT_NEAR(img.z(px, py), expected, expected * 1e-3f) << px << "," << py;
        }
    }
}

TEST(Camera, OrthographicDepthIsConstantOverAPlaneFacingIt) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    s.quad({-50, -50, 0}, {100, 0, 0}, {0, 100, 0}, white);
    s.yi.endGeometry();
    s.camera("orthographic", {1, 2, 6}, {1, 2, 0}, {1, 3, 6}, 16, 16,
             [&] { s.yi.paramsSetFloat("scale", 4.0); });
    s.directLighting();
    const CapturedImage img = s.render(16, 16);
    for (int p : {0, 5, 15}) EXPECT_NEAR(img.z(p, 15 - p), 6.f, 6e-3f);
}

TEST(Camera, AngularCameraLeavesPixelsOutsideItsCircleEmpty) {
    SceneBuilder s;
    s.yi.startGeometry();
    s.yi.endGeometry();
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "constant");
    s.yi.paramsSetColor("color", 1, 1, 1, 1);
    s.yi.createBackground("bg");
    s.camera("angular", {0, 0, 0}, {0, 1, 0}, {0, 0, 1}, 20, 20);
    s.directLighting();
    SceneBuilder::RenderOptions o;
    o.background = "bg";
    const CapturedImage img = s.render(20, 20, o);
    EXPECT_EQ(img.a(10, 10), 1.f);
    EXPECT_EQ(img.a(0, 0), 0.f);
    EXPECT_EQ(img.r(19, 19), 0.f);
}

}  // namespace
