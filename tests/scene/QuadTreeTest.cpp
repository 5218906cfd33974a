#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <thread>

#include "raytracer/EngineTestSupport.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/terrain/TerrainMaterialSource.h"

#include "scene/Scene.h"
#include "scene/TerrainTestSupport.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/terrain/TerrainLayerQuadTreeNode.h"

namespace korvane {
namespace {

using testing::RecordedMesh;
using testing::RecordedVertex;
using testing::TestRenderer;

// A fixed pseudo-random sample for every pixel: terrain rough at every scale.
uint16_t roughSample(int column, int row) {
    uint32_t h = static_cast<uint32_t>(column) * 0x9E3779B1u ^ static_cast<uint32_t>(row) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 13;
    return static_cast<uint16_t>(h & 0xFFFF);
}

// One smooth hill of the given peak sample, centred at a pixel position.
void fillWithHill(Bitmap& map, double column0, double row0, double radius, double peak) {
    for (int row = 0; row < map.height(); ++row)
        for (int column = 0; column < map.width(); ++column) {
            const double d2 = (column - column0) * (column - column0) + (row - row0) * (row - row0);
            map.setGray16(column, row, static_cast<uint16_t>(peak * std::exp(-d2 / (2 * radius * radius))));
        }
}

void fillWith(Bitmap& map, uint16_t (*value)(int, int)) {
    for (int row = 0; row < map.height(); ++row)
        for (int column = 0; column < map.width(); ++column) map.setGray16(column, row, value(column, row));
}

// How many lines of captured output are exactly `line`.
int countLines(const std::string& output, const std::string& line) {
    int count = 0;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        count += output.compare(start, end - start, line) == 0;
        start = end + 1;
    }
    return count;
}

// Whether a vertex lies outside the scene rectangle, i.e. belongs to an apron.
bool isApronVertex(const RecordedVertex& v, Size scene) {
    return v.x < 0 || v.y < 0 || v.x > scene.width || v.y > scene.height;
}

class QuadTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        terrain = std::make_shared<TerrainLayer>(&scene);
        scene.addLayer(terrain);
    }
    // Refines a tree over the layer's heightmap as appendToRenderer does, the camera at a pixel position.
    std::unique_ptr<TerrainLayerQuadTreeNode> refine(int detail, Point cameraOnBitmap = {}) {
        auto root = std::make_unique<TerrainLayerQuadTreeNode>(*terrain);
        root->resetDetailSplitCount();
        const Bitmap& map = *terrain->heightmapImageRep();
        root->splitTraverse(reinterpret_cast<const uint16_t*>(map.data()),
                            {double(map.width()), double(map.height())},
                            {{0, 0}, {double(map.width()), double(map.height())}}, detail, cameraOnBitmap);
        return root;
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
    EXPECT_EQ(skirt.uvs.size(), 4u);
    // Both triangles carry the skirt's own material (the terrain has none here).
    ASSERT_EQ(skirt.triangles.size(), 2u);
    for (const auto& t : skirt.triangles) {
        EXPECT_NE(t.material, nullptr);
        EXPECT_EQ(t.material, skirt.triangles[0].material);
    }
    EXPECT_EQ(renderer.yi.meshes[0].triangles[0].material, nullptr);

    // The overflow is truncated to whole units.
    renderer.yi.meshes.clear();
    scene.setSizeOverflow(150.7f);
    terrain->appendToRenderer(renderer);
    for (const auto& v : renderer.yi.meshes.at(1).vertices) {
        EXPECT_TRUE(v.x == -150 || v.x == 160);
        EXPECT_TRUE(v.y == -150 || v.y == 160);
    }
}

TEST_F(QuadTreeTest, AFlatMapRefinesToTheLevelFourTreeAtEveryDetail) {
    for (int detail : {0, 50, 100}) {
        auto root = refine(detail, {512, 512});
        EXPECT_EQ(root->leafCount(), 256u) << detail;
        EXPECT_EQ(root->maximumLeafLevel(), 4u) << detail;
        EXPECT_EQ(root->build().highDetailSplitCount, 0u);
    }
}

TEST_F(QuadTreeTest, DetailLimitsTheDepthAndLogsMaxLevelOnce) {
    fillWith(*terrain->heightmapImageRep(), roughSample);
    ::testing::internal::CaptureStdout();
    auto coarse = refine(0, {512, 512});
    const std::string log = ::testing::internal::GetCapturedStdout();
    // The rule refuses nodes deeper than detail / 8 + 7: at detail 0 nodes of level 7 are the last to
    // split, so a map rough everywhere ends in all 4⁸ leaves of level 8 and no deeper.
    EXPECT_EQ(coarse->maximumLeafLevel(), 8u);
    EXPECT_EQ(coarse->leafCount(), 65536u);
    EXPECT_EQ(countLines(log, "MAX LEVEL"), 1) << log;
    EXPECT_EQ(coarse->build().highDetailSplitCount, 0u);  // level 9 is never reached

    ::testing::internal::CaptureStdout();
    auto medium = refine(50, {512, 512});
    ::testing::internal::GetCapturedStdout();
    EXPECT_LE(medium->maximumLeafLevel(), 50u / 8 + 8);
    EXPECT_GT(medium->maximumLeafLevel(), 9u);
}

