// The lighting layer and its lights: defaults, parameter streams, the list's invariants, copies and
// the archive.
#include "scene/layers/lighting/LightingLayer.h"

#include <gtest/gtest.h>

#include "LayerTestSupport.h"
#include "foundation/NotificationCenter.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/lighting/DirectionalLight.h"
#include "scene/layers/lighting/PointLight.h"
#include "scene/layers/water/WaterLayer.h"

namespace korvane {
namespace {

using testing::FlatTerrain;
using testing::ForeignRenderer;
using testing::PartialWriter;
using testing::RecordingRenderer;

class LightingLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        scene = std::make_shared<Scene>();
        layer = std::make_shared<LightingLayer>(scene.get());
        scene->addLayer(layer);
    }
    int countSceneChanges(const std::function<void()>& action) {
        int count = 0;
        NotificationObservation observation(NotificationCenter::defaultCenter(),
                                            SceneDidChangeNotificationName, scene.get(),
                                            [&](const Notification&) { ++count; });
        action();
        return count;
    }

    std::shared_ptr<Scene> scene;
    std::shared_ptr<LightingLayer> layer;
};

TEST_F(LightingLayerTest, NewLayerHoldsOnlyTheSunWithItsDefaults) {
    ASSERT_EQ(layer->lights().size(), 1u);
    auto sun = layer->sunLight();
    ASSERT_NE(sun, nullptr);
    EXPECT_EQ(sun->userName(), "Sun");
    EXPECT_FALSE(sun->canBeDeleted());
    EXPECT_EQ(sun->direction().x, -static_cast<double>(0.4f));
    EXPECT_EQ(sun->direction().y, static_cast<double>(0.4f));
    EXPECT_EQ(sun->power(), 1.0f);
    EXPECT_EQ(sun->shadowAngle(), 1.0f);
    EXPECT_EQ(sun->color(), Color::calibratedWhite(1.0));
    EXPECT_EQ(sun->lightingLayer(), layer.get());
    EXPECT_EQ(sun->userIcon(), "SunLightIcon.png");
    EXPECT_FALSE(sun->name().empty());
    EXPECT_EQ(layer->name(), "Lighting");
    EXPECT_EQ(layer->orderForFunctionsList(), 10);
    EXPECT_FALSE(layer->canBeDeleted());
}

TEST_F(LightingLayerTest, NewLightsHaveTheirClassDefaultsAndUniqueNames) {
    scene->setSize({12, 8});
    DirectionalLight directional(layer.get());
    PointLight point(layer.get());
    EXPECT_EQ(directional.userName(), "Directional Light");
    EXPECT_TRUE(directional.canBeDeleted());
    EXPECT_EQ(directional.direction(), (Point{-0.25, 0.25}));
    EXPECT_EQ(directional.shadowAngle(), 2.0f);
    EXPECT_EQ(point.userName(), "Point Light");
    EXPECT_EQ(point.position(), (Point{6, 4}));
    EXPECT_EQ(point.heightOverGround(), 0.5f);
    EXPECT_EQ(point.power(), 1.0f);
    EXPECT_NE(directional.name(), point.name());
    EXPECT_NE(directional.name(), layer->sunLight()->name());
}

TEST_F(LightingLayerTest, NewSceneRendersOneSunlightUnderTheSunsName) {
    RecordingRenderer renderer(scene);
    layer->appendToRenderer(renderer);
    const std::vector<std::string> expected = {
        "paramsClearAll",
        "paramsSetString \"type\" \"sunlight\"",
        "paramsSetPoint \"direction\" -0.400000006 -0.400000006 Z",
        "paramsSetColor \"color\" 1 1 1 1",
        "paramsSetFloat \"power\" 1",
        "paramsSetFloat \"angle\" 1",
        "paramsSetInt \"samples\" 7",
        "createLight \"" + layer->sunLight()->name() + "\"",
    };
    // The z component is computed in single precision; compilers may round its last bit either way.
    std::vector<std::string> calls = renderer.calls();
    ASSERT_EQ(calls.size(), expected.size());
    const std::string prefix = "paramsSetPoint \"direction\" -0.400000006 -0.400000006 ";
    ASSERT_EQ(calls[2].rfind(prefix, 0), 0u) << calls[2];
    EXPECT_NEAR(std::stod(calls[2].substr(prefix.size())), 0.4343145, 1e-6);
    calls[2] = prefix + "Z";
    EXPECT_EQ(calls, expected);
}

