#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "../layers/LayerTestSupport.h"
#include "MeshTestSupport.h"
#include "scene/layers/mesh/MeshLayer.h"

namespace korvane {
namespace {

using testing::FlatTerrain;
using testing::ForeignRenderer;
using testing::GeometryRenderer;

// An object whose one mesh is the box from `low` to `high` in object coordinates, with
// `materials` plain materials; its bounds are set.
std::shared_ptr<MeshObject> boxObject(MeshVertex low, MeshVertex high, int materials = 1) {
    auto object = std::make_shared<MeshObject>();
    MeshObject::MaterialList list;
    for (int i = 0; i < materials; ++i) list.push_back(std::make_shared<DiffuseMaterial>());
    object->setMaterials(list);
    auto mesh = std::make_shared<Mesh>();
    for (int corner = 0; corner < 8; ++corner) {
        mesh->addVertex({corner & 1 ? high.x : low.x, corner & 2 ? high.y : low.y, corner & 4 ? high.z : low.z},
                        {static_cast<float>(corner), 10.0f});
    }
    mesh->addFace({0, 1, 2, 0});
    mesh->addFace({4, 5, 6, 0});
    object->beginChangingGeometry();
    object->addMesh(mesh);
    object->endChangingGeometry();
    return object;
}

class MeshLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        scene = std::make_shared<Scene>();
        layer = std::make_shared<MeshLayer>(scene.get());
        scene->addLayer(layer);
    }

    std::shared_ptr<Scene> scene;
    std::shared_ptr<MeshLayer> layer;
};

TEST_F(MeshLayerTest, LayerTableValues) {
    EXPECT_EQ(layer->name(), "Objects");
    EXPECT_EQ(layer->nameForListView(), "Objects");
    EXPECT_EQ(layer->icon(), "MeshLayerIcon.png");
    EXPECT_EQ(layer->editLayerClassName(), "EditMeshLayerViewController");
    EXPECT_EQ(layer->orderForFunctionsList(), 200);
    EXPECT_TRUE(layer->canBeDeleted());
    EXPECT_NE(SceneLayerRegistry::shared().createLayer("MeshLayer", scene.get()), nullptr);
}

TEST_F(MeshLayerTest, AddingAndRemovingAdoptsAndReleasesTheObject) {
    auto object = std::make_shared<MeshObject>();
    std::vector<KeyValueChangeKind> kinds;
    layer->addObserver("meshObjects", [&](const KeyValueChange& change) { kinds.push_back(change.kind); });
    layer->addMeshObject(object);
    EXPECT_EQ(object->meshLayer(), layer.get());
    layer->removeMeshObject(object);
    EXPECT_EQ(object->meshLayer(), nullptr);
    EXPECT_TRUE(layer->meshObjects().empty());
    EXPECT_EQ(kinds, (std::vector<KeyValueChangeKind>{KeyValueChangeKind::Insertion, KeyValueChangeKind::Removal}));
}

TEST_F(MeshLayerTest, SceneSizeChangeKeepsObjectsAboutTheCentreAndClampsThem) {
    auto near = std::make_shared<MeshObject>();
    near->setPosition({1, 1});
    layer->addMeshObject(near);
    scene->setSize({20, 20});
    EXPECT_EQ(near->position(), (Point{6, 6}));

    auto scene2 = std::make_shared<Scene>();
    auto layer2 = std::make_shared<MeshLayer>(scene2.get());
    scene2->addLayer(layer2);
    auto far = std::make_shared<MeshObject>();
    far->setPosition({9, 9});
    layer2->addMeshObject(far);
    scene2->setSize({4, 4});  // moved by (-3, -3) to (6, 6), then clamped
    EXPECT_EQ(far->position(), (Point{4, 4}));
}

