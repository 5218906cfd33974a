// The auto-fill sheets' preview, ok and cancel protocol on a material map's mask.
#include <gtest/gtest.h>

#include <memory>

#include "editing/AutoFillSheetController.h"
#include "editing/MaterialMapEditTarget.h"
#include "foundation/UndoManager.h"
#include "scene/Scene.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {
namespace {

class CountingDelegate final : public AutoFillRedrawDelegate {
public:
    void autoFillSheetAlteredBitmapImageRep() override { ++redraws; }
    int redraws = 0;
};

class AutoFillTest : public ::testing::Test {
protected:
    void SetUp() override {
        undo_ = std::make_shared<UndoManager>();
        undo_->setGroupsByEvent(false);
        scene_.setUndoManager(undo_);
        scene_.setSize({0.625, 0.3125});  // a 64 × 32 heightmap
        terrain_ = std::make_shared<TerrainLayer>(&scene_);
        ASSERT_NE(terrain_->heightmapImageRep(), nullptr);
        Bitmap& heights = *terrain_->heightmapImageRep();
        ASSERT_EQ(heights.width(), 64);
        // Flat on the left half, a steep ramp on the right half.
        for (int y = 0; y < heights.height(); ++y) {
            for (int x = 0; x < heights.width(); ++x)
                heights.setGray16(x, y, static_cast<uint16_t>(x < 32 ? 1000 : 1000 + (x - 32) * 2000));
        }
        layer_ = std::make_shared<TerrainTextureLayer>(&scene_, terrain_);
        map_ = layer_->addNewMaterialMap();
        ASSERT_NE(map_->maskImageRep(), nullptr);
        // Something painted, so that a reset has to bring back more than a blank mask.
        Bitmap& mask = *map_->maskImageRep();
        for (int x = 0; x < mask.width(); ++x) mask.setGray8(x, 5, static_cast<uint8_t>(x * 3));
        undo_->removeAllActions();
    }

    Scene scene_;
    std::shared_ptr<UndoManager> undo_;
    std::shared_ptr<TerrainLayer> terrain_;
    std::shared_ptr<TerrainTextureLayer> layer_;
    std::shared_ptr<TerrainTextureLayerMaterialMap> map_;
};

TEST_F(AutoFillTest, CancelAfterSeveralPreviewsRestoresTheMaskByteForByte) {
    const Bitmap opened = *map_->maskImageRep();
    MaterialMapEditTarget target(map_);
    CountingDelegate delegate;
    SteepnessAutoFillSheet sheet(target, *terrain_, &delegate);
    sheet.sheetDidAppear();
    EXPECT_FALSE(*map_->maskImageRep() == opened);
    sheet.setType(1);
    sheet.valueChanged();
    sheet.setThreshold(0.9f);
    sheet.valueChanged();
    sheet.cancel();

    EXPECT_TRUE(*map_->maskImageRep() == opened);
    EXPECT_EQ(delegate.redraws, 4);
    EXPECT_EQ(undo_->undoCount(), 0u);
    EXPECT_TRUE(sheet.isClosed());
    sheet.valueChanged();  // a closed sheet no longer touches the map
    EXPECT_TRUE(*map_->maskImageRep() == opened);
}

TEST_F(AutoFillTest, PreviewsStartFromTheOpenedStateAndDoNotAccumulate) {
    const Bitmap opened = *map_->maskImageRep();
    MaterialMapEditTarget target(map_);
    HeightAutoFillSheet sheet(target, *terrain_, nullptr);
    sheet.setType(2);
    sheet.setHeight(0.9f);
    sheet.setThreshold(0.05f);
    sheet.valueChanged();
    sheet.setHeight(0.3f);
    sheet.valueChanged();

    Bitmap direct = opened;
    ASSERT_TRUE(
        HeightAutoFillSheet::applyFunctionToBitmap(direct, *terrain_->heightmapImageRep(), 2, 0.05f, 0.3f));
    EXPECT_TRUE(*map_->maskImageRep() == direct);
    EXPECT_TRUE(sheet.originalImageRep() == opened);
    sheet.cancel();
}

TEST_F(AutoFillTest, OkIsOneUndoStepThatRestoresTheOpenedMaskAndRedoesTheFill) {
    const Bitmap opened = *map_->maskImageRep();
    MaterialMapEditTarget target(map_);
    CountingDelegate delegate;
    SteepnessAutoFillSheet sheet(target, *terrain_, &delegate);
    sheet.setThreshold(0.1f);
    sheet.setStrength(0.4f);
    sheet.sheetDidAppear();
    sheet.valueChanged();
    const Bitmap filled = *map_->maskImageRep();
    sheet.ok();

    EXPECT_TRUE(*map_->maskImageRep() == filled);
    EXPECT_EQ(delegate.redraws, 3);
    ASSERT_EQ(undo_->undoCount(), 1u);
    // The flat half carries no rock, the ramp is full of it.
    EXPECT_EQ(map_->maskImageRep()->gray8(10, 10), 0);
    EXPECT_EQ(map_->maskImageRep()->gray8(48, 10), 255);

    undo_->undo();
    EXPECT_TRUE(*map_->maskImageRep() == opened);
    undo_->redo();
    EXPECT_TRUE(*map_->maskImageRep() == filled);
}

TEST_F(AutoFillTest, OkWithoutAChangeLeavesNoUndoStep) {
    MaterialMapEditTarget target(map_);
    HeightAutoFillSheet sheet(target, *terrain_, nullptr);
    sheet.ok();
    EXPECT_EQ(undo_->undoCount(), 0u);
}

TEST_F(AutoFillTest, TheBaseMapOffersNoMaskAndTheSheetDoesNothing) {
    MaterialMapEditTarget target(layer_->materialMaps()[0]);
    ASSERT_EQ(target.imageRepToEdit(), nullptr);
    CountingDelegate delegate;
    SteepnessAutoFillSheet sheet(target, *terrain_, &delegate);
    EXPECT_EQ(sheet.title(), "Steepness Auto Fill");
    sheet.sheetDidAppear();
    sheet.ok();
    EXPECT_EQ(undo_->undoCount(), 0u);
    EXPECT_EQ(layer_->materialMaps()[0]->maskImageRep(), nullptr);
}

}  // namespace
}  // namespace korvane