TEST_F(LightingLayerTest, SunAtTheZenithPointsStraightDownAndOnTheRimLiesFlat) {
    RecordingRenderer renderer(scene);
    layer->sunLight()->setDirection({0, 0});
    layer->appendToRenderer(renderer);
    EXPECT_EQ(renderer.calls()[2], "paramsSetPoint \"direction\" 0 -0 1");
    renderer.calls().clear();
    layer->sunLight()->setDirection({0.6, -0.8});
    layer->appendToRenderer(renderer);
    EXPECT_EQ(renderer.calls()[2], "paramsSetPoint \"direction\" 0.6 0.8 0");
}

TEST_F(LightingLayerTest, DirectionalLightSendsExactlyWhatTheSunSendsForTheSameValues) {
    auto directional = std::make_shared<DirectionalLight>(layer.get());
    auto sun = layer->sunLight();
    directional->setDirection(sun->direction());
    directional->setShadowAngle(sun->shadowAngle());
    directional->setColor(Color::calibratedRGB(0.25, 0.5, 0.75));
    sun->setColor(Color::calibratedRGB(0.25, 0.5, 0.75));
    directional->setPower(2.5f);
    sun->setPower(2.5f);
    RecordingRenderer sunRenderer(scene), directionalRenderer(scene);
    sun->appendToRenderer(sunRenderer);
    directional->appendToRenderer(directionalRenderer);
    ASSERT_EQ(sunRenderer.calls().size(), directionalRenderer.calls().size());
    for (size_t i = 0; i + 1 < sunRenderer.calls().size(); ++i) {
        EXPECT_EQ(sunRenderer.calls()[i], directionalRenderer.calls()[i]);
    }
    EXPECT_EQ(directionalRenderer.calls().back(), "createLight \"" + directional->name() + "\"");
}

TEST_F(LightingLayerTest, SamplesAreSentOnlyForDirectLighting) {
    layer->addLight(std::make_shared<DirectionalLight>(layer.get()));
    layer->addLight(std::make_shared<PointLight>(layer.get()));
    RecordingRenderer pathTracer(scene);
    pathTracer.type = 1;
    layer->appendToRenderer(pathTracer);
    int created = 0;
    for (const std::string& call : pathTracer.calls()) {
        EXPECT_EQ(call.find("\"samples\""), std::string::npos) << call;
        if (call.rfind("createLight", 0) == 0) ++created;
    }
    EXPECT_EQ(created, 3);
}

TEST_F(LightingLayerTest, LightsAppendInListOrderWithTheSunFirst) {
    auto point = std::make_shared<PointLight>(layer.get());
    auto directional = std::make_shared<DirectionalLight>(layer.get());
    layer->addLight(point);
    layer->addLight(directional);
    RecordingRenderer renderer(scene);
    layer->appendToRenderer(renderer);
    std::vector<std::string> created;
    for (const std::string& call : renderer.calls()) {
        if (call.rfind("createLight", 0) == 0) created.push_back(call);
    }
    EXPECT_EQ(created, (std::vector<std::string>{"createLight \"" + layer->sunLight()->name() + "\"",
                                                 "createLight \"" + point->name() + "\"",
                                                 "createLight \"" + directional->name() + "\""}));
}

