// The terrain texture layer's stack operations and the automatic mask fills.
#include <gtest/gtest.h>

#include "MaterialTestSupport.h"
#include "scene/layers/texture/MaskAutoFill.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {
namespace {

TEST(TerrainTextureLayerTest, NewLayerHasOneRedRocksBaseMapWithoutMask) {
    TerrainTextureLayer layer;
    ASSERT_EQ(layer.materialMaps().size(), 1u);
    EXPECT_EQ(layer.materialMaps()[0]->name(), "Base Layer");
    EXPECT_FALSE(layer.materialMaps()[0]->maskImageRep());
    EXPECT_EQ(layer.materialMaps()[0]->material()->bumpStrength(), 1.0f);  // redrocks3
}

TEST(TerrainTextureLayerTest, MoveUsesTheSlotBeforeTheMove) {
    TerrainTextureLayer layer;
    for (int i = 0; i < 3; ++i) layer.addNewMaterialMap();
    auto maps = layer.materialMaps();
    layer.moveMaterialMap(maps[1], 3);
    EXPECT_EQ(layer.indexOfMaterialMap(maps[1].get()), 2);
    maps = layer.materialMaps();
    layer.moveMaterialMap(maps[3], 1);
    EXPECT_EQ(layer.indexOfMaterialMap(maps[3].get()), 1);
    maps = layer.materialMaps();
    layer.moveMaterialMap(maps[0], 99);
    EXPECT_EQ(layer.indexOfMaterialMap(maps[0].get()), 3);
    EXPECT_EQ(layer.materialMaps()[2]->name(), "Layer 2");
}

TEST(TerrainTextureLayerTest, UnknownPresetLeavesNoMapsButStillRendersAPlainMaterial) {
    TerrainTextureLayer layer;
    layer.configureWithPresetDictionary({"", "no such stack"});
    EXPECT_TRUE(layer.materialMaps().empty());
    RecordingRenderer renderer;
    layer.createTerrainMaterialForRenderer(renderer);
    EXPECT_NE(renderer.recorder.indexOf(str("type", "shinydiffusemat")), -1);
    ASSERT_EQ(TerrainTextureLayer::presetDictionaries().size(), 18u);
    EXPECT_EQ(TerrainTextureLayer::presetDictionaries()[11].presetKey, "snowredrocks");
}

Bitmap heightmap(int w, int h, uint16_t (*f)(int, int)) {
    Bitmap b(w, h, PixelFormat::Gray16);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setGray16(x, y, f(x, y));
    return b;
}

TEST(MaskAutoFillTest, SteepnessOnFlatTerrainAndAtTheThresholds) {
    Bitmap flat = heightmap(8, 8, [](int, int) -> uint16_t { return 30000; });
    Bitmap map(8, 8, PixelFormat::Gray8);
    ASSERT_TRUE(applySteepnessFill(map, flat, 0, 0.5f, 1.0f));
    for (int i = 0; i < 64; ++i) EXPECT_EQ(map.data()[i], 0);
    applySteepnessFill(map, flat, 1, 0.5f, 1.0f);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(map.data()[i], 255);
    applySteepnessFill(map, flat, 0, 1.0f, 1.0f);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(map.data()[i], 255);
    applySteepnessFill(map, flat, 1, 1.0f, 1.0f);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(map.data()[i], 0);
    Bitmap wrong(4, 4, PixelFormat::Gray8);
    EXPECT_FALSE(applySteepnessFill(wrong, map, 0, 0, 1));
}

TEST(MaskAutoFillTest, HeightFillAboveAndAround) {
    Bitmap ramp = heightmap(3, 1, [](int x, int) -> uint16_t {
        const double h[] = {0.5, 0.45, 0.4};
        return static_cast<uint16_t>(h[x] * 65535 + 0.5);
    });
    Bitmap map(3, 1, PixelFormat::Gray8);
    ASSERT_TRUE(applyHeightFill(map, ramp, 2, 0.1f, 0.5f));
    EXPECT_EQ(map.gray8(0, 0), 255);
    EXPECT_EQ(map.gray8(1, 0), 127);
    EXPECT_EQ(map.gray8(2, 0), 0);
    Bitmap exact = heightmap(2, 1, [](int x, int) -> uint16_t { return x == 0 ? 0 : 65535; });
    Bitmap band(2, 1, PixelFormat::Gray8);
    applyHeightFill(band, exact, 0, 0.0f, 1.0f);
    EXPECT_EQ(band.gray8(0, 0), 0);
    EXPECT_EQ(band.gray8(1, 0), 255);
}

}  // namespace
}  // namespace korvane
