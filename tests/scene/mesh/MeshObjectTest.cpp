#include <functional>

#include <gtest/gtest.h>

#include "foundation/NotificationCenter.h"
#include "scene/Scene.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/mesh/MeshLayer.h"

namespace korvane {
namespace {

// An object with three materials and one mesh holding one face per material number in `numbers`.
std::shared_ptr<MeshObject> objectWithFaceMaterials(MeshLayer* layer, const std::vector<int16_t>& numbers) {
    auto object = std::make_shared<MeshObject>(layer);
    MeshObject::MaterialList materials;
    for (const char* name : {"A", "B", "C"}) {
        auto material = std::make_shared<DiffuseMaterial>();
        material->setName(name);
        materials.push_back(material);
    }
    object->setMaterials(materials);
    auto mesh = std::make_shared<Mesh>(object.get());
    for (int i = 0; i < 3; ++i) mesh->addVertex({static_cast<float>(i), 0, 0}, {});
    for (int16_t number : numbers) mesh->addFace({0, 1, 2, number});
    object->addMesh(mesh);
    return object;
}

std::vector<int16_t> faceMaterials(const MeshObject& object) {
    std::vector<int16_t> numbers;
    for (const auto& mesh : object.meshs()) {
        for (const MeshFace& face : mesh->faces()) numbers.push_back(face.material);
    }
    return numbers;
}

class MeshObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        scene = std::make_shared<Scene>();
        layer = std::make_shared<MeshLayer>(scene.get());
        scene->addLayer(layer);
    }
    int countSceneChanges(const std::function<void()>& action) {
        int count = 0;
        NotificationObservation observation(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName,
                                            scene.get(), [&](const Notification&) { ++count; });
        action();
        return count;
    }

    std::shared_ptr<Scene> scene;
    std::shared_ptr<MeshLayer> layer;
};

TEST_F(MeshObjectTest, NewObjectHasTheDefaults) {
    MeshObject object(layer.get());
    EXPECT_EQ(object.meshLayer(), layer.get());
    EXPECT_EQ(object.position(), (Point{5.0, 5.0}));
    EXPECT_EQ(object.scale(), 1.0f);
    EXPECT_EQ(object.zRotation(), 0.0f);
    EXPECT_EQ(object.heightOverTerrain(), 0.0f);
    EXPECT_TRUE(object.meshs().empty());
    EXPECT_TRUE(object.materials().empty());
    EXPECT_EQ(object.bounds(), Box{});
}

TEST_F(MeshObjectTest, MergingMaterialZeroIntoTwoRenumbersEveryFace) {
    auto object = objectWithFaceMaterials(layer.get(), {0, 1, 2, 1, 0});
    auto kept = object->materials()[2];
    object->mergeMaterial(kept, object->materials()[0]);

    ASSERT_EQ(object->materials().size(), 2u);
    EXPECT_EQ(object->materials()[0]->name(), "B");
    EXPECT_EQ(object->materials()[1], kept);
    EXPECT_EQ(faceMaterials(*object), (std::vector<int16_t>{1, 0, 1, 0, 1}));
}

TEST_F(MeshObjectTest, MergingSelectedMaterialsInOrderLeavesTheFirstWithAllFaces) {
    auto object = objectWithFaceMaterials(layer.get(), {0, 1, 2});
    const auto a = object->materials()[0], b = object->materials()[1], c = object->materials()[2];
    object->mergeMaterial(a, b);
    object->mergeMaterial(a, c);
    ASSERT_EQ(object->materials().size(), 1u);
    EXPECT_EQ(object->materials()[0], a);
    EXPECT_EQ(faceMaterials(*object), (std::vector<int16_t>{0, 0, 0}));
}

TEST_F(MeshObjectTest, MergeIsOneGeometryChangeAndIgnoresMaterialsNotInTheList) {
    auto object = objectWithFaceMaterials(layer.get(), {0, 1, 2});
    const auto stranger = std::make_shared<DiffuseMaterial>();
    EXPECT_EQ(countSceneChanges([&] { object->mergeMaterial(object->materials()[0], stranger); }), 0);
    EXPECT_EQ(countSceneChanges([&] { object->mergeMaterial(stranger, object->materials()[0]); }), 0);
    EXPECT_EQ(countSceneChanges([&] { object->mergeMaterial(object->materials()[1], object->materials()[1]); }), 0);
    EXPECT_EQ(object->materials().size(), 3u);
    EXPECT_EQ(faceMaterials(*object), (std::vector<int16_t>{0, 1, 2}));

    std::vector<KeyValueChangeKind> announced;
    object->addObserver("materials", [&](const KeyValueChange& change) { announced.push_back(change.kind); });
    EXPECT_EQ(countSceneChanges([&] { object->mergeMaterial(object->materials()[1], object->materials()[0]); }), 1);
    EXPECT_EQ(announced.size(), 1u);
}

