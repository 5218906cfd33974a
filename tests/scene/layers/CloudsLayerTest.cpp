// The clouds layer and its clouds: defaults, the noise volume's parameter stream, the attenuation
// grid, names, notifications, copies and the archive's absent keys.
#include "scene/layers/clouds/CloudsLayer.h"

#include <gtest/gtest.h>

#include "LayerTestSupport.h"
#include "foundation/NotificationCenter.h"
#include "raytracer/plugins.h"
#include "scene/SceneNotifications.h"

namespace korvane {
namespace {

using testing::ForeignRenderer;
using testing::PartialWriter;
using testing::RecordingRenderer;

class CloudsLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        scene = std::make_shared<Scene>();
        scene->setSize({10, 12});
        layer = std::make_shared<CloudsLayer>(scene.get());
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
    // The calls after the cloud's texture: the volume region's parameters and its creation.
    static std::vector<std::string> volumeCalls(const std::vector<std::string>& calls) {
        for (size_t i = 0; i < calls.size(); ++i) {
            if (calls[i].rfind("createTexture", 0) == 0) return testing::recordedSince(calls, i + 1);
        }
        return {};
    }
    static std::string valueOf(const std::vector<std::string>& calls, const std::string& key) {
        const std::string prefix = "\"" + key + "\" ";
        for (const auto& call : calls) {
            auto at = call.find(prefix);
            if (at != std::string::npos) return call.substr(at + prefix.size());
        }
        return "(absent)";
    }
    std::vector<std::string> render(Cloud& cloud, int detailsMode = 0) {
        RecordingRenderer renderer(scene);
        renderer.setDetailsMode(detailsMode);
        cloud.appendToRenderer(renderer);
        return renderer.calls();
    }
    std::string gridScaleOf(float width, float depth, float height) {
        Cloud cloud;
        cloud.setBoundingBox({{1, 1, 0}, {1 + width, 1 + depth, 0}});
        cloud.setHeight(height);
        return valueOf(render(cloud), "attgridScale");
    }

    std::shared_ptr<Scene> scene;
    std::shared_ptr<CloudsLayer> layer;
};

TEST_F(CloudsLayerTest, NewLayerIsEmptyWithTheLayerTableValues) {
    EXPECT_TRUE(layer->clouds().empty());
    EXPECT_EQ(layer->name(), "Clouds");
    EXPECT_EQ(layer->nameForListView(), "Clouds");
    EXPECT_EQ(layer->icon(), "CloudsLayerIcon.png");
    EXPECT_EQ(layer->editLayerClassName(), "EditCloudLayerViewController");
    EXPECT_EQ(layer->orderForFunctionsList(), 16);
    EXPECT_FALSE(layer->canBeDeleted());
    auto created = SceneLayerRegistry::shared().createLayer("CloudsLayer", scene.get());
    EXPECT_NE(std::dynamic_pointer_cast<CloudsLayer>(created), nullptr);
}

TEST_F(CloudsLayerTest, NewCloudHasItsDefaultsAndItsOwnTexture) {
    auto cloud = layer->addNewCloud();
    ASSERT_EQ(layer->clouds().size(), 1u);
    EXPECT_EQ(layer->clouds()[0], cloud);
    EXPECT_EQ(cloud->cloudsLayer(), layer.get());
    EXPECT_EQ(cloud->boundingBox(), (Box{{4, 4, 0.5f}, {9, 9, 2.5f}}));
    EXPECT_EQ(cloud->density(), 0.25f);
    EXPECT_EQ(cloud->cover(), 0.5f);
    EXPECT_EQ(cloud->sharpness(), 0.3f);
    EXPECT_EQ(cloud->heightAboveGround(), 1.0f);
    EXPECT_EQ(cloud->height(), 2.0f);
    EXPECT_EQ(cloud->edgeMode(), 0);
    EXPECT_EQ(cloud->icon(), "CloudsLayerIcon");
    const auto& texture = cloud->cloudsTexture();
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->depth(), 3);
    EXPECT_TRUE(texture->hard());
    EXPECT_EQ(texture->size(), 5.0f);
    EXPECT_EQ(texture->noiseType(), 4);
    EXPECT_FALSE(texture->name().empty());
    EXPECT_NE(Cloud().cloudsTexture()->name(), texture->name());
}

