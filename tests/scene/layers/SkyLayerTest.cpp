// The sky layer: its background stream, the sun it follows, the light-source rule per integrator,
// copies and the archive's absent keys.
#include "scene/layers/sky/SkyLayer.h"

#include <gtest/gtest.h>

#include "LayerTestSupport.h"
#include "scene/layers/lighting/LightingLayer.h"

namespace korvane {
namespace {

using testing::ForeignRenderer;
using testing::PartialWriter;
using testing::RecordingRenderer;

class SkyLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        scene = std::make_shared<Scene>();
        sky = std::make_shared<SkyLayer>(scene.get());
        lighting = std::make_shared<LightingLayer>(scene.get());
        scene->addLayer(sky);
        scene->addLayer(lighting);
    }
    bool recorded(RecordingRenderer& renderer, const std::string& fragment) {
        for (const auto& call : renderer.calls()) {
            if (call.find(fragment) != std::string::npos) return true;
        }
        return false;
    }

    std::shared_ptr<Scene> scene;
    std::shared_ptr<SkyLayer> sky;
    std::shared_ptr<LightingLayer> lighting;
};

TEST_F(SkyLayerTest, DefaultSkyLightsTheSceneInDirectLighting) {
    RecordingRenderer renderer(scene);
    sky->appendToRenderer(renderer);
    const std::vector<std::string> expected = {
        "paramsClearAll",
        "paramsSetString \"type\" \"darksky\"",
        "paramsSetPoint \"from\" -0.400000006 -0.400000006 0.434314549",
        "paramsSetFloat \"power\" 1",
        "paramsSetFloat \"turbidity\" 3.5",
        "paramsSetFloat \"a_var\" 2.4000001",
        "paramsSetFloat \"b_var\" 1",
        "paramsSetFloat \"c_var\" 30",
        "paramsSetFloat \"d_var\" 30",
        "paramsSetFloat \"e_var\" 1",
        "paramsSetBool \"night\" false",
        "paramsSetBool \"background_light\" true",
        "paramsSetInt \"light_samples\" 7",
        "createBackground \"world_background\"",
    };
    EXPECT_EQ(renderer.calls(), expected);
    EXPECT_FALSE(renderer.useBackground.has_value());
}

TEST_F(SkyLayerTest, SkyFollowsTheSunOfTheLastLightingLayer) {
    auto second = std::make_shared<LightingLayer>(scene.get());
    scene->addLayer(second);
    lighting->sunLight()->setDirection({0.5, 0.5});
    second->sunLight()->setDirection({0, 0});
    RecordingRenderer renderer(scene);
    sky->appendToRenderer(renderer);
    EXPECT_EQ(renderer.calls()[2], "paramsSetPoint \"from\" 0 -0 1");
    renderer.calls().clear();
    second->sunLight()->setDirection({-1, 0});
    sky->appendToRenderer(renderer);
    EXPECT_EQ(renderer.calls()[2], "paramsSetPoint \"from\" -1 -0 0");
}

TEST_F(SkyLayerTest, SkyAndSunAgreeOnTheDirection) {
    lighting->sunLight()->setDirection({0.3, -0.45});
    RecordingRenderer renderer(scene);
    sky->appendToRenderer(renderer);
    lighting->appendToRenderer(renderer);
    const std::string from = renderer.calls()[2].substr(std::string("paramsSetPoint \"from\"").size());
    EXPECT_TRUE(recorded(renderer, "paramsSetPoint \"direction\"" + from));
}

TEST_F(SkyLayerTest, WithoutLightSourceDirectLightingGetsNoLightParameters) {
    sky->setUseBackgroundAsLightSource(false);
    RecordingRenderer renderer(scene);
    sky->appendToRenderer(renderer);
    EXPECT_FALSE(recorded(renderer, "background_light"));
    EXPECT_FALSE(recorded(renderer, "light_samples"));
    EXPECT_FALSE(renderer.useBackground.has_value());
}

TEST_F(SkyLayerTest, PathTracingHandsTheFlagToTheRendererInstead) {
    for (bool flag : {true, false}) {
        sky->setUseBackgroundAsLightSource(flag);
        RecordingRenderer renderer(scene);
        renderer.type = 1;
        sky->appendToRenderer(renderer);
        EXPECT_FALSE(recorded(renderer, "background_light"));
        EXPECT_FALSE(recorded(renderer, "light_samples"));
        ASSERT_TRUE(renderer.useBackground.has_value());
        EXPECT_EQ(*renderer.useBackground, flag);
        EXPECT_EQ(renderer.calls().back(), "createBackground \"world_background\"");
    }
}

TEST_F(SkyLayerTest, OtherIntegratorsGetNoLightSetting) {
    RecordingRenderer renderer(scene);
    renderer.type = 2;
    sky->appendToRenderer(renderer);
    EXPECT_FALSE(recorded(renderer, "background_light"));
    EXPECT_FALSE(renderer.useBackground.has_value());
}

TEST_F(SkyLayerTest, ForeignRendererReceivesNothing) {
    ForeignRenderer renderer;
    renderer.renderScene(scene, nullptr);
    sky->appendToRenderer(renderer);
    EXPECT_TRUE(renderer.recorder.calls.empty());
}

TEST_F(SkyLayerTest, CopyHoldsEveryValueAndNoScene) {
    sky->setTurbidity(5);
    sky->setHorizonBrightness(1.5f);
    sky->setHorizonLuminance(0.5f);
    sky->setCircumsolarIntensity(10);
    sky->setCircumsolarWidth(3);
    sky->setBackscatteredLight(2);
    sky->setUseBackgroundAsLightSource(false);
    sky->setNight(true);
    auto copy = std::dynamic_pointer_cast<SkyLayer>(sky->copy());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->scene(), nullptr);
    EXPECT_EQ(copy->turbidity(), 5.0f);
    EXPECT_EQ(copy->horizonBrightness(), 1.5f);
    EXPECT_EQ(copy->horizonLuminance(), 0.5f);
    EXPECT_EQ(copy->circumsolarIntensity(), 10.0f);
    EXPECT_EQ(copy->circumsolarWidth(), 3.0f);
    EXPECT_EQ(copy->backscatteredLight(), 2.0f);
    EXPECT_FALSE(copy->useBackgroundAsLightSource());
    EXPECT_TRUE(copy->night());

    auto decoded = testing::roundTrip<SkyLayer>(*copy);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->circumsolarIntensity(), 10.0f);
    EXPECT_EQ(decoded->circumsolarWidth(), 3.0f);
    EXPECT_FALSE(decoded->useBackgroundAsLightSource());
    EXPECT_TRUE(decoded->night());
}

TEST_F(SkyLayerTest, ArchiveWithoutTheLightSourceKeyKeepsItOnAndReadsMissingFloatsAsZero) {
    PartialWriter writer("SkyLayer", [](KeyedArchiver& coder) { coder.encodeFloat("turbidity", 4); });
    auto decoded = testing::roundTrip<SkyLayer>(writer);
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->useBackgroundAsLightSource());
    EXPECT_FALSE(decoded->night());
    EXPECT_EQ(decoded->turbidity(), 4.0f);
    EXPECT_EQ(decoded->horizonBrightness(), 0.0f);
    EXPECT_EQ(decoded->backscatteredLight(), 0.0f);
}

}  // namespace
}  // namespace korvane
