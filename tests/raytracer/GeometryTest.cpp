#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "EngineTestSupport.h"
#include "raytracer/core/Scene.h"

namespace {

using enginetest::CapturedImage;
using enginetest::SceneBuilder;
using yafaray::surfacePoint_t;

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

// A fan of `segments` triangles around one centre vertex at height `apex` over a unit circle,
// smoothed at 40°. Returns the comparisons smoothing made.
size_t smoothedFan(SceneBuilder& s, int segments, float apex, const yafaray::material_t* mat) {
    unsigned int id = 0;
    s.yi.startTriMesh(id, segments + 1, segments, false, false, 0);
    s.yi.addVertex(0, 0, apex);
    for (int i = 0; i < segments; ++i) {
        const double a = 2.0 * M_PI * i / segments;
        s.yi.addVertex(std::cos(a), std::sin(a), 0);
    }
    for (int i = 0; i < segments; ++i) s.yi.addTriangle(0, 1 + i, 1 + (i + 1) % segments, mat);
    s.yi.endTriMesh();
    EXPECT_TRUE(s.yi.smoothMesh(0, 40));
    return s.yi.scene().smoothingComparisons();
}

TEST(Geometry, SmoothingCostIsLinearInTheFacesHoweverManyShareAVertex) {
    constexpr int kSegments = 100000;
    // Bounded per face; comparing every face around the centre with every other would be 10^10.
    constexpr size_t kPerFace = 20;
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    EXPECT_LE(smoothedFan(s, kSegments, 0.f, white), kPerFace * kSegments);  // a flat disc
    ASSERT_TRUE(s.yi.endGeometry());
    // The disc is still shaded flat: a ray near its centre sees the face normal.
    yafaray::surfacePoint_t sp;
    float t = 0.f;
    const yafaray::ray_t down{yafaray::point3d_t(0.01f, 0.02f, 1.f), yafaray::vector3d_t(0, 0, -1)};
    ASSERT_TRUE(s.yi.scene().intersect(down, sp, t));
    EXPECT_NEAR(sp.N.z, 1.f, 1e-5f);

    SceneBuilder cones;
    cones.yi.startGeometry();
    EXPECT_LE(smoothedFan(cones, kSegments, 0.5f, white), kPerFace * kSegments);  // a cone
    EXPECT_GE(smoothedFan(cones, 48, 0.5f, white), 48u * 48u);  // a quiet centre: face by face
    EXPECT_TRUE(cones.yi.endGeometry());
}

TEST(Geometry, DegenerateTrianglesAreDroppedAtBuildWithOneLogLine) {
    SceneBuilder s;
    enginetest::LogCapture log;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    unsigned int id = 0;
    constexpr int kDegenerate = 300000;
    s.yi.startTriMesh(id, 5, kDegenerate + 1, false, false, 0);
    s.yi.addVertex(0, 0, 0);
    s.yi.addVertex(1, 0, 0);
    s.yi.addVertex(2, 0, 0);  // on the line through the first two
    s.yi.addVertex(0, 1, 0);
    s.yi.addVertex(std::nanf(""), 1, 0);
    int kept = 0;
    for (int i = 0; i < kDegenerate; ++i) {
        switch (i % 3) {
            case 0: kept += s.yi.addTriangle(0, 0, 1, white); break;  // a repeated vertex
            case 1: kept += s.yi.addTriangle(0, 1, 2, white); break;  // no area
            default: kept += s.yi.addTriangle(0, 1, 4, white); break;  // not finite
        }
    }
    EXPECT_TRUE(s.yi.addTriangle(0, 1, 3, white));
    s.yi.endTriMesh();
    EXPECT_TRUE(s.yi.smoothMesh(0, 40));
    EXPECT_LE(s.yi.scene().smoothingComparisons(), 20u);
    ASSERT_TRUE(s.yi.endGeometry());
    EXPECT_EQ(kept, 0);
    EXPECT_EQ(s.yi.scene().triangleCount(), 1u);
    EXPECT_EQ(log.count("300000 degenerate triangles dropped"), 1);
}

// Neighbouring triangles are stored in pairs (Embree quads), turned to fit; a hit must still
// interpolate each triangle's own corners. Squares split along either diagonal, with their two
// triangles given in every corner order, plus a third triangle that has no partner; UVs equal to
// the vertices' (x, y), named per corner (first mesh of each square) or by vertex index (second).
TEST(Geometry, PairedTrianglesInterpolateTheirOwnCornersWhateverTheOrderGiven) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    s.yi.startGeometry();
    std::vector<std::pair<float, float>> probes;
    int square = 0;
    for (int turnA = 0; turnA < 3; ++turnA) {
        for (int turnB = 0; turnB < 3; ++turnB) {
            for (int diagonal = 0; diagonal < 2; ++diagonal) {
                for (int perVertexUV = 0; perVertexUV < 2; ++perVertexUV, ++square) {
                    const float x0 = 2.f * square, y0 = 0.f;
                    const float xs[5] = {x0, x0 + 1, x0 + 1, x0, x0 + 1.5f};
                    const float ys[5] = {y0, y0, y0 + 1, y0 + 1, y0 + 0.5f};
                    unsigned int id = 0;
                    s.yi.startTriMesh(id, 5, 3, false, true, 0);
                    for (int v = 0; v < 5; ++v) s.yi.addVertex(xs[v], ys[v], 0);
                    // UVs listed backwards unless they follow the vertices.
                    for (int v = 0; v < 5; ++v) {
                        const int of = perVertexUV ? v : 4 - v;
                        s.yi.addUV(xs[of], ys[of]);
                    }
                    auto uvOf = [&](int v) { return perVertexUV ? v : 4 - v; };
                    auto add = [&](std::array<int, 3> t, int turn) {
                        std::rotate(t.begin(), t.begin() + turn, t.end());
                        s.yi.addTriangle(t[0], t[1], t[2], uvOf(t[0]), uvOf(t[1]), uvOf(t[2]), white);
                    };
                    add(diagonal ? std::array<int, 3>{0, 1, 2} : std::array<int, 3>{0, 1, 3}, turnA);
                    add(diagonal ? std::array<int, 3>{0, 2, 3} : std::array<int, 3>{1, 2, 3}, turnB);
                    add({1, 4, 2}, 0);  // shares edge 1–2 but its neighbour is already paired
                    s.yi.endTriMesh();
                    for (float fx : {0.2f, 0.8f}) {
                        for (float fy : {0.1f, 0.3f, 0.7f, 0.9f}) probes.emplace_back(x0 + fx, y0 + fy);
                    }
                    probes.emplace_back(x0 + 1.2f, y0 + 0.5f);
                }
            }
        }
    }
    ASSERT_TRUE(s.yi.endGeometry());
    EXPECT_EQ(s.yi.scene().triangleCount(), size_t(3 * square));
    for (const auto& [x, y] : probes) {
        surfacePoint_t sp;
        ASSERT_TRUE(enginetest::hitFromAbove(s.yi.scene(), x, y, sp)) << x << "," << y;
        ASSERT_TRUE(sp.hasUV);
        EXPECT_NEAR(sp.u, x, 1e-4f) << x << "," << y;
        EXPECT_NEAR(sp.v, y, 1e-4f) << x << "," << y;
        EXPECT_NEAR(sp.P.x, x, 1e-4f);
        EXPECT_NEAR(sp.P.y, y, 1e-4f);
        EXPECT_NEAR(std::fabs(sp.Ng.z), 1.f, 1e-5f);
    }
}

}  // namespace