TEST_F(CloudsLayerTest, NewCloudRendersItsTextureThenTheNoiseVolume) {
    auto cloud = layer->addNewCloud();
    std::vector<std::string> calls = render(*cloud);
    const std::string& textureName = cloud->cloudsTexture()->name();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "paramsClearAll");
    EXPECT_EQ(calls[1], "paramsSetString \"type\" \"clouds\"");
    std::vector<std::string> volume = volumeCalls(calls);
    ASSERT_EQ(volume.size(), 17u);
    EXPECT_EQ(calls[calls.size() - volume.size() - 1], "createTexture \"" + textureName + "\"");
    const std::vector<std::string> expected = {
        "paramsClearAll",
        "paramsSetFloat \"minX\" 4",
        "paramsSetFloat \"minY\" 3",
        "paramsSetFloat \"maxX\" 9",
        "paramsSetFloat \"maxY\" 8",
        "paramsSetFloat \"minZ\" 1",
        "paramsSetFloat \"maxZ\" 3",
        "paramsSetFloat \"sigma_a\" 0.0500000007",
        "paramsSetFloat \"sigma_s\" 0.5",
        "paramsSetInt \"attgridScale\" 3",
        "paramsSetFloat \"cover\" 0.800000012",
        "paramsSetFloat \"sharpness\" 7",
        "paramsSetFloat \"density\" 10",
        "paramsSetString \"textureName\" \"" + textureName + "\"",
        "paramsSetInt \"edgeMode\" 0",
        "paramsSetString \"type\" \"FixedNoiseVolume\"",
    };
    EXPECT_EQ(std::vector<std::string>(volume.begin(), volume.end() - 1), expected);
    EXPECT_EQ(volume.back().rfind("createVolumeRegion \"Clouds_", 0), 0u) << volume.back();
}

TEST_F(CloudsLayerTest, FootprintTurnsFromPlanToGroundInDoublePrecision) {
    Cloud cloud;
    cloud.setBoundingBox({{0.5f, 1.1f, 7}, {2.25f, 3.3f, -7}});
    cloud.setHeightAboveGround(0.1f);
    cloud.setHeight(0.2f);
    cloud.setEdgeMode(1);
    std::vector<std::string> calls = volumeCalls(render(cloud));
    EXPECT_EQ(valueOf(calls, "minX"), "0.5");
    EXPECT_EQ(valueOf(calls, "maxX"), "2.25");
    // 12 − 3.3f and 12 − 1.1f taken in double; in single precision they would read 8.69999981, 10.8999996.
    EXPECT_EQ(valueOf(calls, "minY"), "8.70000005");
    EXPECT_EQ(valueOf(calls, "maxY"), "10.9");
    EXPECT_EQ(valueOf(calls, "minZ"), "0.100000001");
    EXPECT_EQ(valueOf(calls, "maxZ"), "0.300000012");  // the sum in single precision
    EXPECT_EQ(valueOf(calls, "edgeMode"), "1");
}

TEST_F(CloudsLayerTest, FullRenderGridGrowsWithTheLargestExtentFromTwoToFive) {
    EXPECT_EQ(gridScaleOf(5, 5, 2), "3");
    EXPECT_EQ(gridScaleOf(20, 4, 2), "5");
    EXPECT_EQ(gridScaleOf(1, 1, 1), "2");
    EXPECT_EQ(gridScaleOf(4, 7.9f, 2), "4");  // the depth, truncated to 7
    EXPECT_EQ(gridScaleOf(2, 2, 8.5f), "4");  // the thickness, truncated to 8
    EXPECT_EQ(gridScaleOf(0.2f, 0.2f, 0.2f), "2");
}

TEST_F(CloudsLayerTest, PreviewGridsFollowTheDetailsMode) {
    Cloud cloud;
    cloud.setBoundingBox({{0, 0, 0}, {20, 20, 0}});
    EXPECT_EQ(valueOf(render(cloud, 1), "attgridScale"), "1");
    EXPECT_EQ(valueOf(render(cloud, 2), "attgridScale"), "2");
    EXPECT_EQ(valueOf(render(cloud, 3), "attgridScale"), "0");
}

TEST_F(CloudsLayerTest, EveryRenderNamesTheRegionAfresh) {
    auto cloud = layer->addNewCloud();
    EXPECT_NE(render(*cloud).back(), render(*cloud).back());
}

TEST_F(CloudsLayerTest, LayerAppendsEveryCloudInListOrder) {
    auto first = layer->addNewCloud();
    auto second = layer->addNewCloud();
    RecordingRenderer renderer(scene);
    layer->appendToRenderer(renderer);
    std::vector<std::string> textures;
    int regions = 0;
    for (const auto& call : renderer.calls()) {
        if (call.rfind("paramsSetString \"textureName\"", 0) == 0) textures.push_back(call);
        if (call.rfind("createVolumeRegion", 0) == 0) ++regions;
    }
    EXPECT_EQ(regions, 2);
    EXPECT_EQ(textures, (std::vector<std::string>{
                            "paramsSetString \"textureName\" \"" + first->cloudsTexture()->name() + "\"",
                            "paramsSetString \"textureName\" \"" + second->cloudsTexture()->name() + "\""}));
}