TEST_F(LightingLayerTest, PointLightStandsAboveTheWaterSurfaceWhereWaterCoversTheTerrain) {
    scene->setSize({10, 20});
    scene->addLayer(std::make_shared<FlatTerrain>(0.25f));
    auto water = std::make_shared<WaterLayer>(scene.get());
    water->setActive(true);
    water->setHeight(1.0f);
    scene->addLayer(water);
    PointLight light(layer.get());
    light.setPosition({3, 5});
    light.setHeightOverGround(0.5f);
    RecordingRenderer renderer(scene);
    light.appendToRenderer(renderer);
    const std::vector<std::string> expected = {
        "paramsClearAll",
        "paramsSetString \"type\" \"pointlight\"",
        "paramsSetPoint \"from\" 3 15 1.5",
        "paramsSetColor \"color\" 1 1 1 1",
        "paramsSetFloat \"power\" 1",
        "paramsSetInt \"samples\" 7",
        "createLight \"" + light.name() + "\"",
    };
    EXPECT_EQ(renderer.calls(), expected);
}

TEST_F(LightingLayerTest, ForeignRendererReceivesNothing) {
    layer->addLight(std::make_shared<PointLight>(layer.get()));
    ForeignRenderer renderer;
    renderer.renderScene(scene, nullptr);
    layer->appendToRenderer(renderer);
    for (const auto& light : layer->lights()) light->appendToRenderer(renderer);
    EXPECT_TRUE(renderer.recorder.calls.empty());
}

TEST_F(LightingLayerTest, EveryLightSetterAndListChangePostsSceneDidChange) {
    auto point = std::make_shared<PointLight>(layer.get());
    auto sun = layer->sunLight();
    EXPECT_EQ(countSceneChanges([&] {
                  sun->setDirection({0.1, 0.2});
                  sun->setColor(Color::calibratedWhite(0.5));
                  sun->setPower(2);
                  sun->setShadowAngle(3);
                  point->setPosition({1, 1});
                  point->setHeightOverGround(2);
                  point->setColor(Color::calibratedWhite(0.2));
                  point->setPower(4);
              }),
              8);
    EXPECT_EQ(countSceneChanges([&] { layer->addLight(point); }), 1);
    EXPECT_EQ(countSceneChanges([&] { layer->removeLight(point); }), 1);
    EXPECT_EQ(countSceneChanges([&] { layer->setLights(layer->lights()); }), 1);
    EXPECT_EQ(countSceneChanges([&] { point->setName("renamed"); }), 0);
}

TEST_F(LightingLayerTest, ObserversOfLightsHearAddRemoveAndSet) {
    std::vector<KeyValueChangeKind> kinds;
    auto token =
        layer->addObserver("lights", [&](const KeyValueChange& change) { kinds.push_back(change.kind); });
    auto light = std::make_shared<DirectionalLight>(layer.get());
    layer->addLight(light);
    layer->removeLight(light);
    layer->setLights({layer->sunLight()});
    layer->removeObserver(token);
    EXPECT_EQ(kinds,
              (std::vector<KeyValueChangeKind>{KeyValueChangeKind::Insertion, KeyValueChangeKind::Removal,
                                               KeyValueChangeKind::Setting}));
}

TEST_F(LightingLayerTest, SunStaysElementZero) {
    auto sun = layer->sunLight();
    layer->removeLight(sun);
    EXPECT_EQ(layer->lights().size(), 1u);
    auto point = std::make_shared<PointLight>(layer.get());
    layer->setLights({point});
    ASSERT_EQ(layer->lights().size(), 2u);
    EXPECT_EQ(layer->sunLight(), sun);
    EXPECT_EQ(layer->lights()[1], point);
    layer->setLights({});
    EXPECT_EQ(layer->lights().size(), 1u);
    EXPECT_EQ(layer->sunLight(), sun);
}

TEST_F(LightingLayerTest, CopyHasItsOwnListOfTheSameLightObjects) {
    auto point = std::make_shared<PointLight>(layer.get());
    layer->addLight(point);
    auto copy = std::dynamic_pointer_cast<LightingLayer>(layer->copy());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->scene(), nullptr);
    EXPECT_EQ(copy->lights(), layer->lights());
    EXPECT_EQ(copy->lights()[1]->lightingLayer(), layer.get());
    copy->addLight(std::make_shared<DirectionalLight>(copy.get()));
    EXPECT_EQ(layer->lights().size(), 2u);
    EXPECT_EQ(copy->lights().size(), 3u);
}