TEST_F(QuadTreeTest, TheFineSplitBudgetEndsOneAboveItAndLogsOnce) {
    fillWith(*terrain->heightmapImageRep(), roughSample);
    ::testing::internal::CaptureStdout();
    auto root = refine(100, {100, 900});
    const std::string log = ::testing::internal::GetCapturedStdout();
    // 750 × 100 + 1500 = 76 500 splits at level 9 and deeper, granted while the count does not exceed it.
    EXPECT_EQ(root->build().highDetailSplitCount, 76501u);
    EXPECT_EQ(countLines(log, "MAX SPLIT COUNT"), 1) << log;
    EXPECT_GT(root->maximumLeafLevel(), 9u);

    // A new build starts its own count.
    auto again = refine(100, {100, 900});
    EXPECT_EQ(again->build().highDetailSplitCount, 76501u);
    root->resetDetailSplitCount();
    EXPECT_EQ(root->build().highDetailSplitCount, 0u);
}

TEST_F(QuadTreeTest, BuildsRunningAtTheSameTimeKeepTheirOwnBudgets) {
    fillWith(*terrain->heightmapImageRep(), roughSample);
    ::testing::internal::CaptureStdout();
    // Detail 16 reaches level 9 with a budget of 750 × 16 + 1500 = 13 500.
    std::unique_ptr<TerrainLayerQuadTreeNode> first, second;
    std::thread other([&] { first = refine(16, {0, 0}); });
    second = refine(16, {1024, 1024});
    other.join();
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(first->build().highDetailSplitCount, 13501u);
    EXPECT_EQ(second->build().highDetailSplitCount, 13501u);
    EXPECT_EQ(countLines(log, "MAX SPLIT COUNT"), 2) << log;
}

TEST_F(QuadTreeTest, TheNearestSubtreesGetTheBudgetFirst) {
    fillWith(*terrain->heightmapImageRep(), roughSample);
    ::testing::internal::CaptureStdout();
    auto root = refine(16, {0, 0});
    ::testing::internal::GetCapturedStdout();
    // Every node down to level 8 splits on a rough map; the 13 501 fine splits (level 9 into 10) all go
    // to the quarter at the camera, whose level-9 nodes alone outnumber the budget.
    EXPECT_EQ(root->getSubnode(0)->maximumLeafLevel(), 10u);
    EXPECT_EQ(root->getSubnode(0)->leafCount(), 65536u + 3 * 13501);
    for (int far : {1, 2, 3}) EXPECT_EQ(root->getSubnode(far)->maximumLeafLevel(), 9u) << far;
}

// Checks that a terrain mesh has no cracks: inside the scene every position is one shared vertex (the
// aprons add their own outer vertices), and every edge is shared by two triangles except the aprons'
// outer rim.
void expectCrackFree(const RecordedMesh& mesh, Size sceneSize) {
    // Positions on a fine grid, so that equal coordinates reached by different sums compare equal.
    using Position = std::pair<long long, long long>;
    auto position = [&](int id) {
        const RecordedVertex& v = mesh.vertices[static_cast<size_t>(id)];
        return Position{std::llround(v.x * 1e6), std::llround(v.y * 1e6)};
    };
    std::map<Position, int> idAt;
    for (size_t id = 0; id < mesh.vertices.size(); ++id) {
        if (isApronVertex(mesh.vertices[id], sceneSize)) continue;
        auto [it, inserted] = idAt.insert({position(static_cast<int>(id)), static_cast<int>(id)});
        EXPECT_TRUE(inserted) << "vertices " << it->second << " and " << id << " at one position";
    }
    std::map<std::pair<Position, Position>, int> uses;
    for (const auto& t : mesh.triangles)
        for (auto [p, q] : {std::pair{t.a, t.b}, std::pair{t.b, t.c}, std::pair{t.c, t.a}}) {
            const Position from = position(p), to = position(q);
            ++uses[{std::min(from, to), std::max(from, to)}];
        }
    size_t rim = 0;
    for (const auto& [edge, count] : uses) {
        const RecordedVertex p{edge.first.first * 1e-6, edge.first.second * 1e-6, 0};
        const RecordedVertex q{edge.second.first * 1e-6, edge.second.second * 1e-6, 0};
        if (isApronVertex(p, sceneSize) && isApronVertex(q, sceneSize)) {
            EXPECT_LE(count, 2);
            rim += count == 1;
        } else {
            ASSERT_EQ(count, 2) << "edge (" << p.x << ", " << p.y << ") - (" << q.x << ", " << q.y << ")";
        }
    }
    EXPECT_GT(rim, 0u);
}