TEST_F(CloudsLayerTest, ForeignRendererAndTexturelessCloudsReceiveNothing) {
    auto cloud = layer->addNewCloud();
    ForeignRenderer foreign;
    foreign.renderScene(scene, nullptr);
    layer->appendToRenderer(foreign);
    cloud->appendToRenderer(foreign);
    EXPECT_TRUE(foreign.recorder.calls.empty());
    cloud->setCloudsTexture(nullptr);
    EXPECT_TRUE(render(*cloud).empty());
}

TEST_F(CloudsLayerTest, NamesFollowThePositionInTheLayer) {
    auto first = layer->addNewCloud();
    auto second = layer->addNewCloud();
    EXPECT_EQ(first->name(), "Cloud 1");
    EXPECT_EQ(second->name(), "Cloud 2");
    layer->removeCloud(first);
    EXPECT_EQ(second->name(), "Cloud 1");
    EXPECT_EQ(first->name(), "Cloud 0");
    EXPECT_EQ(first->cloudsLayer(), nullptr);
    EXPECT_EQ(Cloud().name(), "Cloud 0");
}

TEST_F(CloudsLayerTest, EverySetterAndListChangePostsSceneDidChange) {
    auto cloud = layer->addNewCloud();
    EXPECT_EQ(countSceneChanges([&] {
                  cloud->setBoundingBox({{1, 1, 0}, {2, 2, 1}});
                  cloud->setCloudsTexture(std::make_shared<CloudsTexture>());
                  cloud->setCover(0.1f);
                  cloud->setDensity(0.2f);
                  cloud->setSharpness(0.3f);
                  cloud->setHeight(0.4f);
                  cloud->setHeightAboveGround(0.5f);
                  cloud->setEdgeMode(1);
              }),
              8);
    EXPECT_EQ(countSceneChanges([&] { cloud->setCloudsLayer(layer.get()); }), 0);
    EXPECT_EQ(countSceneChanges([&] { layer->addNewCloud(); }), 1);
    EXPECT_EQ(countSceneChanges([&] { layer->addCloud(std::make_shared<Cloud>()); }), 1);
    EXPECT_EQ(countSceneChanges([&] { layer->removeCloud(cloud); }), 1);
    EXPECT_EQ(countSceneChanges([&] { layer->removeCloud(cloud); }), 0);  // no longer held
    EXPECT_EQ(countSceneChanges([&] { layer->setClouds({cloud}); }), 1);
    // A cloud of no layer reaches no scene.
    EXPECT_EQ(countSceneChanges([] { Cloud().setDensity(1); }), 0);
}

TEST_F(CloudsLayerTest, ObserversOfCloudsHearAddRemoveAndSet) {
    std::vector<KeyValueChangeKind> kinds;
    auto token =
        layer->addObserver("clouds", [&](const KeyValueChange& change) { kinds.push_back(change.kind); });
    auto cloud = layer->addNewCloud();
    layer->removeCloud(cloud);
    layer->setClouds({cloud});
    layer->removeObserver(token);
    EXPECT_EQ(kinds,
              (std::vector<KeyValueChangeKind>{KeyValueChangeKind::Insertion, KeyValueChangeKind::Removal,
                                               KeyValueChangeKind::Setting}));
}

TEST_F(CloudsLayerTest, SetCloudsAdoptsTheNewCloudsAndReleasesTheOldOnes) {
    auto old = layer->addNewCloud();
    auto kept = layer->addNewCloud();
    auto added = std::make_shared<Cloud>();
    layer->setClouds({kept, nullptr, added});
    ASSERT_EQ(layer->clouds().size(), 2u);
    EXPECT_EQ(kept->cloudsLayer(), layer.get());
    EXPECT_EQ(added->cloudsLayer(), layer.get());
    EXPECT_EQ(added->name(), "Cloud 2");
    EXPECT_EQ(old->cloudsLayer(), nullptr);
}

