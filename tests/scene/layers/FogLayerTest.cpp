// The fog layer: the volume region over the scene, its base on active water, the detail levels,
// fresh names per render, copies and the archive's absent keys.
#include "scene/layers/sky/FogLayer.h"

#include <gtest/gtest.h>

#include "LayerTestSupport.h"
#include "scene/layers/water/WaterLayer.h"

namespace korvane {
namespace {

using testing::ForeignRenderer;
using testing::PartialWriter;
using testing::RecordingRenderer;

class FogLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        scene = std::make_shared<Scene>();
        fog = std::make_shared<FogLayer>(scene.get());
        fog->setActive(true);
        scene->addLayer(fog);
    }
    std::vector<std::string> render(int detailsMode = 0) {
        RecordingRenderer renderer(scene);
        renderer.setDetailsMode(detailsMode);
        fog->appendToRenderer(renderer);
        return renderer.calls();
    }
    static std::string valueOf(const std::vector<std::string>& calls, const std::string& key) {
        const std::string prefix = "\"" + key + "\" ";
        for (const auto& call : calls) {
            auto at = call.find(prefix);
            if (at != std::string::npos) return call.substr(at + prefix.size());
        }
        return "(absent)";
    }

    std::shared_ptr<Scene> scene;
    std::shared_ptr<FogLayer> fog;
};

TEST_F(FogLayerTest, DefaultFogSpansTheSceneAndItsMarginFromTheGround) {
    std::vector<std::string> calls = render();
    ASSERT_EQ(calls.size(), 13u);
    const std::vector<std::string> expected = {
        "paramsSetFloat \"minX\" -200",
        "paramsSetFloat \"minY\" -200",
        "paramsSetFloat \"maxX\" 210",
        "paramsSetFloat \"maxY\" 210",
        "paramsSetFloat \"minZ\" 0",
        "paramsSetFloat \"maxZ\" 0.75",
        "paramsSetFloat \"a\" 0.5",
        "paramsSetFloat \"b\" 2",
        "paramsSetFloat \"sigma_a\" 0.00999999978",
        "paramsSetFloat \"sigma_s\" 0.00999999978",
        "paramsSetInt \"attgridScale\" 3",
        "paramsSetString \"type\" \"ExpDensityVolume\"",
    };
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.end() - 1), expected);
    EXPECT_EQ(calls.back().rfind("createVolumeRegion \"Fog_", 0), 0u) << calls.back();
}

TEST_F(FogLayerTest, InactiveFogAddsNoRegionButKeepsItsHaze) {
    fog->setActive(false);
    EXPECT_TRUE(render().empty());
    EXPECT_TRUE(fog->hazeActive());
    EXPECT_EQ(fog->hazeStrength(), 1.0f);
    EXPECT_EQ(fog->hazeDistance(), 20.0f);
}

// The renderer finds the haze settings through RendererHazeSource; a fog layer that did not offer
// them would leave every render without haze.
TEST_F(FogLayerTest, OffersItsHazeToTheRenderer) {
    fog->setHazeStrength(0.7f);
    fog->setHazeDistance(12.0f);
    const BaseSceneLayer& layer = *fog;
    const auto* source = dynamic_cast<const RendererHazeSource*>(&layer);
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(source->hazeActive());
    EXPECT_EQ(source->hazeStrength(), 0.7f);
    EXPECT_EQ(source->hazeDistance(), 12.0f);
}

TEST_F(FogLayerTest, FogLiesOnActiveWaterOnly) {
    auto water = std::make_shared<WaterLayer>(scene.get());
    water->setHeight(0.5f);
    fog->setHeight(2.0f);
    scene->addLayer(water);
    std::vector<std::string> calls = render();
    EXPECT_EQ(valueOf(calls, "minZ"), "0");
    EXPECT_EQ(valueOf(calls, "maxZ"), "3");
    water->setActive(true);
    calls = render();
    EXPECT_EQ(valueOf(calls, "minZ"), "0.5");
    EXPECT_EQ(valueOf(calls, "maxZ"), "3.5");
}

TEST_F(FogLayerTest, LastWaterLayerDecides) {
    auto first = std::make_shared<WaterLayer>(scene.get());
    first->setActive(true);
    first->setHeight(1.0f);
    auto last = std::make_shared<WaterLayer>(scene.get());
    scene->addLayer(first);
    scene->addLayer(last);
    EXPECT_EQ(valueOf(render(), "minZ"), "0");
}