TEST_F(QuadTreeTest, AFullDetailMeshSharesEveryVertexAndEveryInnerEdge) {
    fillWithHill(*terrain->heightmapImageRep(), 400, 600, 60, 50000);
    auto camera = std::make_shared<CameraLayer>(&scene);
    camera->setFromPoint({4, 4});  // pixel (410, 614), on the hill
    scene.addLayer(camera);
    ::testing::internal::CaptureStdout();
    const RecordedMesh& mesh = appendTerrain();
    ::testing::internal::GetCapturedStdout();
    ASSERT_GT(mesh.triangles.size(), 2000u);
    expectCrackFree(mesh, scene.size());
    // Leaves next to finer ones pick up the midpoints: some fans have more than four triangles.
    std::map<int, int> fanSizes;
    for (const auto& t : mesh.triangles) ++fanSizes[t.c];
    EXPECT_TRUE(std::any_of(fanSizes.begin(), fanSizes.end(), [](const auto& f) { return f.second >= 5; }));
}

TEST_F(QuadTreeTest, ANarrowSpikeIsRefinedDeepWithoutCracks) {
    // Deep leaves around the spike beside coarse flat ones: only the restriction keeps them one level apart.
    fillWithHill(*terrain->heightmapImageRep(), 700, 300, 2, 60000);
    ::testing::internal::CaptureStdout();
    const RecordedMesh& mesh = appendTerrain();
    ::testing::internal::GetCapturedStdout();
    ASSERT_GT(mesh.triangles.size(), 2000u);
    expectCrackFree(mesh, scene.size());
}

TEST_F(QuadTreeTest, BorderModeZeroLowersTheEdgeAndTheApron) {
    fillWithHill(*terrain->heightmapImageRep(), 512, 512, 2000, 40000);  // high everywhere, edge included
    terrain->setBorderMode(TerrainLayer::kBorderLoweredToZero);
    const RecordedMesh& mesh = appendTerrain();
    int edgeVertices = 0;
    for (const auto& v : mesh.vertices) {
        const bool onEdge = v.x == 0 || v.y == 0 || v.x == 10 || v.y == 10;
        if (isApronVertex(v, scene.size()) || onEdge) {
            EXPECT_EQ(v.z, 0.0) << v.x << ", " << v.y;
            edgeVertices += onEdge;
        } else {
            EXPECT_GT(v.z, 1.0);
        }
    }
    EXPECT_EQ(edgeVertices, 64);
}

TEST_F(QuadTreeTest, BorderModeTwoExtendsTheEdgeHeightsAndModeOneSlopesToZero) {
    // Heights that vary along both edges.
    fillWith(*terrain->heightmapImageRep(),
             [](int column, int row) { return static_cast<uint16_t>(10000 + column * 20 + row * 30); });
    terrain->setBorderMode(TerrainLayer::kBorderExtendedEdge);
    const RecordedMesh& extended = appendTerrain();
    std::map<std::pair<double, double>, double> edgeHeights;
    for (const auto& v : extended.vertices)
        if (!isApronVertex(v, scene.size())) edgeHeights[{v.x, v.y}] = v.z;
    int aprons = 0;
    for (const auto& v : extended.vertices) {
        if (!isApronVertex(v, scene.size())) continue;
        ++aprons;
        // The edge point the apron vertex was extended from.
        const std::pair<double, double> edge{std::clamp(v.x, 0.0, 10.0), std::clamp(v.y, 0.0, 10.0)};
        ASSERT_EQ(edgeHeights.count(edge), 1u) << v.x << ", " << v.y;
        EXPECT_FLOAT_EQ(static_cast<float>(v.z), static_cast<float>(edgeHeights[edge])) << v.x << ", " << v.y;
        EXPECT_GT(v.z, 0.5);
    }
    EXPECT_EQ(aprons, 64 * 2);

    renderer.yi.meshes.clear();
    terrain->setBorderMode(TerrainLayer::kBorderSlopedApron);
    const RecordedMesh& sloped = appendTerrain();
    for (const auto& v : sloped.vertices) {
        if (isApronVertex(v, scene.size())) {
            EXPECT_EQ(v.z, 0.0);
        } else {
            EXPECT_GT(v.z, 0.5);  // the edge keeps its heights
        }
    }
}

