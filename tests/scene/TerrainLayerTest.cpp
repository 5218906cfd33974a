#include "scene/layers/terrain/TerrainLayer.h"

#include <gtest/gtest.h>

#include <cmath>

#include "scene/BaseRenderer.h"

#include "foundation/ImageCodecs.h"
#include "foundation/NotificationCenter.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/Scene.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/terrain/HeightmapSampler.h"
#include "scene/layers/terrain/TerrainMaterialSource.h"

namespace korvane {
namespace {

// A distinct value for every column and row of a 1024-wide map.
uint16_t pattern(int column, int row) {
    return static_cast<uint16_t>((column * 61 + row * 7) % 65521);
}

void fill(Bitmap& map, uint16_t (*value)(int, int)) {
    for (int row = 0; row < map.height(); ++row)
        for (int column = 0; column < map.width(); ++column) map.setGray16(column, row, value(column, row));
}

class TerrainLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        scene = std::make_shared<Scene>();
        terrain = std::make_shared<TerrainLayer>(scene.get());
        scene->addLayer(terrain);
    }
    const uint16_t* samples() const {
        return reinterpret_cast<const uint16_t*>(terrain->heightmapImageRep()->data());
    }
    Size bitmapSize() const {
        return {double(terrain->heightmapImageRep()->width()),
                double(terrain->heightmapImageRep()->height())};
    }

    std::shared_ptr<Scene> scene;
    std::shared_ptr<TerrainLayer> terrain;
};

TEST_F(TerrainLayerTest, HeightmapHas1024PixelsPerTenSceneUnits) {
    ASSERT_NE(terrain->heightmapImageRep(), nullptr);
    EXPECT_EQ(terrain->heightmapImageRep()->width(), 1024);
    EXPECT_EQ(terrain->heightmapImageRep()->height(), 1024);
    EXPECT_EQ(terrain->heightmapImageRep()->format(), PixelFormat::Gray16);
    EXPECT_EQ(terrain->borderMode(), 0);
    EXPECT_EQ(terrain->smoothingFactor(), 45.0f);

    Scene tall;
    tall.setSize({5, 20});
    TerrainLayer layer(&tall);
    EXPECT_EQ(layer.heightmapImageRep()->width(), 512);
    EXPECT_EQ(layer.heightmapImageRep()->height(), 2048);
    // floor(w / 10 × 1024) in single precision.
    HeightmapPixelSize odd = heightmapPixelSizeForSceneSize({0.1, 7.77});
    EXPECT_EQ(odd.width, 10);
    EXPECT_EQ(odd.height, 795);
    EXPECT_EQ(heightmapPixelSizeForSceneSize({0, 10}).width, 0);
}

