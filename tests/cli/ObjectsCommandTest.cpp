#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/Commands.h"
#include "scene/SceneFile.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/layers/mesh/MeshImportProcess.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/mesh/ThreeDSFile.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

const std::string kKorvane = std::string(KORVANE_BINARY_DIR) + "/bin/korvane";

// A 3DS file of one box from (0, 0, 0) to (2, 4, 1) with two materials.
ThreeDSFile boxContents() {
    ThreeDSFile contents;
    contents.materials.push_back({"Paint", {1, 0, 0}, 0});
    contents.materials.push_back({"Roof", {0, 0, 1}, 0});
    ThreeDSMesh mesh;
    mesh.name = "box";
    for (int corner = 0; corner < 8; ++corner) {
        mesh.points.push_back({corner & 1 ? 2.0f : 0.0f, corner & 2 ? 4.0f : 0.0f, corner & 4 ? 1.0f : 0.0f});
    }
    mesh.faces = {{{0, 1, 3}, 0}, {{0, 3, 2}, 1}, {{4, 5, 7}, 1}};
    contents.meshes.push_back(mesh);
    return contents;
}

class ObjectsCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        dir = fs::temp_directory_path() / ("korvane-objects-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        scene = (dir / "scene.korvane").string();
        ASSERT_EQ(run({"new", scene}), 0) << err.str();
        box = (dir / "Shed.3ds").string();
        std::string error;
        ASSERT_TRUE(writeThreeDSFile(boxContents(), box, &error)) << error;
    }
    void TearDown() override { fs::remove_all(dir); }

    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return cli::runCommandLine(args, out, err);
    }
    // Runs the korvane executable itself (the 3DS import needs its importer beside it); its
    // standard error is kept in `err`.
    int runExecutable(const std::vector<std::string>& args) {
        std::string command = "'" + kKorvane + "'";
        for (const std::string& arg : args) command += " '" + arg + "'";
        command += " 2>'" + (dir / "stderr.txt").string() + "'";
        const int status = std::system(command.c_str());
        std::ifstream stderrFile(dir / "stderr.txt");
        err.str("");
        err << stderrFile.rdbuf();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::shared_ptr<MeshObject> onlyObject() {
        SceneReadResult read = readSceneFile(scene);
        if (!read.scene) return nullptr;
        auto layers = read.scene->layersOfClass<MeshLayer>();
        if (layers.size() != 1 || layers[0]->meshObjects().size() != 1) return nullptr;
        keptScene = read.scene;
        return layers[0]->meshObjects()[0];
    }
    std::string writeScript(const std::string& name, const std::string& body) {
        const fs::path path = dir / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }

    fs::path dir;
    std::string scene, box;
    std::shared_ptr<Scene> keptScene;
    std::ostringstream out, err;
};

TEST_F(ObjectsCommandTest, AddThreeDSImportsThroughTheChildProcessAndPlacesTheObject) {
    ASSERT_EQ(runExecutable({"objects", scene, "--add-3ds", box, "--at", "3,4", "--scale", "2", "--rotate", "30",
                             "--lift", "0.5"}),
              0)
        << err.str();
    auto object = onlyObject();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->userName(), "Shed");
    EXPECT_EQ(object->position(), (Point{3, 4}));
    EXPECT_EQ(object->scale(), 2.0f);
    EXPECT_EQ(object->zRotation(), 30.0f);
    EXPECT_EQ(object->heightOverTerrain(), 0.5f);
    EXPECT_EQ(object->bounds(), (Box{{-0.25f, -0.125f, -0.5f}, {0.25f, 0.125f, 0.5f}}));
    EXPECT_EQ(object->materials().size(), 2u);
    // The importer rendered both thumbnails.
    ASSERT_NE(object->isometricThumbnail(), nullptr);
    EXPECT_EQ(object->isometricThumbnail()->width(), 256);
    EXPECT_NE(object->topDownThumbnail(), nullptr);

    ASSERT_EQ(run({"info", scene, "--json"}), 0) << err.str();
    const std::string json = out.str();
    EXPECT_NE(json.find("\"meshObjects\":[{\"name\":\"Shed\",\"position\":[3,4],\"scale\":2,\"zRotation\":30,"
                        "\"heightOverTerrain\":0.5,\"bounds\":{\"start\":[-0.25,-0.125,-0.5],"
                        "\"end\":[0.25,0.125,0.5]},\"meshes\":1,\"vertices\":8,\"faces\":3,\"materials\":2}]"),
              std::string::npos)
        << json;
}

