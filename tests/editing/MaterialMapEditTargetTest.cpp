// Painting a material map's mask with the editor's tools: one stroke, one undo step.
#include <gtest/gtest.h>

#include <memory>

#include "editing/EditMapSceneController.h"
#include "editing/MaterialMapEditTarget.h"
#include "foundation/UndoManager.h"
#include "foundation/UserDefaults.h"
#include "scene/Scene.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {
namespace {

class MaterialMapEditTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        undo_ = std::make_shared<UndoManager>();
        undo_->setGroupsByEvent(false);
        scene_.setUndoManager(undo_);
        scene_.setSize({0.625, 0.625});  // a 64 × 64 heightmap and masks
        terrain_ = std::make_shared<TerrainLayer>(&scene_);
        layer_ = std::make_shared<TerrainTextureLayer>(&scene_, terrain_);
        map_ = layer_->addNewMaterialMap();
        undo_->removeAllActions();
    }
    Scene scene_;
    std::shared_ptr<UndoManager> undo_;
    std::shared_ptr<TerrainLayer> terrain_;
    std::shared_ptr<TerrainTextureLayer> layer_;
    std::shared_ptr<TerrainTextureLayerMaterialMap> map_;
    InMemoryUserDefaults defaults_;
};

TEST_F(MaterialMapEditTargetTest, AStrokeIsOneUndoStepThatRestoresTheMaskExactly) {
    ASSERT_NE(map_->maskImageRep(), nullptr);
    map_->maskImageRep()->setGray8(1, 1, 77);
    const Bitmap before = *map_->maskImageRep();
    MaterialMapEditTarget target(map_);
    EXPECT_EQ(target.undoManager(), undo_.get());
    {
        EditMapSceneController controller(target, defaults_);
        controller.setRectForScene({{0, 0}, {64, 64}});
        controller.setSceneSize(scene_.size());
        controller.toolChanged(2);  // the circle
        ASSERT_TRUE(controller.mouseDown({32, 32}));
        for (int i = 0; i < 4; ++i) controller.mouseDragged({28.0 + 2 * i, 30});
        controller.mouseUp();
    }
    const Bitmap stroke = *map_->maskImageRep();
    EXPECT_FALSE(stroke == before);
    ASSERT_EQ(undo_->undoCount(), 1u);
    undo_->undo();
    EXPECT_TRUE(*map_->maskImageRep() == before);
    undo_->redo();
    EXPECT_TRUE(*map_->maskImageRep() == stroke);
}

TEST_F(MaterialMapEditTargetTest, TheBaseMapHasNothingToPaint) {
    MaterialMapEditTarget target(layer_->materialMaps()[0]);
    EditMapSceneController controller(target, defaults_);
    controller.setRectForScene({{0, 0}, {64, 64}});
    EXPECT_FALSE(controller.filtersEnabled());
    EXPECT_FALSE(controller.mouseDown({32, 32}));
    controller.mouseUp();
    EXPECT_EQ(undo_->undoCount(), 0u);
}

}  // namespace
}  // namespace korvane