TEST_F(TerrainLayerTest, AZeroSidedSceneLeavesNoHeightmap) {
    scene->setSize({0, 10});
    EXPECT_EQ(terrain->heightmapImageRep(), nullptr);
    EXPECT_EQ(terrain->heightAtScenePoint({1, 1}), 0.0f);
    std::string error;
    EXPECT_FALSE(terrain->importHeightmap(encodePng(Bitmap(8, 8, PixelFormat::Gray16)), &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(TerrainLayerTest, SamplerClampsPositionsFourPixelsInsideTheMap) {
    fill(*terrain->heightmapImageRep(), pattern);
    auto at = [&](float x, float y) {
        return interpolatedValueFromBitmapData(samples(), bitmapSize(), x, y);
    };
    EXPECT_EQ(at(0, 0), at(4, 4));
    EXPECT_EQ(at(-100, -100), at(4, 4));
    EXPECT_FLOAT_EQ(at(4, 4), pattern(4, 4) / 65535.0f);
    EXPECT_EQ(at(1024, 1024), at(1020, 1020));
    EXPECT_EQ(at(1e9f, 5), at(1020, 5));
    EXPECT_EQ(at(std::nanf(""), 5), at(4, 5));
    EXPECT_EQ(TerrainLayer::interpolatedValueFromBitmapData(samples(), bitmapSize(), 9.5f, 7.25f),
              at(9.5f, 7.25f));
}

TEST_F(TerrainLayerTest, SamplerReproducesConstantsAndStraightLines) {
    Bitmap& map = *terrain->heightmapImageRep();
    fill(map, [](int column, int) { return static_cast<uint16_t>(column * 50); });
    for (float x : {10.0f, 10.25f, 10.5f, 500.75f}) {
        EXPECT_NEAR(interpolatedValueFromBitmapData(samples(), bitmapSize(), x, 33.3f) * 65535.0f, x * 50,
                    0.05f)
            << x;
    }
    fill(map, [](int, int) { return uint16_t{40000}; });
    for (float f : {0.0f, 0.1f, 0.5f, 0.9f}) {
        EXPECT_FLOAT_EQ(interpolatedValueFromBitmapData(samples(), bitmapSize(), 100 + f, 200 + f / 2),
                        40000 / 65535.0f);
    }
}

TEST_F(TerrainLayerTest, HeightAtScenePointScalesByTheMaximumTerrainHeight) {
    fill(*terrain->heightmapImageRep(), [](int, int) { return uint16_t{65535}; });
    for (Point p : {Point{0, 0}, Point{5, 5}, Point{10, 10}, Point{-3, 12}}) {
        EXPECT_FLOAT_EQ(terrain->heightAtScenePoint(p), scene->maxTerrainHeight());
    }
    scene->setMaxTerrainHeight(7.5f);
    EXPECT_FLOAT_EQ(terrain->heightAtScenePoint({3, 4}), 7.5f);
    EXPECT_FLOAT_EQ(scene->highestTerrainElevationAtScenePoint({3, 4}), 7.5f);
    fill(*terrain->heightmapImageRep(), [](int, int) { return uint16_t{0}; });
    EXPECT_EQ(terrain->heightAtScenePoint({3, 4}), 0.0f);

    // Ground y follows the row index: a map rising with the row is higher at larger y.
    fill(*terrain->heightmapImageRep(), [](int, int row) { return static_cast<uint16_t>(row * 64); });
    EXPECT_LT(terrain->heightAtScenePoint({5, 1}), terrain->heightAtScenePoint({5, 9}));
    EXPECT_NEAR(terrain->heightAtScenePoint({5, 5}), 512 * 64 / 65535.0f * 7.5f, 1e-3f);
}

TEST_F(TerrainLayerTest, GrowingCentresTheOldMapAndShrinkingKeepsTheDrawingOrigin) {
    fill(*terrain->heightmapImageRep(), pattern);
    const Bitmap original = *terrain->heightmapImageRep();

    scene->setSize({20, 10});
    const Bitmap* wide = terrain->heightmapImageRep();
    ASSERT_EQ(wide->width(), 2048);
    ASSERT_EQ(wide->height(), 1024);
    for (int row : {0, 511, 1023}) {
        EXPECT_EQ(wide->gray16(511, row), 0);
        EXPECT_EQ(wide->gray16(1536, row), 0);
        for (int column : {0, 1, 700, 1023})
            EXPECT_EQ(wide->gray16(512 + column, row), original.gray16(column, row));
    }

    Scene narrowScene;
    auto narrow = std::make_shared<TerrainLayer>(&narrowScene);
    narrowScene.addLayer(narrow);
    narrow->setHeightmapImageRep(original);
    narrowScene.setSize({5, 10});
    ASSERT_EQ(narrow->heightmapImageRep()->width(), 512);
    for (int column : {0, 300, 511})
        EXPECT_EQ(narrow->heightmapImageRep()->gray16(column, 77), original.gray16(column, 77));

    Scene shortScene;
    auto low = std::make_shared<TerrainLayer>(&shortScene);
    shortScene.addLayer(low);
    low->setHeightmapImageRep(original);
    shortScene.setSize({10, 5});
    ASSERT_EQ(low->heightmapImageRep()->height(), 512);
    // The last rows survive: they are what the editor shows at the top.
    for (int row : {0, 200, 511})
        EXPECT_EQ(low->heightmapImageRep()->gray16(9, row), original.gray16(9, row + 512));
}

TEST_F(TerrainLayerTest, AnOddGrowthBlendsNeighbouringColumns) {
    fill(*terrain->heightmapImageRep(), pattern);
    const Bitmap original = *terrain->heightmapImageRep();
    scene->setSize({10.01, 10});  // 1025 columns: half a pixel of margin on each side
    const Bitmap* grown = terrain->heightmapImageRep();
    ASSERT_EQ(grown->width(), 1025);
    EXPECT_EQ(grown->gray16(0, 3), std::lround(original.gray16(0, 3) * 0.5));
    EXPECT_EQ(grown->gray16(400, 3), std::lround((original.gray16(399, 3) + original.gray16(400, 3)) * 0.5));
    EXPECT_EQ(grown->gray16(1024, 3), std::lround(original.gray16(1023, 3) * 0.5));
}

TEST_F(TerrainLayerTest, UndoOfAStrokeRestoresTheMapAndRedoReappliesIt) {
    auto undo = std::make_shared<UndoManager>();
    undo->setGroupsByEvent(false);
    scene->setUndoManager(undo);
    fill(*terrain->heightmapImageRep(), pattern);
    const Bitmap before = *terrain->heightmapImageRep();

    int notifications = 0;
    NotificationObservation watch(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName,
                                  scene.get(), [&](const Notification&) { ++notifications; });
    terrain->startHeightmapChange();
    EXPECT_TRUE(terrain->hasHeightmapSnapshot());
    for (int column = 100; column < 200; ++column) terrain->heightmapImageRep()->setGray16(column, 50, 60000);
    terrain->endHeightmapChange();
    EXPECT_FALSE(terrain->hasHeightmapSnapshot());
    EXPECT_EQ(notifications, 1);
    const Bitmap after = *terrain->heightmapImageRep();
    ASSERT_FALSE(after == before);
    ASSERT_EQ(undo->undoCount(), 1u);

    undo->undo();
    EXPECT_TRUE(*terrain->heightmapImageRep() == before);
    EXPECT_TRUE(undo->canRedo());
    undo->redo();
    EXPECT_TRUE(*terrain->heightmapImageRep() == after);
    undo->undo();
    EXPECT_TRUE(*terrain->heightmapImageRep() == before);
}

TEST_F(TerrainLayerTest, SettersPostAChangeAndRegisterNoUndo) {
    auto undo = std::make_shared<UndoManager>();
    undo->setGroupsByEvent(false);
    scene->setUndoManager(undo);
    int notifications = 0;
    NotificationObservation watch(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName,
                                  scene.get(), [&](const Notification&) { ++notifications; });
    terrain->setBorderMode(2);
    terrain->setSmoothingFactor(30);
    EXPECT_EQ(notifications, 2);
    EXPECT_EQ(undo->undoCount(), 0u);
}

TEST_F(TerrainLayerTest, ACopyPlacedInAnotherSceneIsRecutToItsSize) {
    fill(*terrain->heightmapImageRep(), pattern);
    terrain->setBorderMode(2);
    terrain->setSmoothingFactor(12);
    auto copy = std::dynamic_pointer_cast<TerrainLayer>(terrain->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->scene(), nullptr);
    EXPECT_TRUE(*copy->heightmapImageRep() == *terrain->heightmapImageRep());
    EXPECT_EQ(copy->borderMode(), 2);
    EXPECT_EQ(copy->smoothingFactor(), 12.0f);

    Scene preview;
    preview.setSize({20, 10});
    copy->setScene(&preview);
    ASSERT_EQ(copy->heightmapImageRep()->width(), 2048);
    EXPECT_EQ(copy->heightmapImageRep()->gray16(512 + 33, 44), pattern(33, 44));
    preview.addLayer(copy);
}

TEST_F(TerrainLayerTest, ArchiveRoundTripKeepsTheMapBitForBit) {
    scene->setSize({6, 4});
    fill(*terrain->heightmapImageRep(), pattern);
    terrain->setBorderMode(2);
    terrain->setSmoothingFactor(20);
    std::string error;
    auto decoded =
        KeyedUnarchiver::unarchiveRoot<Scene>(KeyedArchiver::archivedData(*scene), "scene", &error);
    ASSERT_TRUE(decoded) << error;
    auto layers = decoded->layersOfClass<TerrainLayer>();
    ASSERT_EQ(layers.size(), 1u);
    EXPECT_EQ(layers[0]->scene(), decoded.get());
    EXPECT_TRUE(*layers[0]->heightmapImageRep() == *terrain->heightmapImageRep());
    EXPECT_EQ(layers[0]->borderMode(), 2);
    EXPECT_EQ(layers[0]->smoothingFactor(), 20.0f);
}

// Writes a scene holding one terrain layer with only the keys a test chooses.
class PartialTerrainWriter final : public Archivable {
public:
    PartialTerrainWriter(const Archivable* scene, std::function<void(KeyedArchiver&)> write)
        : scene_(scene), write_(std::move(write)) {}
    std::string archiveClassName() const override { return "TerrainLayer"; }
    void encode(KeyedArchiver& coder) const override {
        coder.encodeObject("scene", scene_);
        write_(coder);
    }
    void decode(KeyedUnarchiver&) override {}

private:
    const Archivable* scene_;
    std::function<void(KeyedArchiver&)> write_;
};
class SceneOfOneLayerWriter final : public Archivable {
public:
    std::string archiveClassName() const override { return "Scene"; }
    void encode(KeyedArchiver& coder) const override {
        coder.encodeObjects("layers", layers);
        coder.encodeSize("size", {10, 10});
    }
    void decode(KeyedUnarchiver&) override {}
    std::vector<std::shared_ptr<Archivable>> layers;
};

std::shared_ptr<Scene> decodeWithTerrainKeys(std::function<void(KeyedArchiver&)> write, std::string* error,
                                             std::vector<std::string>* repairs = nullptr) {
    SceneOfOneLayerWriter writer;
    writer.layers.push_back(std::make_shared<PartialTerrainWriter>(&writer, std::move(write)));
    return KeyedUnarchiver::unarchiveRoot<Scene>(KeyedArchiver::archivedData(writer), "scene", error, repairs);
}

TEST_F(TerrainLayerTest, ArchiveWithoutBorderOrSmoothingLoadsTheirDefaults) {
    Bitmap stored(16, 8, PixelFormat::Gray16);
    stored.setGray16(3, 2, 1234);
    std::string error;
    auto decoded = decodeWithTerrainKeys(
        [&](KeyedArchiver& c) { c.encodeData("pngHeightmapData", encodePng(stored)); }, &error);
    ASSERT_TRUE(decoded) << error;
    auto layer = decoded->layersOfClass<TerrainLayer>().at(0);
    EXPECT_EQ(layer->borderMode(), 0);
    EXPECT_EQ(layer->smoothingFactor(), 45.0f);
    // The stored map keeps its own size; it is not re-cut to the scene.
    EXPECT_TRUE(*layer->heightmapImageRep() == stored);
}

TEST_F(TerrainLayerTest, ArchiveWithoutHeightmapIsRejectedAndAnUnreadableOneBecomesFlat) {
    std::string error;
    EXPECT_FALSE(decodeWithTerrainKeys([](KeyedArchiver& c) { c.encodeInt32("borderMode", 1); }, &error));
    EXPECT_NE(error.find("pngHeightmapData"), std::string::npos) << error;
    EXPECT_NE(error.find("missing"), std::string::npos) << error;

    // Junk keeps the rest of the layer; the map is flat at the size a 10 × 10 scene has.
    const std::vector<uint8_t> junk = {0x89, 'P', 'N', 'G', 1, 2, 3};
    std::vector<std::string> repairs;
    auto decoded = decodeWithTerrainKeys(
        [&](KeyedArchiver& c) {
            c.encodeData("pngHeightmapData", junk);
            c.encodeInt32("borderMode", 1);
        },
        &error, &repairs);
    ASSERT_TRUE(decoded) << error;
    auto layer = decoded->layersOfClass<TerrainLayer>().at(0);
    EXPECT_EQ(layer->borderMode(), 1);
    EXPECT_EQ(*layer->heightmapImageRep(), Bitmap(1024, 1024, PixelFormat::Gray16));
    ASSERT_EQ(repairs.size(), 1u);
    EXPECT_NE(repairs[0].find("the terrain heightmap is damaged"), std::string::npos) << repairs[0];
}

TEST_F(TerrainLayerTest, ImportDrawsThePictureFlippedAsOneUndoStep) {
    auto undo = std::make_shared<UndoManager>();
    undo->setGroupsByEvent(false);
    scene->setUndoManager(undo);
    Bitmap picture(1024, 1024, PixelFormat::Gray16);
    fill(picture, pattern);
    std::string error;
    ASSERT_TRUE(terrain->importHeightmap(encodePng(picture), &error)) << error;
    // The picture's top row is the top of the plan view: the heightmap's last row. 16 bits survive.
    for (int row : {0, 1, 600, 1023})
        for (int column : {0, 5, 1023})
            EXPECT_EQ(terrain->heightmapImageRep()->gray16(column, 1023 - row), picture.gray16(column, row));
    EXPECT_EQ(undo->undoCount(), 1u);
    undo->undo();
    EXPECT_EQ(terrain->heightmapImageRep()->gray16(5, 1023), 0);
}

TEST_F(TerrainLayerTest, ExportThenImportReproducesTheMapBitForBit) {
    fill(*terrain->heightmapImageRep(), pattern);
    const Bitmap original = *terrain->heightmapImageRep();
    std::vector<uint8_t> png = terrain->exportHeightmapPng();
    ImageDecodeResult exported = decodeImage(png);
    ASSERT_TRUE(exported.bitmap);
    EXPECT_EQ(exported.bitmap->format(), PixelFormat::Gray16);
    EXPECT_EQ(exported.bitmap->gray16(7, 0), original.gray16(7, 1023));

    fill(*terrain->heightmapImageRep(), [](int, int) { return uint16_t{0}; });
    ASSERT_TRUE(terrain->importHeightmap(png, nullptr));
    EXPECT_TRUE(*terrain->heightmapImageRep() == original);
}

TEST_F(TerrainLayerTest, ImportScalesSmallerAndColourPicturesAndRejectsJunk) {
    Bitmap small(2, 2, PixelFormat::Gray8);
    small.setGray8(0, 0, 255);
    small.setGray8(1, 0, 255);  // top row white, bottom row black
    std::string error;
    ASSERT_TRUE(terrain->importHeightmap(encodePng(small), &error)) << error;
    const Bitmap& map = *terrain->heightmapImageRep();
    EXPECT_EQ(map.gray16(10, 1023), 65535);
    EXPECT_EQ(map.gray16(1000, 0), 0);
    EXPECT_GT(map.gray16(500, 512), 20000);
    EXPECT_LT(map.gray16(500, 512), 45000);

    Bitmap colour(4, 4, PixelFormat::RGB8);
    ASSERT_TRUE(terrain->importHeightmap(encodeTiff(colour), &error)) << error;
    EXPECT_EQ(terrain->heightmapImageRep()->gray16(10, 10), 0);

    const Bitmap kept = *terrain->heightmapImageRep();
    EXPECT_FALSE(terrain->importHeightmap(std::vector<uint8_t>{1, 2, 3, 4}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(*terrain->heightmapImageRep() == kept);
}

TEST_F(TerrainLayerTest, HeightStatisticsAreInSceneUnits) {
    fill(*terrain->heightmapImageRep(),
         [](int column, int) { return static_cast<uint16_t>(column < 512 ? 0 : 65535); });
    TerrainLayer::HeightStatistics stats = terrain->heightStatistics();
    EXPECT_EQ(stats.minimum, 0.0f);
    EXPECT_FLOAT_EQ(stats.maximum, 4.0f);
    EXPECT_FLOAT_EQ(stats.mean, 2.0f);
}

// Stands in for the terrain texture layer.
class MaterialLayer final : public BaseSceneLayer, public TerrainMaterialSource {
public:
    MaterialLayer(const TerrainLayer* terrain, int tag) : terrain_(terrain), tag_(tag) {}
    std::string archiveClassName() const override { return "TerrainLayerTestMaterialLayer"; }
    std::shared_ptr<BaseSceneLayer> copy() const override {
        return std::make_shared<MaterialLayer>(terrain_, tag_);
    }
    const TerrainLayer* terrainLayer() const override { return terrain_; }
    const yafaray::material_t* createTerrainMaterialForRenderer(BaseRenderer&) override {
        ++calls;
        return reinterpret_cast<const yafaray::material_t*>(static_cast<uintptr_t>(tag_));
    }
    int calls = 0;

private:
    const TerrainLayer* terrain_;
    int tag_;
};

TEST_F(TerrainLayerTest, MaterialComesFromTheFirstLayerThatDressesThisTerrain) {
    class NoRenderer : public BaseRenderer {
    } renderer;
    EXPECT_EQ(terrain->materialFromLayerForRenderer(renderer), nullptr);
    TerrainLayer other(scene.get());
    auto foreign = std::make_shared<MaterialLayer>(&other, 8);
    auto first = std::make_shared<MaterialLayer>(terrain.get(), 16);
    auto second = std::make_shared<MaterialLayer>(terrain.get(), 24);
    scene->addLayer(foreign);
    scene->addLayer(first);
    scene->addLayer(second);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(terrain->materialFromLayerForRenderer(renderer)), 16u);
    EXPECT_EQ(foreign->calls, 0);
    EXPECT_EQ(second->calls, 0);
}

TEST_F(TerrainLayerTest, LayerTableValues) {
    EXPECT_EQ(terrain->name(), "Terrain Elevation");
    EXPECT_EQ(terrain->icon(), "TerrainLayerIcon.png");
    EXPECT_EQ(terrain->editLayerClassName(), "EditTerrainLayerViewController");
    EXPECT_EQ(terrain->orderForFunctionsList(), 1);
    EXPECT_FALSE(terrain->canBeDeleted());
    auto created = SceneLayerRegistry::shared().createLayer("TerrainLayer", scene.get());
    ASSERT_TRUE(std::dynamic_pointer_cast<TerrainLayer>(created));
    EXPECT_EQ(std::dynamic_pointer_cast<TerrainLayer>(created)->heightmapImageRep()->width(), 1024);
}

}  // namespace
}  // namespace korvane
