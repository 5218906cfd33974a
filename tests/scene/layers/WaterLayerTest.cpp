// The water layer: defaults, presets, the box it appends, the depth map, copies and the archive.
#include "scene/layers/water/WaterLayer.h"

#include <gtest/gtest.h>

#include "LayerTestSupport.h"

namespace korvane {
namespace {

using testing::FlatTerrain;
using testing::ForeignRenderer;
using testing::RecordingRenderer;

class WaterLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        scene = std::make_shared<Scene>();
        water = std::make_shared<WaterLayer>(scene.get());
        scene->addLayer(water);
    }
    std::shared_ptr<Scene> scene;
    std::shared_ptr<WaterLayer> water;
};

TEST_F(WaterLayerTest, NewLayerIsInactiveOceanAtAQuarter) {
    EXPECT_FALSE(water->active());
    EXPECT_EQ(water->height(), 0.25f);
    EXPECT_EQ(water->absorbtion(), 0.4f);
    EXPECT_EQ(water->wavesHeight(), 0.2f);
    EXPECT_EQ(water->wavesTwirl(), 0.5f);
    EXPECT_EQ(water->wavesSize(), 150.0f);
    EXPECT_EQ(water->IOR(), 1.4f);
    EXPECT_EQ(water->waterColor(), Color::calibratedRGB(0.5f, 0.6f, 0.8f));
    EXPECT_EQ(water->mirrorColor(), Color::calibratedRGB(1, 1, 1));
    EXPECT_EQ(WaterLayer::presetDictionaries().size(), 18u);
    EXPECT_EQ(WaterLayer::presetDictionaries().front().name, "Ocean");
}

TEST_F(WaterLayerTest, InactiveWaterAndForeignRenderersGetNothing) {
    RecordingRenderer renderer(scene);
    water->appendToRenderer(renderer);
    EXPECT_TRUE(renderer.calls().empty());
    EXPECT_EQ(renderer.recorder.meshes, 0);
    water->setActive(true);
    ForeignRenderer foreign;
    foreign.renderScene(scene, nullptr);
    water->appendToRenderer(foreign);
    EXPECT_TRUE(foreign.recorder.calls.empty());
    EXPECT_EQ(foreign.recorder.meshes, 0);
}

TEST_F(WaterLayerTest, ActiveWaterAddsOneClosedBoxOverSceneAndMargin) {
    water->setActive(true);
    water->setHeight(0.6f);
    RecordingRenderer renderer(scene);
    renderer.recorder.startGeometry();
    water->appendToRenderer(renderer);
    EXPECT_EQ(renderer.recorder.meshes, 1);
    EXPECT_EQ(renderer.recorder.vertices, 8);
    EXPECT_EQ(renderer.recorder.triangles, 12);
    EXPECT_NE(renderer.recorder.indexOf("paramsSetString \"type\" \"glass\""), -1);
}

TEST_F(WaterLayerTest, PresetsSetAppearanceOnly) {
    water->setActive(true);
    water->setHeight(0.7f);
    EXPECT_TRUE(water->configureWithPresetDictionary({"Reflective Ocean", "reflectiveocean"}));
    EXPECT_EQ(water->wavesHeight(), 0.0f);
    EXPECT_EQ(water->wavesTwirl(), 0.0f);
    EXPECT_EQ(water->wavesSize(), 0.0f);
    EXPECT_EQ(water->IOR(), 2.0f);
    EXPECT_TRUE(water->active());
    EXPECT_EQ(water->height(), 0.7f);
    EXPECT_FALSE(water->configureWithPresetDictionary({"None", "nosuchpreset"}));
    EXPECT_EQ(water->IOR(), 2.0f);
}

TEST_F(WaterLayerTest, DepthMapIsBlackAtZeroLevelAndWhiteOnLand) {
    scene->setSize({2, 3});
    scene->setSizeOverflow(1.5f);
    scene->addLayer(std::make_shared<FlatTerrain>(0.1f));
    water->setHeight(0.0f);
    auto map = water->depthImageRep();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->width(), 4);
    EXPECT_EQ(map->height(), 5);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(map->data()[i], 0);
    water->setHeight(0.2f);
    map = water->depthImageRep();
    EXPECT_EQ(map->data()[0], 127);
    water->setHeight(0.05f);
    EXPECT_EQ(water->depthImageRep()->data()[7], 255);
}

TEST_F(WaterLayerTest, CopyAndRoundTripKeepEveryValue) {
    water->setActive(true);
    water->configureWithPresetDictionary({"Muddy River", "muddyriver"});
    auto copy = std::dynamic_pointer_cast<WaterLayer>(water->copy());
    ASSERT_NE(copy, nullptr);
    auto decoded = testing::roundTrip<WaterLayer>(*copy);
    ASSERT_NE(decoded, nullptr);
    for (const auto& layer : {copy, decoded}) {
        EXPECT_TRUE(layer->active());
        EXPECT_EQ(layer->height(), 0.25f);
        EXPECT_EQ(layer->absorbtion(), 0.3f);
        EXPECT_EQ(layer->wavesTwirl(), 0.8f);
        EXPECT_EQ(layer->wavesSize(), 300.0f);
        EXPECT_EQ(layer->waterColor(), Color::calibratedRGB(0.9f, 0.8f, 0.5f));
        EXPECT_EQ(layer->mirrorColor(), Color::calibratedRGB(1, 0.9f, 0.9f));
    }
}

}  // namespace
}  // namespace korvane
