#include <gtest/gtest.h>

#include "MeshTestSupport.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/layers/mesh/MeshObjectFile.h"
#include "scene/layers/mesh/MeshObjectLibrary.h"

namespace korvane {
namespace {

using testing::ScratchFolder;

TEST(MeshObjectLibraryTest, AddedObjectsStandAtTheDefaultPlaceWhateverTheFileSays) {
    registerSceneClasses();
    ScratchFolder folder;
    std::filesystem::create_directories(folder.file("Houses"));
    MeshObject stored;
    stored.setUserName("stored name");
    stored.setPosition({1, 9});
    stored.setScale(3.5f);
    stored.setZRotation(120);
    stored.setHeightOverTerrain(0.25f);
    std::string error;
    ASSERT_TRUE(writeMeshObjectFile(stored, folder.file("Houses/Cabin.meshobject"), &error)) << error;
    ASSERT_TRUE(writeMeshObjectFile(stored, folder.file("Boat.meshobject"), &error)) << error;

    const std::vector<MeshLibraryEntry> entries = meshLibraryEntries(folder.file(""));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "Boat");
    EXPECT_EQ(entries[1].name, "Cabin");
    auto object = objectFromLibraryEntry(entries[1], &error);
    ASSERT_NE(object, nullptr) << error;
    EXPECT_EQ(object->userName(), "Cabin");
    EXPECT_EQ(object->position(), (Point{5.0, 5.0}));
    EXPECT_EQ(object->scale(), 1.0f);
    EXPECT_EQ(object->zRotation(), 0.0f);
    EXPECT_EQ(object->heightOverTerrain(), 0.25f);
}

TEST(MeshObjectLibraryTest, UnreadableEntriesAndMissingFoldersAreReported) {
    ScratchFolder folder;
    EXPECT_TRUE(meshLibraryEntries(folder.file("missing")).empty());
    const std::string path = folder.file("Broken.meshobject");
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("not an archive", file);
    std::fclose(file);
    std::string error;
    EXPECT_EQ(objectFromLibraryEntry({path, "Broken"}, &error), nullptr);
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace korvane
