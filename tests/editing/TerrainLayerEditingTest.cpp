#include <gtest/gtest.h>

#include <memory>

#include "editing/MapSamples.h"
#include "editing/ShapeBrushes.h"
#include "editing/TerrainLayerEditing.h"
#include "foundation/UndoManager.h"
#include "scene/Scene.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane {
namespace {

class TerrainLayerEditingTest : public ::testing::Test {
protected:
    void SetUp() override {
        undo_ = std::make_shared<UndoManager>();
        undo_->setGroupsByEvent(false);
        scene_.setUndoManager(undo_);
        layer_ = std::make_shared<TerrainLayer>(&scene_);
        undo_->removeAllActions();
    }
    Scene scene_;
    std::shared_ptr<UndoManager> undo_;
    std::shared_ptr<TerrainLayer> layer_;
};

TEST_F(TerrainLayerEditingTest, ConfirmedFilterIsOneUndoStepThatRestoresTheHeightmap) {
    ASSERT_NE(layer_->heightmapImageRep(), nullptr);
    const Bitmap before = *layer_->heightmapImageRep();
    ASSERT_TRUE(clampTerrainLayer(*layer_, 0.25f, 1.0f));
    EXPECT_NEAR(readFraction(*layer_->heightmapImageRep(), 10, 10), 0.25f, 1e-4);
    EXPECT_EQ(undo_->undoCount(), 1u);
    EXPECT_TRUE(undo_->isUndoRegistrationEnabled());
    undo_->undo();
    EXPECT_TRUE(*layer_->heightmapImageRep() == before);
}

TEST_F(TerrainLayerEditingTest, StrokeAndFractalEachLeaveOneUndoStep) {
    CircleEditMapSceneTool tool;
    tool.sliders()[0].setValue(0.5f);
    const Point points[] = {{100, 100}, {110, 100}, {120, 100}};
    ASSERT_TRUE(applyStrokeToTerrainLayer(*layer_, tool, points));
    EXPECT_EQ(undo_->undoCount(), 1u);
    ASSERT_TRUE(generateFractalTerrainLayer(*layer_, 0, 0.5f, 0.5f, 42));
    EXPECT_EQ(undo_->undoCount(), 2u);
}

}  // namespace
}  // namespace korvane
