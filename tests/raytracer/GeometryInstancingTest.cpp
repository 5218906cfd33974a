#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "EngineTestSupport.h"
#include "raytracer/core/GeometryCache.h"
#include "raytracer/core/Scene.h"

namespace {

using enginetest::SceneBuilder;
using yafaray::point3d_t;
using yafaray::vector3d_t;

// A dome of rings around the origin, as the mesh objects add theirs: one UV per vertex, two
// materials, smoothed at 40°. Each vertex is placed by `place` (object space to world).
template <typename Place>
void addDome(SceneBuilder& s, const yafaray::material_t* side, const yafaray::material_t* top, Place&& place) {
    constexpr int kRing = 12, kLevels = 4;
    unsigned int id = 0;
    s.yi.startTriMesh(id, 0, 0, false, true, 0);
    for (int j = 0; j <= kLevels; ++j) {
        const float h = float(j) / kLevels, r = std::cos(1.4f * h);
        for (int k = 0; k < kRing; ++k) {
            const float a = 2.f * float(M_PI) * k / kRing;
            const point3d_t p = place(point3d_t(r * std::cos(a), r * std::sin(a), h));
            s.yi.addVertex(p.x, p.y, p.z);
            s.yi.addUV(float(k) / kRing, h);
        }
    }
    for (int j = 0; j < kLevels; ++j) {
        for (int k = 0; k < kRing; ++k) {
            const int a = j * kRing + k, b = j * kRing + (k + 1) % kRing;
            const auto* mat = j + 1 == kLevels ? top : side;
            s.yi.addTriangle(a, b, b + kRing, a, b, b + kRing, mat);
            s.yi.addTriangle(a, b + kRing, a + kRing, a, b + kRing, a + kRing, mat);
        }
    }
    s.yi.endTriMesh();
    s.yi.smoothMesh(id, 40);
}

// Rotation by `turn` about z, uniform scale and a shift along x.
struct placement_t {
    float turn, scale, shift;
    point3d_t operator()(const point3d_t& p) const {
        const float c = std::cos(turn), s = std::sin(turn);
        return {scale * (c * p.x - s * p.y) + shift, scale * (s * p.x + c * p.y), scale * p.z};
    }
    vector3d_t rotate(const vector3d_t& v) const {
        const float c = std::cos(turn), s = std::sin(turn);
        return {c * v.x - s * v.y, s * v.x + c * v.y, v.z};
    }
};

yafaray::surfacePoint_t hit(const SceneBuilder& s, const point3d_t& from, const vector3d_t& dir) {
    yafaray::surfacePoint_t sp;
    float t = 0.f;
    EXPECT_TRUE(s.yi.scene().intersect(yafaray::ray_t{from, dir}, sp, t));
    return sp;
}

void expectNear(const vector3d_t& a, const vector3d_t& b, float tolerance) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

TEST(GeometryInstancing, RepeatedMeshIsSharedAndShadesAsItsOwnCopyWould) {
    SceneBuilder s;
    auto* side = s.diffuse("side");
    auto* top = s.diffuse("top");
    auto* side2 = s.diffuse("side2");
    auto* top2 = s.diffuse("top2");
    const placement_t first{0.f, 1.f, 0.f}, copy{0.7f, 1.5f, 5.f}, third{-0.3f, 0.8f, 10.f};
    const placement_t stretched{0.f, 1.f, -5.f};
    s.yi.startGeometry();
    addDome(s, side, top, first);
    addDome(s, side2, top2, copy);
    addDome(s, side, top, third);
    // Stretched along x: angles change, so it cannot share the smoothed shape.
    addDome(s, side, top, [&](const point3d_t& p) { return stretched(point3d_t(2.f * p.x, p.y, p.z)); });
    ASSERT_TRUE(s.yi.endGeometry());
    const yafaray::scene_t& scene = s.yi.scene();
    EXPECT_EQ(scene.meshCount(), 4u);
    EXPECT_EQ(scene.repeatedMeshCount(), 2u);
    EXPECT_EQ(scene.triangleCount(), 4u * 96u);

    // A ray at the first dome and the same ray carried onto the second copy meet the same point
    // of the shape: same UVs, the copy's own materials, normals rotated with it.
    for (const auto& [from, dir] : {std::pair{point3d_t(0.3f, -3.f, 0.4f), vector3d_t(0, 1, 0)},
                                    std::pair{point3d_t(0.2f, 0.1f, 3.f), vector3d_t(0, 0, -1)}}) {
        const yafaray::surfacePoint_t a = hit(s, from, dir);
        const yafaray::surfacePoint_t b = hit(s, copy(from), copy.rotate(dir));
        expectNear(b.P, copy(a.P), 1e-4f);
        expectNear(b.N, copy.rotate(a.N), 1e-4f);
        expectNear(b.Ng, copy.rotate(a.Ng), 1e-4f);
        EXPECT_NEAR(b.u, a.u, 1e-4f);
        EXPECT_NEAR(b.v, a.v, 1e-4f);
        EXPECT_EQ(b.material, a.material == side ? side2 : top2);
        // Smoothing took effect: the shading normal leaves the face normal.
        EXPECT_LT(yafaray::dot(a.N, a.Ng), 0.9999f);
    }
}

TEST(GeometryInstancing, UnchangedShapesAreReusedByTheNextRenderAndChangedOnesRebuilt) {
    yafaray::GeometryCache::shared().clear();
    SceneBuilder s;
    const yafaray::material_t* white = nullptr;
    auto build = [&](float shift) {
        white = s.diffuse("white");
        s.yi.startGeometry();
        // A ground mesh of many cells: large enough to be a shape of its own.
        constexpr int kCells = 48;
        unsigned int id = 0;
        s.yi.startTriMesh(id, 0, 0, false, false, 0);
        for (int j = 0; j <= kCells; ++j) {
            for (int i = 0; i <= kCells; ++i) s.yi.addVertex(-20. + 40. * i / kCells, -20. + 40. * j / kCells, -1);
        }
        for (int j = 0; j < kCells; ++j) {
            for (int i = 0; i < kCells; ++i) {
                const int a = j * (kCells + 1) + i;
                s.yi.addTriangle(a, a + 1, a + kCells + 2, white);
                s.yi.addTriangle(a, a + kCells + 2, a + kCells + 1, white);
            }
        }
        s.yi.endTriMesh();
        addDome(s, white, white, [&](const point3d_t& p) { return point3d_t(p.x * 2.f + shift, p.y, p.z); });
        EXPECT_TRUE(s.yi.endGeometry());
    };
    build(10.f);
    const size_t shapes = s.yi.scene().shapeCount();
    EXPECT_EQ(shapes, 2u);
    EXPECT_EQ(s.yi.scene().reusedShapeCount(), 0u);
    const yafaray::surfacePoint_t before = hit(s, {10.2f, 0.1f, 3.f}, {0, 0, -1});

    s.yi.clearAll();
    build(10.f);
    EXPECT_EQ(s.yi.scene().shapeCount(), shapes);
    EXPECT_EQ(s.yi.scene().reusedShapeCount(), shapes);
    const yafaray::surfacePoint_t after = hit(s, {10.2f, 0.1f, 3.f}, {0, 0, -1});
    expectNear(after.P, before.P, 0.f);
    expectNear(after.N, before.N, 0.f);
    EXPECT_EQ(after.material, white);  // this render's material, not the last one's
    EXPECT_EQ(hit(s, {0.f, 0.f, 3.f}, {0, 0, -1}).material, white);

    s.yi.clearAll();
    build(11.f);  // the dome moved: its shape is built again, the ground is reused
    EXPECT_EQ(s.yi.scene().reusedShapeCount(), 1u);
    expectNear(hit(s, {11.2f, 0.1f, 3.f}, {0, 0, -1}).P, before.P + vector3d_t(1, 0, 0), 1e-5f);
}

}  // namespace