TEST_F(FogLayerTest, MarginIsTheWholeUnitsOfTheOverflow) {
    scene->setSize({30, 12});
    scene->setSizeOverflow(2.7f);
    std::vector<std::string> calls = render();
    EXPECT_EQ(valueOf(calls, "minX"), "-2");
    EXPECT_EQ(valueOf(calls, "minY"), "-2");
    EXPECT_EQ(valueOf(calls, "maxX"), "32");
    EXPECT_EQ(valueOf(calls, "maxY"), "14");
}

TEST_F(FogLayerTest, AttenuationGridFollowsTheDetailsMode) {
    EXPECT_EQ(valueOf(render(0), "attgridScale"), "3");
    EXPECT_EQ(valueOf(render(1), "attgridScale"), "1");
    EXPECT_EQ(valueOf(render(2), "attgridScale"), "2");
    EXPECT_EQ(valueOf(render(5), "attgridScale"), "0");
}

TEST_F(FogLayerTest, ScatterReachesTheRendererDividedByFifty) {
    fog->setScatter(1.0f);
    fog->setDensity(0.2f);
    std::vector<std::string> calls = render();
    EXPECT_EQ(valueOf(calls, "sigma_s"), "0.0199999996");
    EXPECT_EQ(valueOf(calls, "sigma_a"), "0.200000003");
}

TEST_F(FogLayerTest, EveryRenderNamesTheRegionAfresh) {
    const std::string first = render().back();
    const std::string second = render().back();
    EXPECT_NE(first, second);
}

TEST_F(FogLayerTest, ForeignRendererReceivesNothing) {
    ForeignRenderer renderer;
    renderer.renderScene(scene, nullptr);
    fog->appendToRenderer(renderer);
    EXPECT_TRUE(renderer.recorder.calls.empty());
}

TEST_F(FogLayerTest, CopyAndRoundTripKeepEveryValue) {
    fog->setDensity(0.3f);
    fog->setHeight(1.5f);
    fog->setScatter(0.1f);
    fog->setHazeActive(false);
    fog->setHazeStrength(2);
    fog->setHazeDistance(7);
    auto copy = std::dynamic_pointer_cast<FogLayer>(fog->copy());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->scene(), nullptr);
    auto decoded = testing::roundTrip<FogLayer>(*copy);
    ASSERT_NE(decoded, nullptr);
    for (const auto& layer : {copy, decoded}) {
        EXPECT_TRUE(layer->active());
        EXPECT_EQ(layer->density(), 0.3f);
        EXPECT_EQ(layer->height(), 1.5f);
        EXPECT_EQ(layer->scatter(), 0.1f);
        EXPECT_FALSE(layer->hazeActive());
        EXPECT_EQ(layer->hazeStrength(), 2.0f);
        EXPECT_EQ(layer->hazeDistance(), 7.0f);
    }
}

TEST_F(FogLayerTest, OlderArchivesKeepScatterAndHazeDefaults) {
    PartialWriter writer("FogLayer", [](KeyedArchiver& coder) {
        coder.encodeBool("active", true);
        coder.encodeFloat("density", 0.05f);
        // Strength and distance without their switch are not read.
        coder.encodeFloat("hazeStrength", 9);
    });
    auto decoded = testing::roundTrip<FogLayer>(writer);
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->active());
    EXPECT_EQ(decoded->density(), 0.05f);
    EXPECT_EQ(decoded->height(), 0.0f);
    EXPECT_EQ(decoded->scatter(), 0.5f);
    EXPECT_TRUE(decoded->hazeActive());
    EXPECT_EQ(decoded->hazeStrength(), 1.0f);
    EXPECT_EQ(decoded->hazeDistance(), 20.0f);
}

TEST_F(FogLayerTest, StoredHazeSwitchReadsTheWholeGroup) {
    PartialWriter writer("FogLayer", [](KeyedArchiver& coder) { coder.encodeBool("hazeActive", true); });
    auto decoded = testing::roundTrip<FogLayer>(writer);
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->hazeActive());
    EXPECT_EQ(decoded->hazeStrength(), 0.0f);
    EXPECT_EQ(decoded->hazeDistance(), 0.0f);
}

}  // namespace
}  // namespace korvane
