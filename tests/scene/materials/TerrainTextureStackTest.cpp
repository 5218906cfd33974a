// The texture layer's stack over a real terrain: the blend chain it renders, masks re-cut on size
// changes, undo of a mask stroke, the presets' maps and fills, and the steepness window at the edges.
#include <gtest/gtest.h>

#include <memory>

#include "MaterialTestSupport.h"
#include "foundation/UndoManager.h"
#include "scene/Scene.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/MaskAutoFill.h"
#include "scene/layers/texture/TerrainTextureLayer.h"
#include "scene/shaders/TextureMapperShader.h"
#include "scene/textures/MarbleTexture.h"

namespace korvane {
namespace {

using Calls = std::vector<std::string>;

// Sizes of exactly 16, 24, 32 and 64 heightmap pixels (102.4 pixels per scene unit).
constexpr double k16 = 0.15625, k24 = 0.234375, k32 = 0.3125, k64 = 0.625;

class TerrainTextureStackTest : public ::testing::Test {
protected:
    void build(Size size) {
        undo_ = std::make_shared<UndoManager>();
        undo_->setGroupsByEvent(false);
        scene_.setUndoManager(undo_);
        scene_.setSize(size);
        terrain_ = std::make_shared<TerrainLayer>(&scene_);
        scene_.addLayer(terrain_);
        layer_ = std::make_shared<TerrainTextureLayer>(&scene_, terrain_);
        scene_.addLayer(layer_);
        undo_->removeAllActions();
    }
    // Flat on the left half, rising steeply across the right half.
    void makeHalfFlatHalfSteep() {
        Bitmap& heights = *terrain_->heightmapImageRep();
        for (int y = 0; y < heights.height(); ++y) {
            for (int x = 0; x < heights.width(); ++x) {
                const int half = heights.width() / 2;
                heights.setGray16(x, y, static_cast<uint16_t>(x < half ? 2000 : 2000 + (x - half) * 1500));
            }
        }
    }

    Scene scene_;
    std::shared_ptr<UndoManager> undo_;
    std::shared_ptr<TerrainLayer> terrain_;
    std::shared_ptr<TerrainTextureLayer> layer_;
};

Calls matching(const Calls& calls, const std::string& prefix) {
    Calls found;
    for (const std::string& call : calls) {
        if (call.rfind(prefix, 0) == 0) found.push_back(call);
    }
    return found;
}

TEST_F(TerrainTextureStackTest, NewLayerRendersTheBaseMaterialAloneWithTheHeightmapScales) {
    build({k64, k32});
    RecordingRenderer renderer;
    ASSERT_EQ(layer_->materialMaps().size(), 1u);
    layer_->createTerrainMaterialForRenderer(renderer);
    const Calls materials = matching(renderer.calls(), "createMaterial");
    ASSERT_EQ(materials.size(), 1u);
    EXPECT_EQ(materials[0],
              "createMaterial \"" + layer_->materialMaps()[0]->material()->materialNameForRenderer() + "\"");
    // 64 / 1024 and 32 / 1024 on both of redrocks3's texture mappers.
    EXPECT_EQ(matching(renderer.calls(), "paramsSetPoint").size(), 2u);
    EXPECT_NE(renderer.recorder.indexOf("paramsSetPoint \"scale\" 0.0625 0.03125 1"), -1);
}

TEST_F(TerrainTextureStackTest, ThreeMapsRenderAsALeftDeepBlendChain) {
    build({k16, k16});
    layer_->addNewMaterialMap();
    layer_->addNewMaterialMap();
    const auto& maps = layer_->materialMaps();
    ASSERT_EQ(maps.size(), 3u);
    RecordingRenderer renderer;
    layer_->createTerrainMaterialForRenderer(renderer);

    const Calls materials = matching(renderer.calls(), "createMaterial");
    ASSERT_EQ(materials.size(), 5u);
    auto created = [](const std::shared_ptr<TerrainTextureLayerMaterialMap>& map) {
        return "createMaterial \"" + map->material()->materialNameForRenderer() + "\"";
    };
    // Base, map 1, the inner blend; then map 2 and the outer blend.
    EXPECT_EQ(materials[0], created(maps[0]));
    EXPECT_EQ(materials[1], created(maps[1]));
    EXPECT_EQ(materials[3], created(maps[2]));
    const std::string innerBlend = materials[2].substr(std::string("createMaterial \"").size());
    const std::string innerName = innerBlend.substr(0, innerBlend.size() - 1);

    const Calls first = matching(renderer.calls(), "paramsSetString \"material1\"");
    const Calls second = matching(renderer.calls(), "paramsSetString \"material2\"");
    EXPECT_EQ(first, (Calls{str("material1", maps[0]->material()->materialNameForRenderer()),
                            str("material1", innerName)}));
    EXPECT_EQ(second, (Calls{str("material2", maps[1]->material()->materialNameForRenderer()),
                             str("material2", maps[2]->material()->materialNameForRenderer())}));
    // One image texture per mask, each created before the blend that names it.
    const Calls images = matching(renderer.calls(), str("type", "fixedimagetexture"));
    EXPECT_EQ(images.size(), 2u);
    EXPECT_EQ(matching(renderer.calls(), str("type", "fixed_blend_mat")).size(), 2u);
}

TEST_F(TerrainTextureStackTest, MasksAreCentredWhenTheSceneGrowsAndKeptFromTheOriginWhenItShrinks) {
    build({k16, k16});
    auto map = layer_->addNewMaterialMap();
    Bitmap& mask = *map->maskImageRep();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) mask.setGray8(x, y, static_cast<uint8_t>(x * 16 + y));
    const Bitmap painted = mask;

