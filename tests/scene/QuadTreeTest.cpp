#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "scene/Scene.h"
#include "scene/TerrainTestSupport.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/terrain/TerrainLayerQuadTreeNode.h"

namespace korvane {
namespace {

using testing::RecordedMesh;
using testing::TestRenderer;

class QuadTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        terrain = std::make_shared<TerrainLayer>(&scene);
        scene.addLayer(terrain);
    }
    const RecordedMesh& appendTerrain() {
        terrain->appendToRenderer(renderer);
        EXPECT_EQ(renderer.yi.meshes.size(), 2u);
        return renderer.yi.meshes.at(0);
    }
    Scene scene;
    std::shared_ptr<TerrainLayer> terrain;
    TestRenderer renderer;
};

TEST_F(QuadTreeTest, AFlatMapGivesTheLevelFourTreeWithAprons) {
    const RecordedMesh& mesh = appendTerrain();
    // 256 leaves × 4 fan triangles, plus two apron triangles on each of the 64 border edges.
    EXPECT_EQ(mesh.triangles.size(), 256u * 4 + 64 * 2);
    // 17 × 17 shared corners, 256 centres, two vertices per apron.
    EXPECT_EQ(mesh.vertices.size(), 17u * 17 + 256 + 64 * 2);
    EXPECT_EQ(mesh.smoothAngle, 45.0);
}

TEST_F(QuadTreeTest, ARefinedMeshHasNoTJunctionsAndFacesUp) {
    Bitmap& map = *terrain->heightmapImageRep();
    for (int row = 0; row < map.height(); ++row)
        for (int column = 0; column < map.width(); ++column) {
            const double d = std::hypot(column - 300.0, row - 700.0);
            map.setGray16(column, row, static_cast<uint16_t>(60000 * std::exp(-d * d / 2000.0)));
        }
    renderer.setDetailsMode(1);
    const RecordedMesh& mesh = appendTerrain();
    ASSERT_GT(mesh.triangles.size(), 256u * 4 + 64 * 2);
    std::vector<std::pair<double, double>> points;
    for (const auto& v : mesh.vertices) points.push_back({v.x, v.y});
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    for (const auto& t : mesh.triangles) {
        const auto &a = mesh.vertices[t.a], &b = mesh.vertices[t.b], &c = mesh.vertices[t.c];
        EXPECT_GT((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x), 0.0);
        for (auto [p, q] : {std::pair{a, b}, std::pair{b, c}, std::pair{c, a}}) {
            const double lo = std::min(p.x, q.x), hi = std::max(p.x, q.x);
            auto it = std::lower_bound(points.begin(), points.end(), std::pair{lo - 1e-9, -1e300});
            for (; it != points.end() && it->first <= hi + 1e-9; ++it) {
                const double cross = (q.x - p.x) * (it->second - p.y) - (q.y - p.y) * (it->first - p.x);
                const double along = (it->first - p.x) * (q.x - p.x) + (it->second - p.y) * (q.y - p.y);
                const double length2 = (q.x - p.x) * (q.x - p.x) + (q.y - p.y) * (q.y - p.y);
                const bool inside = std::fabs(cross) < 1e-9 && along > 1e-9 && along < length2 - 1e-9;
                ASSERT_FALSE(inside) << "vertex (" << it->first << ", " << it->second << ") inside an edge";
            }
        }
    }
}

TEST_F(QuadTreeTest, TheSkirtSpansTheOverflowBelowTheTerrain) {
    terrain->appendToRenderer(renderer);
    ASSERT_EQ(renderer.yi.meshes.size(), 2u);
    const RecordedMesh& skirt = renderer.yi.meshes[1];
    ASSERT_EQ(skirt.vertices.size(), 4u);
    EXPECT_EQ(skirt.triangles.size(), 2u);
    for (const auto& v : skirt.vertices) {
        EXPECT_EQ(v.z, -1.0);
        EXPECT_TRUE(v.x == -200 || v.x == 210);
        EXPECT_TRUE(v.y == -200 || v.y == 210);
    }
}

}  // namespace
}  // namespace korvane
