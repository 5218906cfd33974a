#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "raytracer/core/Scene.h"

namespace {

using enginetest::CapturedImage;
using enginetest::SceneBuilder;

TEST(Geometry, ThousandsOfTinyMeshesShareOneEmbreeGeometry) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    constexpr int kCells = 100;
    for (int j = 0; j < kCells; ++j) {
        for (int i = 0; i < kCells; ++i) {
            const float x = -1.f + 2.f * i / kCells, y = -1.f + 2.f * j / kCells;
            s.quad({x, y, 0}, {2.f / kCells, 0, 0}, {0, 2.f / kCells, 0}, white);
        }
    }
    ASSERT_TRUE(s.yi.endGeometry());
    EXPECT_EQ(s.yi.scene().meshCount(), size_t(kCells * kCells));
    EXPECT_EQ(s.yi.scene().triangleCount(), size_t(2 * kCells * kCells));
    EXPECT_EQ(s.yi.scene().geometryCount(), 1u);
    s.topCamera(1.f, 20, 20);  // sees x, y ∈ [-0.5, 0.5]: all inside the tiled square
    s.sun({0, 0, 1});
    s.directLighting();
    const CapturedImage img = s.render(20, 20);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) ASSERT_NEAR(img.r(x, y), 1.f, 0.01f) << x << "," << y;
    }
}

TEST(Geometry, InvisibleMeshIsNotHitByRays) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    s.quad({-5, -5, 0}, {10, 0, 0}, {0, 10, 0}, white, 0x100);
    s.yi.endGeometry();
    s.topCamera(3.f, 8, 8);
    s.directLighting();
    const CapturedImage img = s.render(8, 8);
    EXPECT_LT(img.z(4, 4), 0.f);
}

TEST(Geometry, MeshCallsAreRefusedOutsideTheirState) {
    SceneBuilder s;
    enginetest::LogCapture log;
    unsigned int id = 0;
    EXPECT_FALSE(s.yi.startTriMesh(id, 3, 1, false, false, 0));  // before startGeometry
    EXPECT_EQ(s.yi.addVertex(0, 0, 0), -1);
    ASSERT_TRUE(s.yi.startGeometry());
    ASSERT_TRUE(s.yi.startTriMesh(id, 3, 1, false, false, 0));
    EXPECT_NE(id, 0u);
    EXPECT_EQ(s.yi.addVertex(0, 0, 0), 0);
    EXPECT_EQ(s.yi.addVertex(1, 0, 0), 1);
    EXPECT_EQ(s.yi.addVertex(0, 1, 0), 2);
    EXPECT_FALSE(s.yi.addTriangle(0, 1, 3, nullptr));
    EXPECT_FALSE(s.yi.addTriangle(0, 1, 2, 0, 1, 2, nullptr));  // no UVs were added
    EXPECT_TRUE(s.yi.addTriangle(0, 1, 2, nullptr));
    EXPECT_FALSE(s.yi.smoothMesh(0, 30));  // the mesh is still open
    EXPECT_TRUE(s.yi.endTriMesh());
    EXPECT_TRUE(s.yi.smoothMesh(0, 30));
    EXPECT_TRUE(s.yi.smoothMesh(id, 30));
    EXPECT_FALSE(s.yi.smoothMesh(12345, 30));
    EXPECT_TRUE(s.yi.endGeometry());
    EXPECT_EQ(s.yi.scene().triangleCount(), 1u);
}

// A roof of two faces whose normals are 90° apart, each of two triangles, seen from above with
// the sun overhead. Returns the brightness along the middle row.
std::vector<float> roofRow(double smoothAngle) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    unsigned int id = 0;
    s.yi.startTriMesh(id, 6, 4, false, false, 0);
    s.yi.addVertex(-1, -1, 0);  // 0 left eave
    s.yi.addVertex(-1, 1, 0);   // 1
    s.yi.addVertex(0, -1, 1);   // 2 ridge
    s.yi.addVertex(0, 1, 1);    // 3
    s.yi.addVertex(1, -1, 0);   // 4 right eave
    s.yi.addVertex(1, 1, 0);    // 5
    s.yi.addTriangle(0, 2, 3, white);
    s.yi.addTriangle(0, 3, 1, white);
    s.yi.addTriangle(2, 4, 5, white);
    s.yi.addTriangle(2, 5, 3, white);
    s.yi.endTriMesh();
    EXPECT_TRUE(s.yi.smoothMesh(0, smoothAngle));
    s.yi.endGeometry();
    s.topCamera(5.f, 50, 50);
    s.sun({0, 0, 1}, 1.f, 0.f, 1);
    s.directLighting();
    const CapturedImage img = s.render(50, 50);
    std::vector<float> row;
    // Columns over x ∈ (-1, 1) on the ground; the roof is seen a little wider than that.
    for (int x = 17; x < 33; ++x) row.push_back(img.r(x, 25));
    return row;
}

TEST(Geometry, SmoothMeshAveragesNormalsOnlyWithinTheAngle) {
    const float flat = std::sqrt(0.5f);
    for (float v : roofRow(30.0)) EXPECT_NEAR(v, flat, 0.01f);
    for (float v : roofRow(0.0)) EXPECT_NEAR(v, flat, 0.01f);
    const std::vector<float> smooth = roofRow(180.0);
    // Towards the ridge the shading normal turns to the sun; at the eaves it stays the face's.
    const float nearRidge = std::max(smooth[7], smooth[8]);
    EXPECT_GT(nearRidge, 0.9f);
    for (size_t i = 0; i + 1 < smooth.size() / 2; ++i) EXPECT_LT(smooth[i], smooth[i + 1]) << i;
    for (size_t i = smooth.size() / 2; i + 1 < smooth.size(); ++i) EXPECT_GT(smooth[i], smooth[i + 1]) << i;
    EXPECT_LT(smooth.front(), nearRidge - 0.1f);
}

}  // namespace