TEST_F(MeshObjectTest, GeometryBracketRecalculatesBoundsOnlyWhenTheOutermostEnds) {
    auto object = std::make_shared<MeshObject>(layer.get());
    auto mesh = std::make_shared<Mesh>();
    int changes = countSceneChanges([&] {
        object->beginChangingGeometry();
        object->beginChangingGeometry();
        object->addMesh(mesh);
        mesh->addVertex({-1, 2, 3}, {});
        mesh->addVertex({4, -5, 6}, {});
        object->endChangingGeometry();
        EXPECT_EQ(object->bounds(), Box{});
        object->endChangingGeometry();
    });
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(mesh->meshObject(), object.get());
    EXPECT_EQ(object->bounds(), (Box{{-1, -5, 3}, {4, 2, 6}}));
    // An end without a begin does not leave the bracket open.
    object->endChangingGeometry();
    EXPECT_EQ(object->changeStackCount(), 0);
}

TEST_F(MeshObjectTest, BoundsUniteTheMeshesAndStayWithoutMeshes) {
    auto object = std::make_shared<MeshObject>();
    object->setBounds({{1, 1, 1}, {2, 2, 2}});
    object->recalculateBounds();
    EXPECT_EQ(object->bounds(), (Box{{1, 1, 1}, {2, 2, 2}}));

    auto first = std::make_shared<Mesh>();
    first->addVertex({0, 0, 0}, {});
    auto second = std::make_shared<Mesh>();
    second->addVertex({-3, 1, 7}, {});
    object->addMesh(first);
    object->addMesh(second);
    object->addMesh(std::make_shared<Mesh>());  // empty: all zeros, which the union includes
    object->recalculateBounds();
    EXPECT_EQ(object->bounds(), (Box{{-3, 0, 0}, {0, 1, 7}}));

    object->removeMesh(second);
    EXPECT_EQ(object->meshs().size(), 2u);
    EXPECT_EQ(second->meshObject(), nullptr);
}

TEST_F(MeshObjectTest, MeshTransformsAndBoundsOfAnEmptyMesh) {
    Mesh mesh;
    EXPECT_EQ(mesh.calculateMeshBounds(), Box{});
    mesh.addVertex({1, 2, 3}, {0.5f, 0.5f});
    mesh.addVertex({-1, 0, 1}, {0, 1});
    mesh.moveAllVerticesBy({1, 1, 1});
    mesh.multiplyAllVerticesBy(2);
    EXPECT_EQ(mesh.vertices()[0], (MeshVertex{4, 6, 8}));
    EXPECT_EQ(mesh.vertices()[1], (MeshVertex{0, 2, 4}));
    EXPECT_EQ(mesh.calculateMeshBounds(), (Box{{0, 2, 4}, {4, 6, 8}}));
    EXPECT_EQ(mesh.uvs().size(), 2u);
}

TEST_F(MeshObjectTest, PlacementSettersPostAndCopiesShareTheGeometry) {
    auto object = objectWithFaceMaterials(layer.get(), {0});
    layer->addMeshObject(object);
    EXPECT_EQ(countSceneChanges([&] {
                  object->setPosition({1, 2});
                  object->setScale(3);
                  object->setZRotation(45);
                  object->setHeightOverTerrain(0.5f);
              }),
              4);
    object->setUserName("Shed");
    object->setBounds({{-1, -1, -1}, {1, 1, 1}});

    auto copy = object->copy();
    EXPECT_EQ(copy->meshLayer(), nullptr);
    EXPECT_EQ(copy->userName(), "Shed");
    EXPECT_EQ(copy->position(), (Point{1, 2}));
    EXPECT_EQ(copy->scale(), 3.0f);
    EXPECT_EQ(copy->zRotation(), 45.0f);
    EXPECT_EQ(copy->heightOverTerrain(), 0.5f);
    EXPECT_EQ(copy->bounds(), object->bounds());
    EXPECT_EQ(copy->meshs(), object->meshs());
    EXPECT_EQ(copy->materials(), object->materials());
}

}  // namespace
}  // namespace korvane
