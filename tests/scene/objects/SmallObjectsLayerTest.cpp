// Plants and rocks layers: how densely they place objects, the geometry of blades, leaves and rock
// domes, where they refuse to grow, their kinds, the shared density map and the archive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "SmallObjectsTestSupport.h"
#include "foundation/Random.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/Scene.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/smallobjects/GrassPlant.h"
#include "scene/layers/smallobjects/LeafPlant.h"
#include "scene/layers/smallobjects/PlantsLayer.h"
#include "scene/layers/smallobjects/RocksLayer.h"
#include "scene/layers/smallobjects/SmallRock.h"

namespace korvane {
namespace {

using testing::smallobjects::FlatGroundLayer;
using testing::smallobjects::LakeLayer;
using testing::smallobjects::OtherRenderer;
using testing::smallobjects::RecordingRenderer;

void fillMap(SmallObjectsLayer& layer, uint8_t value) {
    Bitmap& map = *layer.mapImageRep();
    std::memset(map.data(), value, map.sizeInBytes());
}

// A scene of the given size with flat ground at height 1 and a camera whose eye is at `eye`.
std::unique_ptr<Scene> sceneWithCamera(Size size, Point eye) {
    auto scene = std::make_unique<Scene>();
    scene->setSize(size);
    scene->addLayer(std::make_shared<FlatGroundLayer>(1.0f));
    auto camera = std::make_shared<CameraLayer>(scene.get());
    camera->setFromPoint(eye);
    scene->addLayer(camera);
    return scene;
}

int countOf(const RecordingRenderer& renderer, const std::string& prefix) {
    return static_cast<int>(std::count_if(renderer.yi.calls.begin(), renderer.yi.calls.end(),
                                          [&](const std::string& call) { return call.rfind(prefix, 0) == 0; }));
}

TEST(SmallObjectsKinds, TablesGiveNamesSizesAndTheOfferedOrder) {
    PlantsLayer plants;
    std::vector<std::string> plantNames;
    for (const SmallObjectClass* kind : plants.allSmallObjectClasses()) plantNames.push_back(kind->name());
    EXPECT_EQ(plantNames, (std::vector<std::string>{"Green Grass", "Green Grass 2", "Green Grass 3", "Yellow Grass",
                                                    "Icy Grass", "Desert Grass", "Desert Grass 2", "Daisies & Grass",
                                                    "Small Wheat", "Large Wheat", "Leafs"}));
    RocksLayer rocks;
    ASSERT_EQ(rocks.allSmallObjectClasses().size(), 13u);
    EXPECT_EQ(rocks.allSmallObjectClasses().front()->name(), "Red Rocks");
    EXPECT_EQ(rocks.allSmallObjectClasses().back()->name(), "Diamonds");

    EXPECT_EQ(plants.name(), "Plants (Green Grass)");
    EXPECT_EQ(rocks.name(), "Rocks (Gray Rocks)");
    EXPECT_EQ(plants.orderForFunctionsList(), 100);
    EXPECT_EQ(rocks.orderForFunctionsList(), 150);

    LargeWheatPlant wheat;
    EXPECT_EQ(wheat.size(), (Size{0.03, 0.03}));
    EXPECT_EQ(wheat.basePlantSize(), (Size{0.003, 0.05}));
    EXPECT_EQ(wheat.icon(), "Wheat.png");
    FlatBlackSmallRock flatBlack;
    EXPECT_FLOAT_EQ(flatBlack.baseSize().width, 0.015f);
    EXPECT_EQ(flatBlack.maxXYVertices(), 6);
    EXPECT_EQ(flatBlack.maxZVertices(), 3);
    EXPECT_NE(dynamic_cast<BlackSmallRock*>(&flatBlack), nullptr);
    GrassPlant base;
    EXPECT_TRUE(base.name().empty());
    EXPECT_EQ(BaseSmallObject().size(), (Size{0.05, 0.05}));
}

TEST(SmallObjectsLayerTest, MapHasTheHeightmapResolutionAndKeepsPaintCentredWhenTheSceneGrows) {
    Scene scene;
    scene.setSize({10, 10});
    auto plants = std::make_shared<PlantsLayer>(&scene);
    ASSERT_EQ(plants->mapImageRep()->width(), 1024);
    ASSERT_EQ(plants->mapImageRep()->height(), 1024);
    plants->mapImageRep()->setGray8(0, 0, 200);
    plants->sceneSizeDidChange({10, 10}, {20, 10});
    const Bitmap& grown = *plants->mapImageRep();
    ASSERT_EQ(grown.width(), 2048);
    EXPECT_EQ(grown.gray8(512, 0), 200);
    EXPECT_EQ(grown.gray8(0, 0), 0);
}

TEST(SmallObjectsLayerTest, FullGreenGrassGivesAboutHalfTheCellsNearTheCameraOneBlade) {
    seedRandom(7);
    auto scene = sceneWithCamera({2, 2}, {1, 1});
    auto plants = std::make_shared<PlantsLayer>(scene.get());
    fillMap(*plants, 255);
    scene->addLayer(plants);
    RecordingRenderer renderer;
    plants->appendToRenderer(renderer);

    const int cells = plants->mapImageRep()->width() * plants->mapImageRep()->height();
    const double share = static_cast<double>(renderer.yi.meshes) / cells;
    // A = min(0.00977 / 0.02, …) ≈ 0.49 within 3 units of the eye.
    EXPECT_GT(share, 0.46);
    EXPECT_LT(share, 0.52);
    // One blade per mesh on flat dry ground: a quad of two triangles.
    EXPECT_EQ(renderer.yi.triangles, 2 * renderer.yi.meshes);
    EXPECT_EQ(renderer.yi.vertices, 4 * renderer.yi.meshes);
    // The blade stands on the ground (sunk by 0.001) and rises by its height at full strength.
    const auto& v = renderer.yi.vertexList;
    ASSERT_GE(v.size(), 4u);
    EXPECT_NEAR(v[0].z, 0.999, 1e-6);
    EXPECT_NEAR(v[2].z, 0.999 + 0.025, 1e-6);
}

TEST(SmallObjectsLayerTest, PreviewModePlacesAQuarterOfTheObjects) {
    seedRandom(3);
    auto scene = sceneWithCamera({2, 2}, {1, 1});
    auto plants = std::make_shared<PlantsLayer>(scene.get());
    fillMap(*plants, 255);
    scene->addLayer(plants);
    RecordingRenderer full, preview;
    preview.setDetailsMode(1);
    plants->appendToRenderer(full);
    plants->appendToRenderer(preview);
    EXPECT_NEAR(static_cast<double>(preview.yi.meshes) / full.yi.meshes, 0.25, 0.02);
}

TEST(SmallObjectsLayerTest, GrassOnWaterIsLeftOutButRocksAndLeavesAreNot) {
    seedRandom(5);
    auto scene = sceneWithCamera({1, 1}, {0.5, 0.5});
    scene->addLayer(std::make_shared<LakeLayer>(2.0f));
    auto plants = std::make_shared<PlantsLayer>(scene.get());
    fillMap(*plants, 255);
    scene->addLayer(plants);
    RecordingRenderer grass;
    plants->appendToRenderer(grass);
    EXPECT_GT(grass.yi.meshes, 0);
    EXPECT_EQ(grass.yi.triangles, 0);

    // Leaves float on the lake's surface.
    plants->setBaseSmallObjectClass(smallObjectClassNamed("LeafPlant"));
    RecordingRenderer leaves;
    plants->appendToRenderer(leaves);
    ASSERT_GT(leaves.yi.triangles, 0);
    for (const auto& vertex : leaves.yi.vertexList) {
        EXPECT_GE(vertex.z, 2.0 + 0.000175 - 1e-6);
        EXPECT_LE(vertex.z, 2.0 + 0.001175 + 1e-6);
    }
}

TEST(SmallObjectsLayerTest, GrassOnCliffsIsRetriedInALevelDirection) {
    seedRandom(4);
    auto scene = std::make_unique<Scene>();
    scene->setSize({0.5, 0.5});
    // The ground rises by 40 per unit in x: a blade whose base (0.03 wide at full strength) points
    // along x by more than 0.0125 stands on a cliff, which happens for most angles.
    scene->addLayer(std::make_shared<FlatGroundLayer>(1.0f, 40.0f));
    auto plants = std::make_shared<PlantsLayer>(scene.get());
    fillMap(*plants, 255);
    scene->addLayer(plants);
    RecordingRenderer renderer;
    plants->appendToRenderer(renderer);
    ASSERT_GT(renderer.yi.meshes, 0);
    // Cliff attempts do not count: within its 50 attempts every cell still finds a level direction
    // and gets its one blade.
    EXPECT_EQ(renderer.yi.triangles, 2 * renderer.yi.meshes);
    const auto& v = renderer.yi.vertexList;
    ASSERT_EQ(v.size(), 4u * renderer.yi.meshes);
    for (size_t blade = 0; blade < v.size(); blade += 4) {
        const auto& k0 = v[blade];
        const auto& k1 = v[blade + 1];
        EXPECT_LT(std::fabs(k0.z - k1.z), 0.5);
        EXPECT_NEAR(k0.z, 1.0 + 40.0 * k0.x - 0.001, 1e-3);  // the base ends sit on the ground
    }
}

TEST(SmallObjectsLayerTest, LeavesAreNotPlacedOnSlopesSteeperThanTheTolerance) {
    seedRandom(9);
    auto scene = std::make_unique<Scene>();
    scene->setSize({1, 1});
    // Over the leaf's 0.02 the corners differ by 0.02 × 0.5 = 0.01: the highest corner is 0.005
    // above their mean, beyond the 0.003 tolerance.
    scene->addLayer(std::make_shared<FlatGroundLayer>(1.0f, 0.5f));
    auto plants = std::make_shared<PlantsLayer>(scene.get());
    plants->setBaseSmallObjectClass(smallObjectClassNamed("LeafPlant"));
    fillMap(*plants, 255);
    scene->addLayer(plants);
    RecordingRenderer renderer;
    plants->appendToRenderer(renderer);
    EXPECT_GT(renderer.yi.meshes, 0);
    EXPECT_EQ(renderer.yi.triangles, 0);
}

TEST(SmallObjectsLayerTest, FarRocksAreThreeSidedPyramidsInOneSmoothedMesh) {
    seedRandom(11);
    // The eye lies more than 30 units (Manhattan) away: detail 0 everywhere.
    auto scene = sceneWithCamera({1, 1}, {40, 40});
    auto rocks = std::make_shared<RocksLayer>(scene.get());
    fillMap(*rocks, 255);
    scene->addLayer(rocks);
    RecordingRenderer renderer;
    rocks->appendToRenderer(renderer);
    EXPECT_EQ(renderer.yi.meshes, 1);
    ASSERT_GT(renderer.yi.vertices, 0);
    // Each rock: a base ring of 3 and one level of 3 (the apex), joined by 6 triangles.
    EXPECT_EQ(renderer.yi.vertices % 6, 0);
    EXPECT_EQ(renderer.yi.triangles, renderer.yi.vertices);
    const auto& v = renderer.yi.vertexList;
    EXPECT_NEAR(v[0].z, 1.0 - 0.1, 1e-5);  // the skirt reaches below the ground
    // The apex rises D / (D + 1) × height above the ground at the centre.
    EXPECT_NEAR(v[3].z, 1.0 + 0.5 * 0.0075, 1e-5);
    EXPECT_NEAR(v[3].x, v[4].x, 1e-6);
}

TEST(SmallObjectsLayerTest, RocksNearTheEyeGetFullDetail) {
    seedRandom(13);
    auto scene = sceneWithCamera({0.1, 0.1}, {0.05, 0.05});
    auto rocks = std::make_shared<RocksLayer>(scene.get());
    fillMap(*rocks, 255);
    scene->addLayer(rocks);
    RecordingRenderer renderer;
    rocks->appendToRenderer(renderer);
    ASSERT_GT(renderer.yi.vertices, 0);
    // Within 0.1 of the eye the detail f = 1 − distance / 30 lies in [0.99, 1): C = int(10 f + 3) = 12
    // around and D = int(6 f + 1) = 6 levels, so every rock has 12 × 7 vertices and 2 × 12 × 6
    // triangles.
    EXPECT_EQ(renderer.yi.vertices % (12 * 7), 0);
    const int rockCount = renderer.yi.vertices / (12 * 7);
    EXPECT_EQ(renderer.yi.triangles, rockCount * 2 * 12 * 6);

    // The preview mode divides the detail by 5 (f / 5 just below 0.2): C = int(1.99… + 3) = 4 and
    // D = int(1.19… + 1) = 2.
    RecordingRenderer preview;
    preview.setDetailsMode(1);
    rocks->appendToRenderer(preview);
    ASSERT_GT(preview.yi.vertices, 0);
    EXPECT_EQ(preview.yi.vertices % (4 * 3), 0);
    EXPECT_EQ(preview.yi.triangles, preview.yi.vertices / (4 * 3) * 2 * 4 * 2);
}

TEST(SmallObjectsLayerTest, DiamondsShareTheDomeWithAClearWhiteMaterial) {
    seedRandom(1);
    auto scene = sceneWithCamera({0.5, 0.5}, {40, 40});
    auto rocks = std::make_shared<RocksLayer>(scene.get());
    rocks->setBaseSmallObjectClass(smallObjectClassNamed("DiamondSmallRock"));
    fillMap(*rocks, 255);
    scene->addLayer(rocks);
    RecordingRenderer renderer;
    rocks->appendToRenderer(renderer);
    EXPECT_GE(renderer.yi.indexOf("paramsSetFloat \"transparency\" 0.800000012"), 0);
    EXPECT_EQ(countOf(renderer, "createTexture"), 0);
    EXPECT_EQ(countOf(renderer, "createMaterial"), 1);
    EXPECT_EQ(renderer.yi.triangles, renderer.yi.vertices);
}

TEST(SmallObjectsLayerTest, GrayRocksSendAMarbleWithAMarbleBump) {
    auto scene = sceneWithCamera({0.5, 0.5}, {40, 40});
    auto rocks = std::make_shared<RocksLayer>(scene.get());
    scene->addLayer(rocks);
    RecordingRenderer renderer;
    rocks->appendToRenderer(renderer);
    // An empty map adds only the material and an empty mesh.
    EXPECT_EQ(countOf(renderer, "createTexture"), 2);
    EXPECT_EQ(countOf(renderer, "paramsSetString \"type\" \"marble\""), 2);
    EXPECT_GE(renderer.yi.indexOf("paramsSetColor \"color1\" 0.800000012 0.800000012 0.800000012 1"), 0);
    EXPECT_GE(renderer.yi.indexOf("paramsSetString \"noise_type\" \"voronoi_f4\""), 0);
    EXPECT_GE(renderer.yi.indexOf("paramsSetFloat \"bump_strength\" 0.100000001"), 0);
    EXPECT_EQ(countOf(renderer, "createMaterial"), 1);
    EXPECT_EQ(renderer.yi.meshes, 1);
    EXPECT_EQ(renderer.yi.vertices, 0);
}

TEST(SmallObjectsLayerTest, NothingIsGeneratedForOtherRenderersOrWithoutAKind) {
    auto scene = sceneWithCamera({1, 1}, {0.5, 0.5});
    auto plants = std::make_shared<PlantsLayer>(scene.get());
    fillMap(*plants, 255);
    scene->addLayer(plants);
    OtherRenderer other;
    plants->appendToRenderer(other);  // must not touch any interface

    plants->setBaseSmallObjectClass(nullptr);
    RecordingRenderer renderer;
    plants->appendToRenderer(renderer);
    EXPECT_TRUE(renderer.yi.calls.empty());
    EXPECT_EQ(renderer.yi.meshes, 0);
    EXPECT_EQ(plants->name(), "Plants (none)");
}

TEST(SmallObjectsLayerTest, CopiesShareTheDensityMap) {
    Scene scene;
    scene.setSize({1, 1});
    auto plants = std::make_shared<PlantsLayer>(&scene);
    plants->setBaseSmallObjectClass(smallObjectClassNamed("DaisyGrassPlant"));
    auto copy = std::dynamic_pointer_cast<PlantsLayer>(plants->copy());
    ASSERT_TRUE(copy);
    copy->setScene(&scene);
    copy->mapImageRep()->setGray8(3, 4, 99);
    EXPECT_EQ(plants->mapImageRep()->gray8(3, 4), 99);
    EXPECT_EQ(copy->baseSmallObjectClass(), plants->baseSmallObjectClass());
}

TEST(SmallObjectsLayerTest, ArchiveRestoresTheKindByClassNameAndTheMap) {
    registerSceneClasses();
    Scene scene;
    scene.setSize({1, 1});
    auto rocks = std::make_shared<RocksLayer>(&scene);
    rocks->setBaseSmallObjectClass(smallObjectClassNamed("SandSmallRock"));
    rocks->mapImageRep()->setGray8(10, 20, 128);
    scene.addLayer(rocks);
    auto plants = std::make_shared<PlantsLayer>(&scene);
    plants->setBaseSmallObjectClass(nullptr);
    scene.addLayer(plants);

    std::vector<uint8_t> bytes = KeyedArchiver::archivedData(scene);
    std::string error;
    auto decoded = KeyedUnarchiver::unarchiveRoot<Scene>(bytes, "Scene", &error);
    ASSERT_TRUE(decoded) << error;
    auto decodedRocks = decoded->layersOfClass<RocksLayer>();
    ASSERT_EQ(decodedRocks.size(), 1u);
    ASSERT_NE(decodedRocks[0]->baseSmallObjectClass(), nullptr);
    EXPECT_EQ(decodedRocks[0]->baseSmallObjectClass()->className, "SandSmallRock");
    EXPECT_EQ(decodedRocks[0]->mapImageRep()->gray8(10, 20), 128);
    auto decodedPlants = decoded->layersOfClass<PlantsLayer>();
    ASSERT_EQ(decodedPlants.size(), 1u);
    EXPECT_EQ(decodedPlants[0]->baseSmallObjectClass(), nullptr);
}

TEST(SmallObjectsLayerTest, ADocumentNamingAKindThatNoLongerExistsOpensWithoutAKind) {
    registerSceneClasses();
    Scene scene;
    scene.setSize({1, 1});
    auto plants = std::make_shared<PlantsLayer>(&scene);
    // A kind of some other version of the application, archived under its class name.
    const SmallObjectClass palmTrees{"PalmTreePlant", [] { return std::make_unique<BaseSmallObject>(); }};
    plants->setBaseSmallObjectClass(&palmTrees);
    plants->mapImageRep()->setGray8(1, 2, 77);
    scene.addLayer(plants);

    std::vector<uint8_t> bytes = KeyedArchiver::archivedData(scene);
    std::string error;
    auto decoded = KeyedUnarchiver::unarchiveRoot<Scene>(bytes, "Scene", &error);
    ASSERT_TRUE(decoded) << error;
    auto decodedPlants = decoded->layersOfClass<PlantsLayer>();
    ASSERT_EQ(decodedPlants.size(), 1u);
    EXPECT_EQ(decodedPlants[0]->baseSmallObjectClass(), nullptr);
    EXPECT_EQ(decodedPlants[0]->name(), "Plants (none)");
    EXPECT_EQ(decodedPlants[0]->mapImageRep()->gray8(1, 2), 77);
    RecordingRenderer renderer;
    decodedPlants[0]->appendToRenderer(renderer);
    EXPECT_TRUE(renderer.yi.calls.empty());
}

TEST(SmallObjectsLayerTest, UnknownKindNamesLeaveTheLayerWithoutAKind) {
    EXPECT_EQ(smallObjectClassNamed("PalmTreePlant"), nullptr);
    ASSERT_NE(smallObjectClassNamed("GreenGrassPlant3"), nullptr);
    EXPECT_EQ(smallObjectClassNamed("GreenGrassPlant3")->name(), "Green Grass 3");
}

TEST(SmallObjectsHelpers, RandomPointsStayWithinTheRange) {
    seedRandom(2);
    for (int i = 0; i < 200; ++i) {
        Point p = SmallRock::randomPointForPoint({1, 1}, 0.5f);
        EXPECT_GE(p.x, 0.5);
        EXPECT_LE(p.x, 1.5);
        Point q = LeafPlant::randomPointForPoint({0, 0}, 1.0f);
        EXPECT_GE(q.y, -1.0);
        EXPECT_LE(q.y, 1.0);
    }
}

}  // namespace
}  // namespace korvane