TEST_F(MeshLayerTest, ObjectRestsItsLowestPointOnTheTerrain) {
    scene->addLayer(std::make_shared<FlatTerrain>(1.0f));
    auto object = boxObject({-0.5f, -0.25f, -0.5f}, {0.5f, 0.25f, 0.5f});
    object->setScale(2);
    layer->addMeshObject(object);
    GeometryRenderer renderer(scene);
    layer->appendToRenderer(renderer);

    const auto& points = renderer.recorder.points;
    ASSERT_EQ(points.size(), 8u);
    double lowest = points[0][2];
    for (const auto& p : points) lowest = std::min(lowest, p[2]);
    EXPECT_NEAR(lowest, 1.0, 1e-6);
    // Plan (5, 5) is ground (5, 10 - 5); the box spans two scene units across at scale 2.
    for (const auto& p : points) {
        EXPECT_NEAR(std::fabs(p[0] - 5.0), 1.0, 1e-6);
        EXPECT_NEAR(std::fabs(p[1] - 5.0), 1.0, 1e-6);
    }
    EXPECT_EQ(renderer.recorder.triangles, 2);
    EXPECT_EQ(renderer.recorder.smoothingAngles, (std::vector<double>{40.0}));
    // UVs are handed on at a tenth.
    EXPECT_FLOAT_EQ(renderer.recorder.uvs[3][0], 0.3f);
    EXPECT_FLOAT_EQ(renderer.recorder.uvs[3][1], 1.0f);
}

TEST_F(MeshLayerTest, HeightAndRotationPlaceTheObject) {
    auto object = boxObject({0, 0, 0}, {1, 1, 1});  // the corner (1, ·, 0) lies on +x
    object->setPosition({2, 3});
    object->setHeightOverTerrain(0.5f);
    object->setZRotation(90);
    layer->addMeshObject(object);
    GeometryRenderer renderer(scene);
    layer->appendToRenderer(renderer);
    const auto& points = renderer.recorder.points;
    ASSERT_EQ(points.size(), 8u);
    // Corner 1 is object (1, 0, 0): turned by 90° it becomes (0, 0, -1), so it lies one unit towards
    // the bottom of the plan (ground y grows with object z), at the lift above the ground.
    EXPECT_NEAR(points[1][0], 2.0, 1e-6);
    EXPECT_NEAR(points[1][1], 10.0 - 3.0 - 1.0, 1e-6);
    EXPECT_NEAR(points[1][2], 0.5, 1e-6);
}

TEST_F(MeshLayerTest, FacesOutsideTheMeshAndUnknownMaterialsAreHandled) {
    auto object = boxObject({0, 0, 0}, {1, 1, 1}, 2);
    object->meshs()[0]->addFace({0, 1, 8, 1});   // vertex 8 does not exist
    object->meshs()[0]->addFace({0, 1, 2, 99});  // no material 99: the first one
    layer->addMeshObject(object);
    GeometryRenderer renderer(scene);
    layer->appendToRenderer(renderer);
    ASSERT_EQ(renderer.recorder.triangles, 3);
    EXPECT_EQ(renderer.recorder.triangleMaterials[2], renderer.recorder.triangleMaterials[0]);
}

TEST_F(MeshLayerTest, ObjectWithoutMaterialsGetsADefaultOneAndEmptyMeshesAddNothing) {
    auto object = boxObject({0, 0, 0}, {1, 1, 1}, 0);
    object->addMesh(std::make_shared<Mesh>());
    layer->addMeshObject(object);
    GeometryRenderer renderer(scene);
    layer->appendToRenderer(renderer);
    EXPECT_EQ(renderer.recorder.meshes, 1);
    ASSERT_EQ(renderer.recorder.triangles, 2);
    EXPECT_EQ(renderer.recorder.triangleMaterials[0], renderer.recorder.triangleMaterials[1]);
    EXPECT_GE(renderer.recorder.indexOf("paramsSetString \"type\" \"shinydiffusemat\""), 0);
}

TEST_F(MeshLayerTest, OnlyRayTracersReceiveObjects) {
    layer->addMeshObject(boxObject({0, 0, 0}, {1, 1, 1}));
    ForeignRenderer renderer;
    layer->appendToRenderer(renderer);
    EXPECT_EQ(renderer.recorder.meshes, 0);
    EXPECT_TRUE(renderer.recorder.calls.empty());
}

TEST_F(MeshLayerTest, CopyHoldsCopiesOfTheObjectsOwnedByTheCopy) {
    auto object = boxObject({0, 0, 0}, {1, 1, 1});
    layer->addMeshObject(object);
    auto copy = std::dynamic_pointer_cast<MeshLayer>(layer->copy());
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->meshObjects().size(), 1u);
    EXPECT_NE(copy->meshObjects()[0], object);
    EXPECT_EQ(copy->meshObjects()[0]->meshLayer(), copy.get());
    EXPECT_EQ(copy->meshObjects()[0]->meshs(), object->meshs());
}

}  // namespace
}  // namespace korvane