// Dresses the terrain in plain white.
class WhiteTerrainMaterial final : public BaseSceneLayer, public TerrainMaterialSource {
public:
    explicit WhiteTerrainMaterial(const TerrainLayer* terrain) : terrain_(terrain) {}
    std::string archiveClassName() const override { return "QuadTreeTestWhiteMaterial"; }
    std::shared_ptr<BaseSceneLayer> copy() const override {
        return std::make_shared<WhiteTerrainMaterial>(terrain_);
    }
    const TerrainLayer* terrainLayer() const override { return terrain_; }
    const yafaray::material_t* createTerrainMaterialForRenderer(BaseRenderer& renderer) override {
        yafaray::yafrayInterface_t& yi = *renderer.yafrayinterface();
        yi.paramsClearAll();
        yi.paramsSetString("type", "shinydiffusemat");
        yi.paramsSetColor("color", 1, 1, 1, 1);
        yi.paramsSetFloat("diffuse_reflect", 1.0);
        return yi.createMaterial("white terrain");
    }

private:
    const TerrainLayer* terrain_;
};

// Renders the whole 10 × 10 scene from above, lit by a low sun in the +x direction; mean brightness of
// the pixel columns just left and right of the middle.
std::pair<double, double> renderFromAboveWithSunInTheEast(Scene& scene, TerrainLayer& terrain) {
    constexpr int kSide = 48;
    auto camera = std::make_shared<CameraLayer>(&scene);
    camera->setCameraType("topdown");
    camera->setScale(10);
    scene.addLayer(camera);
    scene.addLayer(std::make_shared<WhiteTerrainMaterial>(&terrain));
    TestRenderer renderer;
    renderer.setOutputSize({kSide, kSide});
    renderer.setDetailsMode(2);
    ::testing::internal::CaptureStdout();
    terrain.appendToRenderer(renderer);
    ::testing::internal::GetCapturedStdout();
    camera->appendToRenderer(renderer);
    yafaray::yafrayInterface_t& yi = renderer.yi;
    yi.endGeometry();
    yi.paramsClearAll();
    yi.paramsSetString("type", "sunlight");
    yi.paramsSetPoint("direction", 1, 0, 0.5);
    yi.paramsSetColor("color", 1, 1, 1, 1);
    yi.paramsSetFloat("power", 1);
    yi.paramsSetFloat("angle", 0.5);
    yi.paramsSetInt("samples", 1);
    yi.createLight("sun");
    yi.paramsClearAll();
    yi.paramsSetString("type", "directlighting");
    yi.paramsSetInt("raydepth", 2);
    yi.paramsSetInt("shadowDepth", 2);
    yi.createIntegrator("surfaceIntegrator");
    yi.paramsClearAll();
    yi.paramsSetString("type", "none");
    yi.createIntegrator("volumeIntegrator");
    yi.paramsClearAll();
    yi.paramsSetString("camera_name", "camera");
    yi.paramsSetString("integrator_name", "surfaceIntegrator");
    yi.paramsSetString("volintegrator_name", "volumeIntegrator");
    yi.paramsSetInt("AA_minsamples", 1);
    yi.paramsSetInt("AA_passes", 1);
    yi.paramsSetString("filter_type", "box");
    yi.paramsSetInt("width", kSide);
    yi.paramsSetInt("height", kSide);
    yi.paramsSetInt("threads", 2);
    enginetest::CapturedImage image;
    image.resize(kSide, kSide);
    yi.render(image, nullptr);

    double west = 0, east = 0;
    int count = 0;
    // The ridge's flanks lie 3 to 10 pixels either side of the middle column (4.8 pixels per scene unit).
    for (int y = 4; y < kSide - 4; ++y)
        for (int x = kSide / 2 - 10; x < kSide / 2 - 3; ++x) {
            west += image.r(x, y);
            east += image.r(kSide - 1 - x, y);
            ++count;
        }
    return {west / count, east / count};
}

TEST_F(QuadTreeTest, ASunLitTerrainShowsItsRelief) {
    Scene flatScene;
    auto flat = std::make_shared<TerrainLayer>(&flatScene);
    flatScene.addLayer(flat);
    const auto [flatWest, flatEast] = renderFromAboveWithSunInTheEast(flatScene, *flat);
    ASSERT_GT(flatWest, 0.05);
    EXPECT_NEAR(flatEast / flatWest, 1.0, 0.05);

    // A north–south ridge along the middle: its east flank faces the sun, its west flank lies in shade.
    Bitmap& map = *terrain->heightmapImageRep();
    for (int row = 0; row < map.height(); ++row)
        for (int column = 0; column < map.width(); ++column) {
            const double d = (column - 512) / 150.0;
            map.setGray16(column, row, static_cast<uint16_t>(40000 * std::exp(-d * d)));
        }
    const auto [west, east] = renderFromAboveWithSunInTheEast(scene, *terrain);
    EXPECT_GT(east, 1.3 * flatEast);
    EXPECT_LT(west, 0.7 * flatWest);
}

}  // namespace
}  // namespace korvane
