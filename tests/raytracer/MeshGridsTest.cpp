#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "EngineTestSupport.h"
#include "raytracer/core/MeshShape.h"
#include "raytracer/core/Scene.h"

namespace {

using enginetest::SceneBuilder;
using yafaray::meshShape_t;
using yafaray::point3d_t;
using yafaray::surfacePoint_t;
using yafaray::vector3d_t;

// Adds a ring-built dome as the rocks layer does: rings of `ring` vertices, quads between
// neighbouring rings given as two triangles each (the last of a ring closing it), the top ring
// gathered into one point so that the second triangle of each top quad has no area and is left
// out as the engine leaves out degenerate triangles. The second triangle of quad `holeAt` of the
// dome (-1: none) is left out too, a hole in the surface.
void addDome(meshShape_t& shape, float cx, float cy, int ring, int levels, bool topAtOnePoint, uint16_t slot,
             int holeAt = -1) {
    const auto base = uint32_t(shape.vertices.size());
    const auto pairFrom = uint32_t(shape.triangleSlots());
    for (int j = 0; j <= levels; ++j) {
        const float w = topAtOnePoint && j == levels ? 0.f : 1.f - 0.8f * float(j) / float(levels);
        for (int k = 0; k < ring; ++k) {
            const float a = 6.2831853f * float(k) / float(ring);
            shape.vertices.push_back(point3d_t(cx + w * std::cos(a), cy + w * std::sin(a), float(j)));
            shape.uvs.push_back({float(k), float(j)});
        }
    }
    for (int j = 0; j < levels; ++j) {
        for (int k = 0; k < ring; ++k) {
            const uint32_t p = base + uint32_t(j * ring + k), pn = base + uint32_t(j * ring + (k + 1) % ring);
            const uint32_t c = p + uint32_t(ring), cn = pn + uint32_t(ring);
            auto add = [&](uint32_t a, uint32_t b, uint32_t d) {
                const vector3d_t n =
                    cross(shape.vertices[b] - shape.vertices[a], shape.vertices[d] - shape.vertices[a]);
                if (n.lengthSqr() > 0.f)
                    shape.addTriangle(a, b, d, int32_t(a), int32_t(b), int32_t(d), slot, pairFrom);
            };
            add(p, pn, c);
            if (j * ring + k != holeAt) add(pn, cn, c);
        }
    }
}

// Sealing takes the grid-shaped quads out of the listed ones; every triangle must keep its
// corners, its holes and its quad's listed position, whether its quad went to a grid or not.
TEST(MeshGrids, SealedShapeKeepsEveryTriangleWhereverItsQuadWent) {
    meshShape_t shape;
    addDome(shape, 0, 0, 13, 7, true, 0);
    addDome(shape, 5, 0, 4, 2, true, 1);    // another material
    addDome(shape, 10, 0, 9, 5, false, 0);  // open top: no holes
    addDome(shape, 15, 0, 6, 4, true, 0);
    // A hole in a dome's side: a grid would fill it, so its quad must stay listed.
    const size_t holedFrom = shape.quadCount();
    addDome(shape, 20, 0, 8, 3, true, 0, 8 + 2);
    // Loose triangles of no layout.
    std::mt19937 rng(3);
    for (int i = 0; i < 40; ++i) {
        const auto n = uint32_t(shape.vertices.size());
        for (int k = 0; k < 3; ++k) {
            shape.vertices.push_back(point3d_t(float(rng() % 100), float(rng() % 100), float(rng() % 100)));
            shape.uvs.push_back({0.f, 0.f});
        }
        shape.addTriangle(n, n + 1, n + 2, int32_t(n), int32_t(n + 1), int32_t(n + 2), 0,
                          uint32_t(2 * shape.quadCount()));
    }
    const meshShape_t unsealed(shape);
    shape.seal();

    ASSERT_FALSE(shape.grids.empty());
    EXPECT_EQ(shape.quadCount(), unsealed.quadCount());
    EXPECT_EQ(shape.quads.size() / 4 + shape.gridCells, unsealed.quadCount());
    EXPECT_LT(shape.quads.size(), unsealed.quads.size() / 2);
    for (size_t tri = 0; tri < unsealed.triangleSlots(); ++tri) {
        ASSERT_EQ(shape.hasTriangle(tri), unsealed.hasTriangle(tri)) << tri;
        if (!unsealed.hasTriangle(tri)) continue;
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(shape.corner(tri, k), unsealed.corner(tri, k)) << tri << " " << k;
    }
    // Listed quads map to their place among the listed and back; grid cells are never listed.
    size_t listed = 0;
    for (size_t q = 0; q < shape.quadCount(); ++q) {
        uint32_t v[4];
        shape.quadVertices(q, v);
        ASSERT_EQ(shape.listedIndex(q), listed) << q;
        if (listed < shape.quads.size() / 4 && std::equal(v, v + 4, &shape.quads[4 * listed]) &&
            shape.quadOfListed(listed) == q) {
            ++listed;
        }
    }
    EXPECT_EQ(listed, shape.quads.size() / 4);
    const size_t hole = holedFrom + 8 + 2;
    EXPECT_FALSE(shape.hasTriangle(2 * hole + 1));
    EXPECT_EQ(shape.quadOfListed(shape.listedIndex(hole)), hole);
}

// Hits on grid cells and on the listed quads between their rows read back the triangle, its
// UVs (equal to the position here) and its material; enough rows for several Embree parts, so
// that runs cut at a part's end and numbered per part are covered too.
TEST(MeshGrids, HitsOnGridCellsReadBackTheirTriangles) {
    SceneBuilder s;
    auto* white = s.diffuse("white");
    auto* red = s.diffuse("red");
    s.yi.startGeometry();
    constexpr int kWidth = 901, kRows = 640;  // vertices per row; rows of cells
    unsigned int id = 0;
    s.yi.startTriMesh(id, 0, 0, false, true, 0);
    // Row j's vertices at y = j, then its extra square: one quad between rows in quad order.
    std::vector<int> rowStart(kRows + 1);
    for (int j = 0; j <= kRows; ++j) {
        rowStart[size_t(j)] = s.yi.addVertex(0, float(j), 0);
        s.yi.addUV(0, float(j));
        for (int x = 1; x < kWidth; ++x) {
            s.yi.addVertex(float(x), float(j), 0);
            s.yi.addUV(float(x), float(j));
        }
    }
    for (int j = 0; j < kRows; ++j) {
        for (int x = 0; x + 1 < kWidth; ++x) {
            const int p = rowStart[size_t(j)] + x, c = rowStart[size_t(j + 1)] + x;
            s.yi.addTriangle(p, p + 1, c, p, p + 1, c, white);
            s.yi.addTriangle(p + 1, c + 1, c, p + 1, c + 1, c, white);
        }
        // The extra square, beside the sheet at x ∈ [kWidth − 1, kWidth] of this row, in red.
        const auto x0 = float(kWidth - 1), x1 = float(kWidth), y0 = float(j), y1 = float(j + 1);
        const int e = s.yi.addVertex(x0, y0, 0);
        s.yi.addVertex(x1, y0, 0);
        s.yi.addVertex(x1, y1, 0);
        s.yi.addVertex(x0, y1, 0);
        const int u = s.yi.addUV(x0, y0);
        s.yi.addUV(x1, y0);
        s.yi.addUV(x1, y1);
        s.yi.addUV(x0, y1);
        s.yi.addTriangle(e, e + 1, e + 2, u, u + 1, u + 2, red);
        s.yi.addTriangle(e, e + 2, e + 3, u, u + 2, u + 3, red);
    }
    s.yi.endTriMesh();
    ASSERT_TRUE(s.yi.endGeometry());
    EXPECT_EQ(s.yi.scene().triangleCount(), size_t(2 * kRows * kWidth));

    std::mt19937 rng(11);
    std::uniform_real_distribution<float> along(0.f, float(kWidth)), across(0.f, float(kRows));
    for (int i = 0; i < 4000; ++i) {
        const float x = along(rng), y = across(rng);
        surfacePoint_t sp;
        ASSERT_TRUE(enginetest::hitFromAbove(s.yi.scene(), x, y, sp)) << x << "," << y;
        ASSERT_TRUE(sp.hasUV);
        // UVs far from 0 hold about 1e-4 of rounding at x ≈ 900.
        EXPECT_NEAR(sp.u, x, 1e-3f) << x << "," << y;
        EXPECT_NEAR(sp.v, y, 1e-3f) << x << "," << y;
        EXPECT_NEAR(std::fabs(sp.Ng.z), 1.f, 1e-5f);
        EXPECT_EQ(sp.material, x > float(kWidth - 1) ? red : white) << x << "," << y;
    }
}

}  // namespace