    scene_.setSize({k24, k24});
    const Bitmap grown = *map->maskImageRep();
    ASSERT_EQ(grown.width(), 24);
    ASSERT_EQ(grown.height(), 24);
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 24; ++x) {
            const bool inside = x >= 4 && x < 20 && y >= 4 && y < 20;
            ASSERT_EQ(grown.gray8(x, y), inside ? painted.gray8(x - 4, y - 4) : 0) << x << "," << y;
        }
    }
    EXPECT_EQ(layer_->materialMaps()[0]->maskImageRep(), nullptr);  // the base map stays without one

    // Back to 16: the drawing origin is the lower-left corner, so the last 16 rows of data and the
    // first 16 columns remain.
    scene_.setSize({k16, k16});
    const Bitmap& shrunk = *map->maskImageRep();
    ASSERT_EQ(shrunk.width(), 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) ASSERT_EQ(shrunk.gray8(x, y), grown.gray8(x, y + 8)) << x << "," << y;
    }
}

TEST_F(TerrainTextureStackTest, UndoingAMaskStrokeRestoresTheMaskAndRedoBringsTheStrokeBack) {
    build({k16, k16});
    auto map = layer_->addNewMaterialMap();
    undo_->removeAllActions();
    map->maskImageRep()->setGray8(3, 3, 40);
    const Bitmap before = *map->maskImageRep();

    map->startMaskChange();
    for (int x = 0; x < 16; ++x) map->maskImageRep()->setGray8(x, 7, 200);
    map->endMaskChange();
    const Bitmap stroke = *map->maskImageRep();
    EXPECT_EQ(map->maskImageRepForUndo(), nullptr);
    ASSERT_EQ(undo_->undoCount(), 1u);

    undo_->undo();
    EXPECT_TRUE(*map->maskImageRep() == before);
    undo_->redo();
    EXPECT_TRUE(*map->maskImageRep() == stroke);
    undo_->undo();
    EXPECT_TRUE(*map->maskImageRep() == before);
}

TEST_F(TerrainTextureStackTest, SnowAndRedRocksReplacesPaintedMapsWithSnowBelowAndRocksOnTheSlope) {
    build({k64, k32});
    makeHalfFlatHalfSteep();
    for (int i = 0; i < 3; ++i) layer_->addNewMaterialMap()->maskImageRep()->setGray8(1, 1, 99);

    layer_->configureWithPresetDictionary({"Snow & Red Rocks", "snowredrocks"});
    const auto& maps = layer_->materialMaps();
    ASSERT_EQ(maps.size(), 2u);
    EXPECT_EQ(maps[0]->maskImageRep(), nullptr);
    const DiffuseMaterial& snow = *maps[0]->material();
    EXPECT_FALSE(snow.useDiffuseShader());
    EXPECT_FLOAT_EQ(static_cast<float>(snow.color()->red), 0.9f);
    EXPECT_FLOAT_EQ(snow.spectacularReflect(), 0.3f);
    const DiffuseMaterial& rocks = *maps[1]->material();
    ASSERT_TRUE(rocks.useDiffuseShader());
    auto mapper = std::dynamic_pointer_cast<TextureMapperShader>(rocks.diffuseShader());
    ASSERT_TRUE(mapper);
    auto marble = std::dynamic_pointer_cast<MarbleTexture>(mapper->texture());
    ASSERT_TRUE(marble);
    EXPECT_EQ(marble->size(), 100.0f);  // redrocks3

    // The mask is S(0.1, 0.4) of the terrain: nothing on the flat half, full on the slope.
    const Bitmap& mask = *maps[1]->maskImageRep();
    Bitmap expected(64, 32, PixelFormat::Gray8);
    ASSERT_TRUE(applySteepnessFill(expected, *terrain_->heightmapImageRep(), 0, 0.1f, 0.4f));
    EXPECT_TRUE(mask == expected);
    for (int y = 0; y < 32; ++y) {
        EXPECT_EQ(mask.gray8(8, y), 0);
        EXPECT_EQ(mask.gray8(50, y), 255);
    }
}