TEST_F(CloudsLayerTest, CopiedCloudHasTheSameValuesAndADistinctTexture) {
    auto cloud = layer->addNewCloud();
    cloud->setBoundingBox({{1, 2, 3}, {4, 5, 6}});
    cloud->setDensity(0.6f);
    cloud->setCover(0.7f);
    cloud->setSharpness(0.8f);
    cloud->setHeight(1.5f);
    cloud->setHeightAboveGround(2.5f);
    cloud->setEdgeMode(1);
    cloud->cloudsTexture()->setSize(9.0f);
    std::shared_ptr<Cloud> copy = cloud->copy();
    EXPECT_EQ(copy->cloudsLayer(), nullptr);
    EXPECT_EQ(copy->boundingBox(), cloud->boundingBox());
    EXPECT_EQ(copy->density(), 0.6f);
    EXPECT_EQ(copy->cover(), 0.7f);
    EXPECT_EQ(copy->sharpness(), 0.8f);
    EXPECT_EQ(copy->height(), 1.5f);
    EXPECT_EQ(copy->heightAboveGround(), 2.5f);
    EXPECT_EQ(copy->edgeMode(), 1);
    ASSERT_NE(copy->cloudsTexture(), nullptr);
    EXPECT_NE(copy->cloudsTexture(), cloud->cloudsTexture());
    EXPECT_NE(copy->cloudsTexture()->name(), cloud->cloudsTexture()->name());
    EXPECT_EQ(copy->cloudsTexture()->size(), 9.0f);
    EXPECT_EQ(copy->cloudsTexture()->depth(), 3);
    EXPECT_TRUE(copy->cloudsTexture()->hard());
    EXPECT_EQ(copy->cloudsTexture()->noiseType(), 4);
}

TEST_F(CloudsLayerTest, CloudAndItsCopyRenderTogetherWithoutANameClash) {
    auto cloud = layer->addNewCloud();
    auto duplicate = cloud->copy();
    layer->addCloud(duplicate);
    RecordingRenderer renderer(scene);
    yafaray::renderEnvironment_t& environment = *renderer.recorder.getRenderEnvironment();
    yafaray::registerPlugin_basictex(environment);  // the engine refuses a second texture of one name
    layer->appendToRenderer(renderer);
    EXPECT_NE(environment.getTexture(cloud->cloudsTexture()->name()), nullptr);
    EXPECT_NE(environment.getTexture(duplicate->cloudsTexture()->name()), nullptr);
    EXPECT_NE(environment.getTexture(cloud->cloudsTexture()->name()),
              environment.getTexture(duplicate->cloudsTexture()->name()));
    EXPECT_EQ(duplicate->name(), "Cloud 2");
}

TEST_F(CloudsLayerTest, LayerCopyRendersItsOwnCloudsAndLeavesTheOriginalsAlone) {
    auto cloud = layer->addNewCloud();
    cloud->setDensity(0.5f);
    auto copy = std::dynamic_pointer_cast<CloudsLayer>(layer->copy());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->scene(), nullptr);
    ASSERT_EQ(copy->clouds().size(), 1u);
    const auto& copied = copy->clouds()[0];
    EXPECT_NE(copied, cloud);
    EXPECT_EQ(copied->cloudsLayer(), copy.get());
    EXPECT_EQ(copied->density(), 0.5f);
    EXPECT_EQ(cloud->cloudsLayer(), layer.get());
    // Editing the document's cloud while a render reads the copy changes nothing there.
    cloud->setDensity(0.1f);
    EXPECT_EQ(copied->density(), 0.5f);
    // The copy renders in the scene it is given, with its own texture.
    auto snapshot = std::make_shared<Scene>();
    snapshot->setSize({10, 30});
    copy->setScene(snapshot.get());
    RecordingRenderer renderer(snapshot);
    copy->appendToRenderer(renderer);
    std::vector<std::string> calls = volumeCalls(renderer.calls());
    EXPECT_EQ(valueOf(calls, "minY"), "21");
    EXPECT_EQ(valueOf(calls, "density"), "20");
    EXPECT_EQ(valueOf(calls, "textureName"), "\"" + copied->cloudsTexture()->name() + "\"");
    copy.reset();
    EXPECT_EQ(cloud->cloudsLayer(), layer.get());
    EXPECT_EQ(countSceneChanges([&] { cloud->setCover(0.2f); }), 1);
}

TEST_F(CloudsLayerTest, CloudsOutlivingTheirLayerLoseTheBackReference) {
    auto cloud = layer->addNewCloud();
    scene->removeLayer(layer);
    scene->setUndoManager(nullptr);
    layer.reset();
    EXPECT_EQ(cloud->cloudsLayer(), nullptr);
    cloud->setHeight(3.0f);  // reaches no scene, and must not crash
    EXPECT_EQ(cloud->name(), "Cloud 0");
}

