#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/Commands.h"
#include "foundation/FileIO.h"
#include "scene/SceneFile.h"
#include "scene/SceneLayerRegistry.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

class NamedLayer final : public BaseSceneLayer {
public:
    std::string archiveClassName() const override { return "CliTestLayer"; }
    std::string name() const override { return "Test \"Layer\""; }
    std::shared_ptr<BaseSceneLayer> copy() const override { return std::make_shared<NamedLayer>(); }
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        SceneLayerRegistry::shared().registerLayerClass<NamedLayer>("CliTestLayer");
        dir = fs::temp_directory_path() / ("korvane-cli-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string writeScene() {
        Scene scene;
        scene.addLayer(std::make_shared<NamedLayer>());
        scene.setSize({12.5, 8.0});
        scene.setMaxTerrainHeight(6.0f);
        scene.setBloomFilter(true);
        scene.setDepthTintColor(Color::calibratedRGB(0.25, 0.5, 0.75, 0.5));
        std::string path = (dir / "scene.korvane").string();
        std::string error;
        EXPECT_TRUE(writeSceneFile(scene, path, &error)) << error;
        return path;
    }
    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return cli::runCommandLine(args, out, err);
    }
    fs::path dir;
    std::ostringstream out, err;
};

TEST_F(CliTest, InfoJsonListsSizeLayersAndPostProcessing) {
    std::string path = writeScene();
    ASSERT_EQ(run({"info", path, "--json"}), 0) << err.str();
    std::string json = out.str();
    EXPECT_NE(json.find("\"size\":[12.5,8]"), std::string::npos) << json;
    EXPECT_NE(json.find("\"maxTerrainHeight\":6"), std::string::npos);
    EXPECT_NE(json.find("\"sizeOverflow\":200"), std::string::npos);
    // The document is opened as the application opens it: a fog layer is added after the others.
    EXPECT_NE(json.find("\"layers\":[{\"class\":\"CliTestLayer\",\"name\":\"Test \\\"Layer\\\"\"},"
                        "{\"class\":\"FogLayer\""),
              std::string::npos) << json;
    EXPECT_NE(json.find("\"bloomFilter\":true"), std::string::npos);
    EXPECT_NE(json.find("\"depthTintColor\":[0.25,0.5,0.75,0.5]"), std::string::npos);
    EXPECT_NE(json.find("\"vibranceStrength\":0.5"), std::string::npos);
}

TEST_F(CliTest, InfoTextNamesTheLayers) {
    std::string path = writeScene();
    ASSERT_EQ(run({"info", path}), 0);
    EXPECT_NE(out.str().find("1. Test \"Layer\" (CliTestLayer)"), std::string::npos) << out.str();
}

TEST_F(CliTest, UnreadableOrDamagedFilesReportFileAndReason) {
    std::string missing = (dir / "missing.korvane").string();
    EXPECT_EQ(run({"info", missing}), 1);
    EXPECT_EQ(err.str(), "korvane: " + missing + ": No such file or directory\n");

    std::string damaged = (dir / "damaged.korvane").string();
    std::ofstream(damaged) << "this is not a scene";
    EXPECT_EQ(run({"info", damaged, "--json"}), 1);
    EXPECT_EQ(err.str().rfind("korvane: " + damaged + ": not a keyed archive", 0), 0u) << err.str();
    EXPECT_TRUE(out.str().empty());
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
    EXPECT_EQ(run({}), 2);
    EXPECT_EQ(run({"frobnicate"}), 2);
    EXPECT_EQ(run({"info"}), 2);
    EXPECT_EQ(run({"convert", "only-one"}), 2);
    EXPECT_EQ(run({"--help"}), 0);
}

TEST_F(CliTest, ConvertWritesAnEquivalentDocumentAndLeavesNoTemporaryFiles) {
    std::string path = writeScene();
    std::string converted = (dir / "converted.korvane").string();
    ASSERT_EQ(run({"convert", path, converted}), 0) << err.str();
    ASSERT_EQ(run({"info", converted, "--json"}), 0);
    std::string convertedJson = out.str();
    ASSERT_EQ(run({"info", path, "--json"}), 0);
    EXPECT_EQ(convertedJson, out.str());
    size_t files = std::distance(fs::directory_iterator(dir), fs::directory_iterator());
    EXPECT_EQ(files, 2u);
}

TEST_F(CliTest, FailedConvertLeavesTheTargetIntact) {
    std::string damaged = (dir / "damaged.korvane").string();
    std::ofstream(damaged) << "bplist00 but not really";
    std::string target = (dir / "target.korvane").string();
    std::ofstream(target) << "precious";
    EXPECT_EQ(run({"convert", damaged, target}), 1);
    std::string error;
    auto bytes = readFileContents(target, 1024, &error);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "precious");

    std::string path = writeScene();
    std::string unwritable = (dir / "no-such-dir" / "out.korvane").string();
    EXPECT_EQ(run({"convert", path, unwritable}), 1);
    EXPECT_EQ(err.str().rfind("korvane: " + unwritable + ": ", 0), 0u) << err.str();
}

TEST_F(CliTest, TheInstalledToolPrintsErrorsToStderrAndExitsOne) {
    std::string tool = std::string(KORVANE_BINARY_DIR) + "/bin/korvane";
    if (!fs::exists(tool)) GTEST_SKIP() << "korvane tool not built";
    std::string missing = (dir / "missing.korvane").string();
    std::string command = tool + " info " + missing + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[512] = {};
    size_t n = fread(buffer, 1, sizeof buffer - 1, pipe);
    int status = pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(std::string(buffer, n), "korvane: " + missing + ": No such file or directory\n");
}

}  // namespace
}  // namespace korvane