TEST_F(TerrainTextureStackTest, SnowyPresetFillsMapsInItsOwnOrder) {
    build({k32, k32});
    Bitmap& heights = *terrain_->heightmapImageRep();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) heights.setGray16(x, y, static_cast<uint16_t>(x * 2048));
    layer_->configureWithPresetDictionary({"", "lightearthdarkearthsnowdarkrocks"});
    const auto& maps = layer_->materialMaps();
    ASSERT_EQ(maps.size(), 5u);
    // Map 2 (dark earth) around half height, map 4 (snow) above 0.8 with a 0.25 fade.
    Bitmap band(32, 32, PixelFormat::Gray8), snow(32, 32, PixelFormat::Gray8);
    applyHeightFill(band, heights, kHeightFillAround, 0.5f, 0.5f);
    applyHeightFill(snow, heights, kHeightFillAbove, 0.25f, 0.8f);
    EXPECT_TRUE(*maps[1]->maskImageRep() == band);
    EXPECT_TRUE(*maps[3]->maskImageRep() == snow);
    EXPECT_EQ(maps[3]->maskImageRep()->gray8(31, 0), 255);
    EXPECT_EQ(maps[3]->maskImageRep()->gray8(0, 0), 0);
}

TEST_F(TerrainTextureStackTest, ACopyInACopiedSceneDressesTheCopiedTerrain) {
    build({k16, k16});
    // The renderer's snapshot: every layer copied, in stack order, into a new scene.
    Scene snapshot;
    snapshot.setSize(scene_.size());
    for (const auto& layer : scene_.layers()) {
        auto copy = layer->copy();
        copy->setScene(&snapshot);
        snapshot.addLayer(copy);
    }
    auto terrainCopy = snapshot.layersOfClass<TerrainLayer>().front();
    auto textureCopy = snapshot.layersOfClass<TerrainTextureLayer>().front();
    ASSERT_NE(terrainCopy, terrain_);
    EXPECT_EQ(textureCopy->terrainLayer(), terrainCopy.get());
    EXPECT_EQ(textureCopy->materialMaps(), layer_->materialMaps());
    EXPECT_EQ(layer_->terrainLayer(), terrain_.get());

    // So the copied terrain renders with the stack's material rather than none.
    RecordingRenderer renderer;
    terrainCopy->materialFromLayerForRenderer(renderer);
    const std::string base = layer_->materialMaps()[0]->material()->materialNameForRenderer();
    EXPECT_NE(renderer.recorder.indexOf("createMaterial \"" + base + "\""), -1);
}

Bitmap columnSpike(int width, int height, int spikeColumn) {
    Bitmap heights(width, height, PixelFormat::Gray16);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) heights.setGray16(x, y, x == spikeColumn ? 40000 : 10000);
    return heights;
}

TEST(SteepnessWindowTest, TheWindowStartsAtZeroForTheFirstColumnsAndEndsBeforeTheLastOne) {
    // A spike in column 0 is seen by the pixels whose window starts at column 0: x = 0, 1, 2.
    Bitmap map(12, 6, PixelFormat::Gray8);
    ASSERT_TRUE(applySteepnessFill(map, columnSpike(12, 6, 0), 0, 0.0f, 1.0f));
    for (int x = 0; x < 12; ++x) EXPECT_EQ(map.gray8(x, 2), x <= 2 ? 255 : 0) << x;

    // At the far edge the window is pulled back to end one pixel before the edge (columns 7 … 10 of
    // 12): a spike in the last column is seen by that column alone.
    ASSERT_TRUE(applySteepnessFill(map, columnSpike(12, 6, 11), 0, 0.0f, 1.0f));
    for (int x = 0; x < 12; ++x) EXPECT_EQ(map.gray8(x, 3), x == 11 ? 255 : 0) << x;

    // Rows follow the same rule: a spike row 0 of a transposed map reaches rows 0, 1 and 2.
    Bitmap rows(6, 12, PixelFormat::Gray16);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 6; ++x) rows.setGray16(x, y, y == 0 ? 40000 : 10000);
    Bitmap tall(6, 12, PixelFormat::Gray8);
    ASSERT_TRUE(applySteepnessFill(tall, rows, 0, 0.0f, 1.0f));
    for (int y = 0; y < 12; ++y) EXPECT_EQ(tall.gray8(2, y), y <= 2 ? 255 : 0) << y;
}

TEST(SteepnessWindowTest, TypeOneFillsTheFlatsAndOtherTypesWriteZero) {
    Bitmap heights = columnSpike(12, 6, 0);
    Bitmap map(12, 6, PixelFormat::Gray8);
    applySteepnessFill(map, heights, kSteepnessFillFlatAreas, 0.0f, 1.0f);
    EXPECT_EQ(map.gray8(0, 0), 0);
    EXPECT_EQ(map.gray8(8, 0), 255);
    map.setGray8(8, 0, 17);
    applySteepnessFill(map, heights, 5, 0.0f, 1.0f);
    EXPECT_EQ(map.gray8(8, 0), 0);
    applyHeightFill(map, heights, 9, 0.5f, 0.5f);
    EXPECT_EQ(map.gray8(0, 0), 0);
}

}  // namespace
}  // namespace korvane
