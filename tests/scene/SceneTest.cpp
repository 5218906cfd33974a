#include "scene/Scene.h"

#include <gtest/gtest.h>

#include "foundation/NotificationCenter.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/SceneNotifications.h"

namespace korvane {
namespace {

struct SizeChange {
    Size from, to;
};

class RecordingLayer : public BaseSceneLayer {
public:
    using BaseSceneLayer::BaseSceneLayer;
    std::string archiveClassName() const override { return "RecordingLayer"; }
    std::shared_ptr<BaseSceneLayer> copy() const override { return std::make_shared<RecordingLayer>(); }
    void sceneSizeDidChange(Size from, Size to) override { changes.push_back({from, to}); }
    std::vector<SizeChange> changes;
};

class FlatTerrainLayer final : public RecordingLayer {
public:
    explicit FlatTerrainLayer(float height = 0) : height(height) {}
    std::optional<float> terrainElevationAtScenePoint(Point) const override { return height; }
    float height;
};

class SimpleWaterLayer final : public RecordingLayer {
public:
    SimpleWaterLayer(float height, bool active) : height(height), active(active) {}
    std::optional<float> activeWaterSurfaceHeight() const override {
        return active ? std::optional<float>(height) : std::nullopt;
    }
    float height;
    bool active;
};

// A family base with two members, like the small-objects layers.
class FamilyLayer : public RecordingLayer {
public:
    bool canBeDeleted() const override { return true; }
};
class FirstMemberLayer final : public FamilyLayer {};
class SecondMemberLayer final : public FamilyLayer {};

class NotificationCounter {
public:
    explicit NotificationCounter(const Scene& scene)
        : changes_(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName, &scene,
                   [this](const Notification&) { ++sceneDidChange; }),
          postProcess_(NotificationCenter::defaultCenter(), ScenePostProcessDidChangeNotificationName, &scene,
                       [this](const Notification&) { ++postProcessDidChange; }) {}
    int sceneDidChange = 0;
    int postProcessDidChange = 0;

private:
    NotificationObservation changes_, postProcess_;
};

class SceneTest : public ::testing::Test {
protected:
    SceneTest() {
        undo->setGroupsByEvent(false);
        scene.setUndoManager(undo);
    }
    void step(const std::function<void()>& edit) {
        undo->beginUndoGrouping();
        edit();
        undo->endUndoGrouping();
    }
    Scene scene;
    std::shared_ptr<UndoManager> undo = std::make_shared<UndoManager>();
};

TEST_F(SceneTest, NewSceneHasTheDefaults) {
    Scene fresh;
    EXPECT_EQ(fresh.size(), (Size{10.0, 10.0}));
    EXPECT_FLOAT_EQ(fresh.maxTerrainHeight(), 4.0f);
    EXPECT_FLOAT_EQ(fresh.sizeOverflow(), 200.0f);
    EXPECT_TRUE(fresh.layers().empty());
    EXPECT_EQ(fresh.undoManager(), nullptr);
    EXPECT_FALSE(fresh.farDepthOfField());
    EXPECT_FLOAT_EQ(fresh.farDepthOfFieldMaximumStrength(), 24.0f);
    EXPECT_FLOAT_EQ(fresh.nearDepthOfFieldEnd(), 3.5f);
    EXPECT_FLOAT_EQ(fresh.bloomIntensity(), 0.4f);
    EXPECT_FLOAT_EQ(fresh.depthTintOpacity(), 0.15f);
    EXPECT_EQ(fresh.depthTintColor(), Color::calibratedRGB(0.5, 0.7, 0.8, 1.0));
    EXPECT_FLOAT_EQ(fresh.vibranceStrength(), 0.5f);
}

TEST_F(SceneTest, SetSizeWithCurrentSizePostsNothingAndKeepsUndo) {
    step([&] { scene.addLayer(std::make_shared<RecordingLayer>(&scene)); });
    NotificationCounter counter(scene);
    scene.setSize({10.0, 10.0});
    EXPECT_EQ(counter.sceneDidChange, 0);
    EXPECT_TRUE(undo->canUndo());
}

TEST_F(SceneTest, SetSizeTellsEveryLayerOnceAndClearsUndo) {
    auto first = std::make_shared<RecordingLayer>(&scene);
    auto second = std::make_shared<RecordingLayer>(&scene);
    step([&] { scene.addLayer(first); });
    step([&] { scene.addLayer(second); });
    NotificationCounter counter(scene);
    scene.setSize({20.0, 5.0});
    for (const auto& layer : {first, second}) {
        ASSERT_EQ(layer->changes.size(), 1u);
        EXPECT_EQ(layer->changes[0].from, (Size{10.0, 10.0}));
        EXPECT_EQ(layer->changes[0].to, (Size{20.0, 5.0}));
    }
    EXPECT_EQ(scene.size(), (Size{20.0, 5.0}));
    EXPECT_FALSE(undo->canUndo());
    EXPECT_EQ(counter.sceneDidChange, 1);
}

TEST_F(SceneTest, AddingThenUndoingRemovesTheSameLayer) {
    auto layer = std::make_shared<RecordingLayer>(&scene);
    NotificationCounter counter(scene);
    step([&] { scene.addLayer(layer); });
    ASSERT_EQ(scene.layers().size(), 1u);
    EXPECT_EQ(scene.layers()[0], layer);
    undo->undo();
    EXPECT_TRUE(scene.layers().empty());
    undo->redo();
    ASSERT_EQ(scene.layers().size(), 1u);
    EXPECT_EQ(scene.layers()[0], layer);
    EXPECT_EQ(counter.sceneDidChange, 3);
}

TEST_F(SceneTest, UndoingARemovalAppendsTheLayerAtTheEnd) {
    auto a = std::make_shared<RecordingLayer>(&scene);
    auto b = std::make_shared<RecordingLayer>(&scene);
    auto c = std::make_shared<RecordingLayer>(&scene);
    for (const auto& layer : {a, b, c}) step([&] { scene.addLayer(layer); });
    step([&] { scene.removeLayer(a); });
    EXPECT_EQ(scene.layers(), (Scene::LayerList{b, c}));
    undo->undo();
    EXPECT_EQ(scene.layers(), (Scene::LayerList{b, c, a}));
}

TEST_F(SceneTest, RemoveLayerRemovesEveryOccurrenceAndAnnouncesIndexes) {
    auto a = std::make_shared<RecordingLayer>(&scene);
    auto b = std::make_shared<RecordingLayer>(&scene);
    std::vector<KeyValueChange> heard;
    scene.addObserver("layers", [&](const KeyValueChange& c) { heard.push_back(c); });
    for (const auto& layer : {a, b, a}) step([&] { scene.addLayer(layer); });
    step([&] { scene.removeLayer(scene.layers()[0]); });
    EXPECT_EQ(scene.layers(), (Scene::LayerList{b}));
    ASSERT_EQ(heard.size(), 4u);
    EXPECT_EQ(heard[3].kind, KeyValueChangeKind::Removal);
    EXPECT_EQ(heard[3].indexes, (std::vector<size_t>{0, 2}));
}

TEST_F(SceneTest, WithoutUndoManagerEditsStillWork) {
    Scene bare;
    bare.addLayer(std::make_shared<RecordingLayer>(&bare));
    bare.setSize({3, 3});
    bare.postSceneDidChangeNotification(&bare, [] {});
    EXPECT_EQ(bare.layers().size(), 1u);
}

TEST_F(SceneTest, LayersOfClassIncludesSubclassesInStackOrder) {
    auto first = std::make_shared<FirstMemberLayer>();
    auto plain = std::make_shared<RecordingLayer>();
    auto second = std::make_shared<SecondMemberLayer>();
    for (const auto& layer : std::vector<std::shared_ptr<BaseSceneLayer>>{first, plain, second}) scene.addLayer(layer);
    auto family = scene.layersOfClass<FamilyLayer>();
    ASSERT_EQ(family.size(), 2u);
    EXPECT_EQ(family[0], first);
    EXPECT_EQ(family[1], second);
    EXPECT_TRUE(scene.layersOfClass<FlatTerrainLayer>().empty());
}

TEST_F(SceneTest, WaterAboveTerrainSetsTheFlagAndCountsOnlyWhenIncluded) {
    auto terrain = std::make_shared<FlatTerrainLayer>(0.5f);
    auto water = std::make_shared<SimpleWaterLayer>(1.0f, true);
    scene.addLayer(terrain);
    scene.addLayer(water);
    bool hit = false;
    EXPECT_FLOAT_EQ(scene.highestTerrainElevationAtScenePoint({1, 1}, true, &hit), 1.0f);
    EXPECT_TRUE(hit);
    hit = false;
    EXPECT_FLOAT_EQ(scene.highestTerrainElevationAtScenePoint({1, 1}, false, &hit), 0.5f);
    EXPECT_TRUE(hit);
    water->active = false;
    bool untouched = true;
    EXPECT_FLOAT_EQ(scene.highestTerrainElevationAtScenePoint({1, 1}, true, &untouched), 0.5f);
    EXPECT_FALSE(untouched);  // the terrain above 0 clears it
}

TEST_F(SceneTest, ElevationEdgeCases) {
    EXPECT_FLOAT_EQ(scene.highestTerrainElevationAtScenePoint({0, 0}), 0.0f);
    auto water = std::make_shared<SimpleWaterLayer>(0.7f, true);
    scene.addLayer(water);
    EXPECT_FLOAT_EQ(scene.highestTerrainElevationAtScenePoint({0, 0}, true), 0.7f);
    // A terrain later in the stack and higher than the water clears the flag again.
    scene.addLayer(std::make_shared<FlatTerrainLayer>(2.0f));
    bool hit = false;
    EXPECT_FLOAT_EQ(scene.highestTerrainElevationAtScenePoint({0, 0}, true, &hit), 2.0f);
    EXPECT_FALSE(hit);
    // Water exactly at the terrain's height counts as hit; the flag is left alone with no layers.
    Scene level;
    level.addLayer(std::make_shared<FlatTerrainLayer>(0.7f));
    level.addLayer(std::make_shared<SimpleWaterLayer>(0.7f, true));
    EXPECT_FLOAT_EQ(level.highestTerrainElevationAtScenePoint({0, 0}, false, &hit), 0.7f);
    EXPECT_TRUE(hit);
    // Negative terrain never makes the result negative.
    Scene sunken;
    sunken.addLayer(std::make_shared<FlatTerrainLayer>(-1.0f));
    EXPECT_FLOAT_EQ(sunken.highestTerrainElevationAtScenePoint({0, 0}), 0.0f);
}

TEST_F(SceneTest, PostProcessSettersPostOnlyThePostProcessNotification) {
    NotificationCounter counter(scene);
    scene.setFarDepthOfField(true);
    scene.setBloomRadius(3.0f);
    scene.setDepthTintColor(Color::calibratedRGB(1, 0, 0));
    scene.setVibranceStrength(0.9f);
    EXPECT_EQ(counter.postProcessDidChange, 4);
    EXPECT_EQ(counter.sceneDidChange, 0);
    EXPECT_FALSE(undo->canUndo());
    EXPECT_EQ(scene.depthTintColor(), Color::calibratedRGB(1, 0, 0));
}

TEST_F(SceneTest, MaxTerrainHeightPostsOnlySceneDidChange) {
    NotificationCounter counter(scene);
    scene.setMaxTerrainHeight(8.0f);
    scene.setSizeOverflow(50.0f);  // plain accessor: no notification
    EXPECT_EQ(counter.sceneDidChange, 1);
    EXPECT_EQ(counter.postProcessDidChange, 0);
    EXPECT_FALSE(undo->canUndo());
}

TEST_F(SceneTest, PostWithUndoTargetRegistersOnlyWithATarget) {
    int undone = 0;
    NotificationCounter counter(scene);
    step([&] { scene.postSceneDidChangeNotification(nullptr, [&] { ++undone; }); });
    EXPECT_FALSE(undo->canUndo());
    step([&] { scene.postSceneDidChangeNotification(this, [&] { ++undone; }); });
    undo->undo();
    EXPECT_EQ(undone, 1);
    EXPECT_EQ(counter.sceneDidChange, 2);
}

TEST_F(SceneTest, BaseLayerDefaultsAndListName) {
    RecordingLayer layer(&scene);
    EXPECT_EQ(layer.name(), "UNNAMED LAYER");
    EXPECT_EQ(layer.nameForListView(), layer.name());
    EXPECT_EQ(layer.orderForFunctionsList(), 100);
    EXPECT_FALSE(layer.canBeDeleted());
    EXPECT_TRUE(layer.icon().empty());
    EXPECT_TRUE(layer.editLayerClassName().empty());
    EXPECT_EQ(layer.scene(), &scene);
}

TEST(SceneLayerRegistryTest, ListsRegisteredClassesWithTheirTableValuesInListOrder) {
    SceneLayerRegistry registry;
    registry.registerLayerClass<FirstMemberLayer>("FirstMemberLayer", "FamilyLayer");
    registry.registerLayerClass<RecordingLayer>("RecordingLayer");
    auto table = registry.layerTable();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].name, "UNNAMED LAYER");
    EXPECT_TRUE(table[0].canBeDeleted);  // FirstMemberLayer sorts first by name at equal order
    Scene scene;
    auto layer = registry.createLayer("RecordingLayer", &scene);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->scene(), &scene);
    EXPECT_EQ(registry.createLayer("NoSuchLayer", &scene), nullptr);
}

}  // namespace
}  // namespace korvane