TEST_F(LightingLayerTest, LightsOutlivingTheirLayerLoseTheBackReference) {
    auto copy = std::dynamic_pointer_cast<LightingLayer>(layer->copy());
    auto sun = layer->sunLight();
    scene->removeLayer(layer);
    scene->setUndoManager(nullptr);
    layer.reset();
    EXPECT_EQ(sun->lightingLayer(), nullptr);
    sun->setPower(2.0f);  // reaches no scene, and must not crash
    EXPECT_EQ(copy->sunLight(), sun);
}

TEST_F(LightingLayerTest, ArchiveRoundTripKeepsEveryLightAndItsNames) {
    auto sun = layer->sunLight();
    sun->setDirection({0.3, -0.2});
    sun->setColor(Color::calibratedRGB(1, 0.9, 0.8));
    sun->setShadowAngle(0.5f);
    auto point = std::make_shared<PointLight>(layer.get());
    point->setPosition({2, 3});
    point->setPower(5);
    point->setHeightOverGround(1.25f);
    point->setUserName("Lamp");
    layer->addLight(point);
    layer->addLight(std::make_shared<DirectionalLight>(layer.get()));

    auto decoded = testing::roundTrip<Scene>(*scene);
    ASSERT_NE(decoded, nullptr);
    auto layers = decoded->layersOfClass<LightingLayer>();
    ASSERT_EQ(layers.size(), 1u);
    const auto& lights = layers[0]->lights();
    ASSERT_EQ(lights.size(), 3u);
    auto decodedSun = layers[0]->sunLight();
    EXPECT_EQ(decodedSun->name(), sun->name());
    EXPECT_EQ(decodedSun->direction(), sun->direction());
    EXPECT_EQ(decodedSun->color(), sun->color());
    EXPECT_EQ(decodedSun->shadowAngle(), 0.5f);
    EXPECT_FALSE(decodedSun->canBeDeleted());
    EXPECT_EQ(decodedSun->lightingLayer(), layers[0].get());
    auto decodedPoint = std::dynamic_pointer_cast<PointLight>(lights[1]);
    ASSERT_NE(decodedPoint, nullptr);
    EXPECT_EQ(decodedPoint->name(), point->name());
    EXPECT_EQ(decodedPoint->userName(), "Lamp");
    EXPECT_EQ(decodedPoint->position(), (Point{2, 3}));
    EXPECT_EQ(decodedPoint->power(), 5.0f);
    EXPECT_EQ(decodedPoint->heightOverGround(), 1.25f);
    EXPECT_TRUE(decodedPoint->canBeDeleted());
    EXPECT_NE(std::dynamic_pointer_cast<DirectionalLight>(lights[2]), nullptr);
}

TEST_F(LightingLayerTest, MissingLightKeysReadAsZeroButTheNameStaysUsable) {
    PartialWriter writer("DirectionalLight",
                         [](KeyedArchiver& coder) { coder.encodeString("userName", "Old"); });
    auto light = testing::roundTrip<DirectionalLight>(writer);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->userName(), "Old");
    EXPECT_FALSE(light->canBeDeleted());
    EXPECT_EQ(light->direction(), (Point{0, 0}));
    EXPECT_EQ(light->power(), 0.0f);
    EXPECT_EQ(light->shadowAngle(), 0.0f);
    EXPECT_FALSE(light->name().empty());
    EXPECT_EQ(light->userIcon(), "DirectionalLightIcon.png");
}

TEST_F(LightingLayerTest, ArchivedLayerWithoutASunStillHasOne) {
    PartialWriter writer("LightingLayer", [](KeyedArchiver& coder) {
        coder.encodeObjects("lights",
                            std::vector<std::shared_ptr<BaseLight>>{std::make_shared<PointLight>()});
    });
    auto decoded = testing::roundTrip<LightingLayer>(writer);
    ASSERT_NE(decoded, nullptr);
    ASSERT_EQ(decoded->lights().size(), 2u);
    EXPECT_NE(decoded->sunLight(), nullptr);
    EXPECT_EQ(decoded->lights()[1]->lightingLayer(), decoded.get());
}

}  // namespace
}  // namespace korvane