TEST_F(CloudsLayerTest, ArchiveRoundTripKeepsEveryCloudAndItsTexture) {
    auto first = layer->addNewCloud();
    first->setBoundingBox({{1, 2, 0.25f}, {3.5f, 6, 1.75f}});
    first->setDensity(0.6f);
    first->setCover(0.7f);
    first->setSharpness(0.8f);
    first->setHeight(1.5f);
    first->setHeightAboveGround(2.5f);
    first->setEdgeMode(1);
    auto second = layer->addNewCloud();

    auto decoded = testing::roundTrip<Scene>(*scene);
    ASSERT_NE(decoded, nullptr);
    auto layers = decoded->layersOfClass<CloudsLayer>();
    ASSERT_EQ(layers.size(), 1u);
    const auto& clouds = layers[0]->clouds();
    ASSERT_EQ(clouds.size(), 2u);
    const auto& cloud = clouds[0];
    EXPECT_EQ(cloud->cloudsLayer(), layers[0].get());
    EXPECT_EQ(cloud->boundingBox(), first->boundingBox());
    EXPECT_EQ(cloud->density(), 0.6f);
    EXPECT_EQ(cloud->cover(), 0.7f);
    EXPECT_EQ(cloud->sharpness(), 0.8f);
    EXPECT_EQ(cloud->height(), 1.5f);
    EXPECT_EQ(cloud->heightAboveGround(), 2.5f);
    EXPECT_EQ(cloud->edgeMode(), 1);
    ASSERT_NE(cloud->cloudsTexture(), nullptr);
    EXPECT_EQ(cloud->cloudsTexture()->name(), first->cloudsTexture()->name());
    EXPECT_EQ(cloud->cloudsTexture()->size(), 5.0f);
    EXPECT_EQ(clouds[1]->name(), "Cloud 2");
    EXPECT_EQ(clouds[1]->cloudsTexture()->name(), second->cloudsTexture()->name());
    EXPECT_EQ(layers[0]->scene(), decoded.get());
}

TEST_F(CloudsLayerTest, LayerStoredWithoutCloudsKeyIsEmpty) {
    PartialWriter writer("CloudsLayer", [](KeyedArchiver&) {});
    auto decoded = testing::roundTrip<CloudsLayer>(writer);
    ASSERT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded->clouds().empty());
}

TEST_F(CloudsLayerTest, MissingCloudKeysReadAsZeroButTheTextureStaysUsable) {
    PartialWriter writer("Cloud", [](KeyedArchiver& coder) {
        coder.encodeFloat("cover", 0.4f);
        coder.encodeFloat("boundingBoxEndX", 3.0f);
    });
    auto cloud = testing::roundTrip<Cloud>(writer);
    ASSERT_NE(cloud, nullptr);
    EXPECT_EQ(cloud->cover(), 0.4f);
    EXPECT_EQ(cloud->density(), 0.0f);
    EXPECT_EQ(cloud->sharpness(), 0.0f);
    EXPECT_EQ(cloud->heightAboveGround(), 0.0f);
    EXPECT_EQ(cloud->height(), 0.0f);
    EXPECT_EQ(cloud->edgeMode(), 0);
    EXPECT_EQ(cloud->boundingBox(), (Box{{0, 0, 0}, {3, 0, 0}}));
    EXPECT_EQ(cloud->cloudsLayer(), nullptr);
    ASSERT_NE(cloud->cloudsTexture(), nullptr);
    EXPECT_EQ(cloud->cloudsTexture()->depth(), 3);
    EXPECT_FALSE(cloud->cloudsTexture()->name().empty());
}

TEST_F(CloudsLayerTest, BoxIsReadFromTheSixBoxKeys) {
    PartialWriter writer("Cloud", [](KeyedArchiver& coder) {
        coder.encodeFloat("boundingBoxStartX", 1);
        coder.encodeFloat("boundingBoxStartY", 2);
        coder.encodeFloat("boundingBoxStartZ", 3);
        coder.encodeFloat("boundingBoxEndX", 4);
        coder.encodeFloat("boundingBoxEndY", 5);
        coder.encodeFloat("boundingBoxEndZ", 6);
    });
    auto cloud = testing::roundTrip<Cloud>(writer);
    ASSERT_NE(cloud, nullptr);
    EXPECT_EQ(cloud->boundingBox(), (Box{{1, 2, 3}, {4, 5, 6}}));
}

}  // namespace
}  // namespace korvane
