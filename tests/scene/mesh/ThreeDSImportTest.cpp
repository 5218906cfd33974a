#include <cmath>

#include <gtest/gtest.h>

#include "MeshTestSupport.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/layers/mesh/MeshImportProcess.h"
#include "scene/layers/mesh/MeshObject.h"

#include <sys/stat.h>

#include <fstream>

namespace korvane {
namespace {

using testing::boxMesh;
using testing::ScratchFolder;
using testing::write3ds;

class ThreeDSImportTest : public ::testing::Test {
protected:
    void SetUp() override { registerSceneClasses(); }
    ScratchFolder folder;
};

TEST_F(ThreeDSImportTest, BoxIsCentredWithItsFileZAsHeightAndLargestExtentOne) {
    ThreeDSFile contents;
    contents.meshes.push_back(boxMesh("box", {0, 0, 0}, {2, 4, 1}));
    MeshObject object;
    ASSERT_TRUE(object.load3DSFile(write3ds(folder, "box.3ds", contents)));

    const Box expected{{-0.25f, -0.125f, -0.5f}, {0.25f, 0.125f, 0.5f}};
    EXPECT_EQ(object.bounds(), expected);
    ASSERT_EQ(object.meshs().size(), 1u);
    EXPECT_EQ(object.meshs()[0]->calculateMeshBounds(), expected);
    // The file's corner (2, 4, 1) lands at x 0.25, y (file z) 0.125, z (file y) 0.5.
    const auto& vertices = object.meshs()[0]->vertices();
    EXPECT_NE(std::find(vertices.begin(), vertices.end(), MeshVertex{0.25f, 0.125f, 0.5f}), vertices.end());
    EXPECT_EQ(object.meshs()[0]->facesCount(), 12u);
    EXPECT_EQ(object.changeStackCount(), 0);
}

TEST_F(ThreeDSImportTest, MaterialsAreNamedAndDarkenedByTheirTransparency) {
    ThreeDSFile contents;
    contents.materials.push_back({"", {1.0f, 0.0f, 1.0f}, 0.5f});
    contents.materials.push_back({"Roof", {0.2f, 0.4f, 0.6f}, 0.0f});
    contents.materials.push_back({"Wall", {0.0f, 1.0f, 0.0f}, 0.0f});
    contents.meshes.push_back(boxMesh("box", {0, 0, 0}, {1, 1, 1}, 1));
    MeshObject object;
    ASSERT_TRUE(object.load3DSFile(write3ds(folder, "materials.3ds", contents)));

    ASSERT_EQ(object.materials().size(), 3u);
    EXPECT_EQ(object.materials()[0]->name(), "Material 0");
    EXPECT_EQ(object.materials()[1]->name(), "Roof");
    EXPECT_EQ(object.materials()[2]->name(), "Wall");
    const Color half = *object.materials()[0]->color();
    EXPECT_FLOAT_EQ(half.red, 0.5);
    EXPECT_FLOAT_EQ(half.green, 0.0);
    EXPECT_FLOAT_EQ(half.blue, 0.5);
    EXPECT_FLOAT_EQ(half.alpha, 1.0);
    for (const auto& material : object.materials()) EXPECT_EQ(material->bumpStrength(), 0.0f);
    // 3DS stores colours in 8 bits per channel.
    EXPECT_NEAR(object.materials()[1]->color()->blue, 0.6, 1.0 / 255);
    for (const MeshFace& face : object.meshs()[0]->faces()) EXPECT_EQ(face.material, 1);
}

TEST_F(ThreeDSImportTest, HiddenMeshesAreSkipped) {
    ThreeDSFile contents;
    contents.meshes.push_back(boxMesh("shown", {0, 0, 0}, {1, 1, 1}));
    ThreeDSMesh hidden = boxMesh("hidden", {10, 10, 10}, {30, 30, 30});
    hidden.hidden = true;
    contents.meshes.push_back(hidden);
    MeshObject object;
    ASSERT_TRUE(object.load3DSFile(write3ds(folder, "hidden.3ds", contents)));

    ASSERT_EQ(object.meshs().size(), 1u);
    // Only the shown unit box was fitted: the hidden one did not count towards the bounds.
    EXPECT_EQ(object.bounds(), (Box{{-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}}));
}

TEST_F(ThreeDSImportTest, FacesWithoutAValidMaterialUseTheFirstAndMissingTexelsReadZero) {
    ThreeDSFile contents;
    contents.materials.push_back({"Wall", {1, 1, 1}, 0});
    ThreeDSMesh mesh = boxMesh("box", {0, 0, 0}, {1, 1, 1});  // faces name no material
    mesh.texels = {{0.25f, 0.75f}};                            // fewer texels than points
    mesh.faces.push_back({{0, 1, 200}, 0});                    // a point the mesh does not have
    contents.meshes.push_back(mesh);
    MeshObject object;
    ASSERT_TRUE(object.load3DSFile(write3ds(folder, "faces.3ds", contents)));

    const Mesh& read = *object.meshs()[0];
    for (const MeshFace& face : read.faces()) EXPECT_EQ(face.material, 0);
    EXPECT_EQ(read.uvs()[0], (MeshUV{0.25f, 0.75f}));
    EXPECT_EQ(read.uvs()[1], (MeshUV{0, 0}));
    // The bad face is kept as stored: rendering leaves it out.
    EXPECT_EQ(read.faces().back().c, 200u);
}

TEST_F(ThreeDSImportTest, AnUnreadableFileAnswersNoAndChangesNothing) {
    const std::string path = folder.file("noise.3ds");
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("this is not a 3DS file at all", file);
    std::fclose(file);
    MeshObject object;
    EXPECT_FALSE(object.load3DSFile(path));
    EXPECT_FALSE(object.load3DSFile(folder.file("missing.3ds")));
    EXPECT_TRUE(object.meshs().empty());
    EXPECT_TRUE(object.materials().empty());
    EXPECT_EQ(object.bounds(), Box{});
    EXPECT_EQ(object.changeStackCount(), 0);
}

TEST_F(ThreeDSImportTest, NonFiniteCoordinatesReadAsZero) {
    ThreeDSFile contents;
    ThreeDSMesh mesh = boxMesh("box", {0, 0, 0}, {2, 2, 2});
    mesh.points[0] = {std::nanf(""), 1.0f, INFINITY};
    contents.meshes.push_back(mesh);
    MeshObject object;
    ASSERT_TRUE(object.load3DSFile(write3ds(folder, "nan.3ds", contents)));
    EXPECT_EQ(object.bounds(), (Box{{-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}}));
    EXPECT_EQ(object.meshs()[0]->vertices()[0], (MeshVertex{-0.5f, -0.5f, 0.0f}));
}

TEST_F(ThreeDSImportTest, AnObjectWithoutExtentIsCentredButNotScaledToInfinity) {
    ThreeDSFile contents;
    ThreeDSMesh point;
    point.name = "point";
    point.points = {{3, 3, 3}, {3, 3, 3}, {3, 3, 3}};
    point.faces = {{{0, 1, 2}, -1}};
    contents.meshes.push_back(point);
    MeshObject object;
    ASSERT_TRUE(object.load3DSFile(write3ds(folder, "point.3ds", contents)));
    for (const MeshVertex& v : object.meshs()[0]->vertices()) {
        EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
        EXPECT_EQ(v, (MeshVertex{0, 0, 0}));
    }
}

// A stand-in for the importer (called as `PROGRAM import-3ds FILE OUTPUT`), as a shell script.
std::string importerScript(ScratchFolder& folder, const std::string& name, const std::string& body) {
    const std::string path = folder.file(name);
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0755);
    return path;
}

TEST_F(ThreeDSImportTest, ChildThatStopsMakingProgressIsReportedAsHungAndACrashAtOnce) {
    const std::string input = folder.file("slow.3ds");
    std::ofstream(input) << std::string(64, 'x');
    // Idle without reading: hung, reported after the stall window rather than the 60 s limit.
    const std::string idle = importerScript(folder, "idle.sh", "exec sleep 600");
    MeshImportResult hung = importThreeDSFileInChildProcess(input, idle, 60, 1);
    EXPECT_FALSE(hung.object);
    EXPECT_NE(hung.error.find("hung (no progress for 1 s)"), std::string::npos) << hung.error;

    // Reading on a byte every quarter second for two seconds is progress: it ends on its own
    // (failing), never taken for hung.
    const std::string reader = importerScript(
        folder, "reader.sh",
        "exec 3<\"$2\"; i=0; while [ $i -lt 8 ]; do dd bs=1 count=1 <&3 >/dev/null 2>&1; sleep 0.25; "
        "i=$((i+1)); done; exit 1");
    MeshImportResult slow = importThreeDSFileInChildProcess(input, reader, 60, 1);
    EXPECT_FALSE(slow.object);
    EXPECT_NE(slow.error.find("lib3ds cannot read it"), std::string::npos) << slow.error;

    const std::string crashing = importerScript(folder, "crash.sh", "kill -SEGV $$");
    MeshImportResult crashed = importThreeDSFileInChildProcess(input, crashing, 60, 60);
    EXPECT_NE(crashed.error.find("the 3DS reader crashed"), std::string::npos) << crashed.error;
}

}  // namespace
}  // namespace korvane