TEST_F(ObjectsCommandTest, ImportCommandWritesASingleObjectArchive) {
    const std::string archive = (dir / "Shed.meshobject").string();
    ASSERT_EQ(run({"import-3ds", box, archive}), 0) << err.str();
    MeshImportResult viaChild = importThreeDSFileInChildProcess(box, kKorvane);
    ASSERT_NE(viaChild.object, nullptr) << viaChild.error;
    EXPECT_EQ(viaChild.object->userName(), "Shed");
    EXPECT_EQ(viaChild.object->meshs().size(), 1u);
    EXPECT_EQ(run({"import-3ds", box}), 2);
    EXPECT_EQ(run({"import-3ds", (dir / "missing.3ds").string(), archive + "2"}), 1);
    EXPECT_EQ(err.str(), "korvane: " + (dir / "missing.3ds").string() + ": No such file or directory\n");
    EXPECT_FALSE(fs::exists(archive + "2"));
}

TEST_F(ObjectsCommandTest, AnImporterThatCrashesOrHangsIsReportedAndTheDocumentKept) {
    MeshImportResult crashed = importThreeDSFileInChildProcess(box, writeScript("crash.sh", "kill -SEGV $$"));
    EXPECT_EQ(crashed.object, nullptr);
    EXPECT_EQ(crashed.error, "could not read " + box + ": the 3DS reader crashed");
    MeshImportResult hung = importThreeDSFileInChildProcess(box, writeScript("hang.sh", "exec sleep 30"), 1);
    EXPECT_EQ(hung.object, nullptr);
    EXPECT_EQ(hung.error, "could not read " + box + ": the 3DS reader did not finish");
    MeshImportResult garbage = importThreeDSFileInChildProcess(box, writeScript("garbage.sh", "echo junk > \"$3\""));
    EXPECT_EQ(garbage.object, nullptr);
    EXPECT_NE(garbage.error.find("damaged"), std::string::npos) << garbage.error;

    const std::string noise = (dir / "noise.3ds").string();
    std::ofstream(noise) << "definitely not a 3DS file";
    const auto before = fs::last_write_time(scene);
    EXPECT_EQ(runExecutable({"objects", scene, "--add-3ds", noise}), 1);
    EXPECT_NE(err.str().find("could not read " + noise), std::string::npos) << err.str();
    // A file that lib3ds reads but that holds nothing to show is refused as well.
    const std::string empty = (dir / "empty.3ds").string();
    std::string error;
    ASSERT_TRUE(writeThreeDSFile({}, empty, &error)) << error;
    EXPECT_EQ(runExecutable({"objects", scene, "--add-3ds", empty}), 1);
    EXPECT_NE(err.str().find("empty.3ds: the file holds no visible mesh"), std::string::npos) << err.str();
    EXPECT_EQ(fs::last_write_time(scene), before);
}

TEST_F(ObjectsCommandTest, TheLibraryListsItsObjectsAndAddsThemAtTheDefaultPlace) {
    ASSERT_EQ(run({"objects", "--library"}), 0) << err.str();
    EXPECT_EQ(out.str(), "Boulder\nCabin\nFence\nFir Tree\nRowing Boat\n");
    ASSERT_EQ(run({"objects", scene, "--add-library", "Fir Tree", "--lift", "0.25"}), 0) << err.str();
    auto object = onlyObject();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->userName(), "Fir Tree");
    EXPECT_EQ(object->position(), (Point{5.0, 5.0}));
    EXPECT_EQ(object->scale(), 1.0f);
    EXPECT_EQ(object->zRotation(), 0.0f);
    EXPECT_EQ(object->heightOverTerrain(), 0.25f);
    EXPECT_EQ(object->materials().size(), 2u);
    // Imported objects fit the unit cube; the fir is the tallest thing in it.
    EXPECT_FLOAT_EQ(object->bounds().end.y - object->bounds().start.y, 1.0f);
    EXPECT_NE(object->isometricThumbnail(), nullptr);
    EXPECT_NE(object->topDownThumbnail(), nullptr);
}

TEST_F(ObjectsCommandTest, UsageErrorsExitTwo) {
    EXPECT_EQ(run({"objects", scene}), 2);
    EXPECT_EQ(run({"objects", scene, "--add-3ds"}), 2);
    EXPECT_EQ(run({"objects", scene, "--add-3ds", box, "--scale", "0"}), 2);
    EXPECT_EQ(run({"objects", scene, "--add-3ds", box, "--at", "3"}), 2);
    EXPECT_EQ(run({"objects", scene, "--add-3ds", box, "--add-library", "Cabin"}), 2);
    EXPECT_EQ(run({"objects", scene, "--add-library", "Cabin", "--rotate", "left"}), 2);
    EXPECT_EQ(run({"objects", scene, "--add-library", "No Such Object"}), 1);
}

}  // namespace
}  // namespace korvane
