#include <cstring>

#include <gtest/gtest.h>

#include "../layers/LayerTestSupport.h"
#include "scene/SceneFile.h"
#include "scene/layers/mesh/MeshLayer.h"

namespace korvane {
namespace {

using testing::PartialWriter;
using testing::roundTrip;

std::vector<uint8_t> littleEndian(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> bytes;
    for (uint32_t word : words) {
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(word >> shift));
    }
    return bytes;
}

uint32_t bitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

UnarchiveResult decodeMeshWith(int32_t verticesCount, std::vector<uint8_t> vertices, std::vector<uint8_t> uvs,
                               int32_t facesCount, std::vector<uint8_t> faces) {
    registerSceneClasses();
    PartialWriter writer("Mesh", [&](KeyedArchiver& coder) {
        coder.encodeData("verticesData", vertices);
        coder.encodeData("uvsData", uvs);
        coder.encodeInt32("verticesCount", verticesCount);
        coder.encodeData("facesData", faces);
        coder.encodeInt32("facesCount", facesCount);
    });
    return KeyedUnarchiver::unarchive(KeyedArchiver::archivedData(writer));
}

TEST(MeshArchiveTest, DataBlocksAreRawLittleEndianRecords) {
    // One vertex (1.5, -2, 0.25) with UV (0.5, 1) and one face (0, 0, 0) of material -1.
    const std::vector<uint8_t> vertices = littleEndian({bitsOf(1.5f), bitsOf(-2.0f), bitsOf(0.25f)});
    const std::vector<uint8_t> uvs = littleEndian({bitsOf(0.5f), bitsOf(1.0f)});
    std::vector<uint8_t> faces = littleEndian({0, 0, 0});
    faces.insert(faces.end(), {0xff, 0xff, 0, 0});
    UnarchiveResult result = decodeMeshWith(1, vertices, uvs, 1, faces);
    auto mesh = std::dynamic_pointer_cast<Mesh>(result.root);
    ASSERT_NE(mesh, nullptr) << result.error;
    EXPECT_EQ(mesh->vertices()[0], (MeshVertex{1.5f, -2.0f, 0.25f}));
    EXPECT_EQ(mesh->uvs()[0], (MeshUV{0.5f, 1.0f}));
    EXPECT_EQ(mesh->faces()[0], (MeshFace{0, 0, 0, -1}));

    // And the mesh writes exactly those blocks back.
    auto again = roundTrip<Mesh>(*mesh);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->vertices(), mesh->vertices());
    EXPECT_EQ(again->uvs(), mesh->uvs());
    EXPECT_EQ(again->faces(), mesh->faces());
}

TEST(MeshArchiveTest, CountsThatDisagreeWithTheirBlocksAreRejected) {
    const std::vector<uint8_t> vertex(12, 0), uv(8, 0), face(16, 0);
    // More vertices than the block holds would read past it.
    UnarchiveResult tooMany = decodeMeshWith(1000, vertex, uv, 1, face);
    EXPECT_EQ(tooMany.root, nullptr);
    EXPECT_NE(tooMany.error.find("verticesCount"), std::string::npos) << tooMany.error;
    UnarchiveResult shortUVs = decodeMeshWith(1, vertex, {}, 1, face);
    EXPECT_EQ(shortUVs.root, nullptr);
    UnarchiveResult faces = decodeMeshWith(1, vertex, uv, 2, face);
    EXPECT_EQ(faces.root, nullptr);
    EXPECT_NE(faces.error.find("facesCount"), std::string::npos) << faces.error;
    UnarchiveResult negative = decodeMeshWith(-1, vertex, uv, 1, face);
    EXPECT_EQ(negative.root, nullptr);
    // Fewer records than the block holds is just as damaged.
    UnarchiveResult tooFew = decodeMeshWith(0, vertex, uv, 1, face);
    EXPECT_EQ(tooFew.root, nullptr);
    // An empty mesh has empty (or absent) blocks.
    EXPECT_NE(decodeMeshWith(0, {}, {}, 0, {}).root, nullptr);
}

TEST(MeshArchiveTest, ObjectAndLayerSurviveAScene) {
    registerSceneClasses();
    Scene scene;
    auto layer = std::make_shared<MeshLayer>(&scene);
    scene.addLayer(layer);
    auto object = std::make_shared<MeshObject>();
    auto material = std::make_shared<DiffuseMaterial>();
    material->setName("Bark");
    object->setMaterials({material});
    auto mesh = std::make_shared<Mesh>();
    mesh->addVertex({0.5f, -0.5f, 0.25f}, {1, 0});
    mesh->addVertex({-0.5f, 0.5f, -0.25f}, {0, 1});
    mesh->addVertex({0, 0, 0}, {0, 0});
    mesh->addFace({0, 1, 2, 0});
    object->addMesh(mesh);
    object->recalculateBounds();
    object->setUserName("Fir");
    object->setPosition({2.5, 7.25});
    object->setScale(1.5f);
    object->setZRotation(-30);
    object->setHeightOverTerrain(0.125f);
    auto thumbnail = std::make_shared<Bitmap>(4, 4, PixelFormat::RGBA8);
    object->setIsometricThumbnail(thumbnail);
    layer->addMeshObject(object);

    std::vector<uint8_t> bytes = KeyedArchiver::archivedData(scene);
    std::string error;
    auto decoded = KeyedUnarchiver::unarchiveRoot<Scene>(bytes, "Scene", &error);
    ASSERT_NE(decoded, nullptr) << error;
    auto layers = decoded->layersOfClass<MeshLayer>();
    ASSERT_EQ(layers.size(), 1u);
    EXPECT_EQ(layers[0]->scene(), decoded.get());
    ASSERT_EQ(layers[0]->meshObjects().size(), 1u);
    const MeshObject& read = *layers[0]->meshObjects()[0];
    EXPECT_EQ(read.meshLayer(), layers[0].get());
    EXPECT_EQ(read.userName(), "Fir");
    EXPECT_EQ(read.position(), (Point{2.5, 7.25}));
    EXPECT_EQ(read.scale(), 1.5f);
    EXPECT_EQ(read.zRotation(), -30.0f);
    EXPECT_EQ(read.heightOverTerrain(), 0.125f);
    EXPECT_EQ(read.bounds(), object->bounds());
    ASSERT_EQ(read.materials().size(), 1u);
    EXPECT_EQ(read.materials()[0]->name(), "Bark");
    ASSERT_EQ(read.meshs().size(), 1u);
    EXPECT_EQ(read.meshs()[0]->meshObject(), &read);
    EXPECT_EQ(read.meshs()[0]->vertices(), mesh->vertices());
    EXPECT_EQ(read.meshs()[0]->faces(), mesh->faces());
    ASSERT_NE(read.isometricThumbnail(), nullptr);
    EXPECT_EQ(read.isometricThumbnail()->width(), 4);
    EXPECT_EQ(read.topDownThumbnail(), nullptr);
}

TEST(MeshArchiveTest, AbsentValuesReadZero) {
    registerSceneClasses();
    PartialWriter writer("MeshObject", [](KeyedArchiver& coder) { coder.encodeString("userName", "Old"); });
    auto object = std::dynamic_pointer_cast<MeshObject>(KeyedUnarchiver::unarchive(KeyedArchiver::archivedData(writer)).root);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->userName(), "Old");
    EXPECT_EQ(object->scale(), 0.0f);
    EXPECT_EQ(object->position(), (Point{0, 0}));
    EXPECT_TRUE(object->meshs().empty());
}

}  // namespace
}  // namespace korvane
