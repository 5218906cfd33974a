// `korvane plants` and `korvane rocks`: adding small-objects layers with painted or auto-filled
// density maps, refusals, the layers in `korvane info --json`, and grass that shows in a render.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "SmallTerrainScene.h"
#include "cli/Commands.h"
#include "editing/AutoFillSheetController.h"
#include "foundation/FileIO.h"
#include "foundation/ImageCodecs.h"
#include "scene/SceneFile.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/layers/smallobjects/PlantsLayer.h"
#include "scene/layers/smallobjects/RocksLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

class SmallObjectsCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        dir = fs::temp_directory_path() / ("korvane-smallobjects-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A 64 × 32 heightmap, flat on the left half and rising steeply on the right (or no terrain).
    std::string writeScene(bool withTerrain = true) {
        Scene scene;
        scene.setSize({0.625, 0.3125});
        if (withTerrain) {
            auto terrain = std::make_shared<TerrainLayer>(&scene);
            Bitmap& heights = *terrain->heightmapImageRep();
            for (int y = 0; y < heights.height(); ++y)
                for (int x = 0; x < heights.width(); ++x)
                    heights.setGray16(x, y, static_cast<uint16_t>(x < 32 ? 3000 : 3000 + (x - 32) * 1500));
            scene.addLayer(terrain);
        }
        std::string path = (dir / (withTerrain ? "scene.korvane" : "bare.korvane")).string();
        std::string error;
        EXPECT_TRUE(writeSceneFile(scene, path, &error)) << error;
        return path;
    }
    std::shared_ptr<Scene> sceneOf(const std::string& path) {
        SceneReadResult result = readSceneFile(path);
        EXPECT_TRUE(result.scene) << result.error;
        return std::move(result.scene);
    }
    static std::vector<uint8_t> readFile(const std::string& path) {
        return readFileContents(path, size_t{1} << 30, nullptr).value_or(std::vector<uint8_t>{});
    }
    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return cli::runCommandLine(args, out, err);
    }
    fs::path dir;
    std::ostringstream out, err;
};

TEST_F(SmallObjectsCommandTest, PaintAllAddsALayerOfTheKindThatInfoReports) {
    const std::string path = writeScene();
    ASSERT_EQ(run({"plants", path, "--add", "daisies & grass", "--paint-all", "0.5"}), 0) << err.str();
    EXPECT_EQ(out.str(), "Plants (Daisies & Grass): mean density 0.501961\nwrote " + path + "\n");
    ASSERT_EQ(run({"rocks", path, "--add", "FlatBlackSmallRock"}), 0) << err.str();

    auto scene = sceneOf(path);
    ASSERT_TRUE(scene);
    auto plants = scene->layersOfClass<PlantsLayer>();
    ASSERT_EQ(plants.size(), 1u);
    ASSERT_NE(plants[0]->baseSmallObjectClass(), nullptr);
    EXPECT_EQ(plants[0]->baseSmallObjectClass()->className, "DaisyGrassPlant");
    const Bitmap& map = *plants[0]->mapImageRep();
    EXPECT_EQ(map.width(), 64);
    EXPECT_EQ(map.height(), 32);
    EXPECT_TRUE(std::all_of(map.data(), map.data() + map.sizeInBytes(), [](uint8_t v) { return v == 128; }));
    auto rocks = scene->layersOfClass<RocksLayer>();
    ASSERT_EQ(rocks.size(), 1u);
    EXPECT_EQ(rocks[0]->name(), "Rocks (Flat Black Rocks)");
    EXPECT_EQ(rocks[0]->meanDensity(), 0.0);  // without --paint-all or --fill the map stays empty

    ASSERT_EQ(run({"info", path, "--json"}), 0) << err.str();
    const std::string json = out.str();
    EXPECT_NE(json.find("\"class\":\"PlantsLayer\",\"name\":\"Plants (Daisies & Grass)\",\"kind\":\"DaisyGrassPlant\","
                        "\"kindName\":\"Daisies & Grass\",\"mapSize\":[64,32],\"meanDensity\":0.50196"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"kind\":\"FlatBlackSmallRock\",\"kindName\":\"Flat Black Rocks\",\"mapSize\":[64,32],"
                        "\"meanDensity\":0}"),
              std::string::npos)
        << json;
}

TEST_F(SmallObjectsCommandTest, FillsComputeTheMapAsTheAutoFillSheetsDo) {
    const std::string path = writeScene();
    ASSERT_EQ(run({"rocks", path, "--add", "Gray Rocks", "--fill", "steepness", "--type", "0", "--threshold", "0.6",
                   "--strength", "0.8"}),
              0)
        << err.str();
    ASSERT_EQ(run({"plants", path, "--add", "GreenGrassPlant", "--fill", "height", "--type", "1", "--height", "0.2",
                   "--threshold", "0.05"}),
              0)
        << err.str();
    auto scene = sceneOf(path);
    ASSERT_TRUE(scene);
    const Bitmap& heightmap = *scene->layersOfClass<TerrainLayer>().front()->heightmapImageRep();

    Bitmap steep(64, 32, PixelFormat::Gray8);
    ASSERT_TRUE(SteepnessAutoFillSheet::applyFunctionToBitmap(steep, heightmap, 0, 0.6f, 0.8f));
    const Bitmap& rocks = *scene->layersOfClass<RocksLayer>().front()->mapImageRep();
    EXPECT_TRUE(rocks == steep);
    EXPECT_EQ(rocks.gray8(5, 5), 0);     // no rocks on the flat
    EXPECT_GT(rocks.gray8(50, 5), 200);  // rocks on the slope

    Bitmap low(64, 32, PixelFormat::Gray8);
    ASSERT_TRUE(HeightAutoFillSheet::applyFunctionToBitmap(low, heightmap, 1, 0.05f, 0.2f));
    const Bitmap& grass = *scene->layersOfClass<PlantsLayer>().front()->mapImageRep();
    EXPECT_TRUE(grass == low);
    EXPECT_EQ(grass.gray8(5, 5), 255);  // grass below the height
    EXPECT_EQ(grass.gray8(60, 5), 0);
}

TEST_F(SmallObjectsCommandTest, RefusalsLeaveTheFileUntouched) {
    const std::string path = writeScene();
    const auto before = readFile(path);
    const std::vector<std::vector<std::string>> usageErrors = {
        {"plants", path},                                              // no kind
        {"plants", "--add", "GreenGrassPlant"},                        // no file
        {"plants", path, "--add", "GraySmallRock"},                    // a rock kind in a plants layer
        {"rocks", path, "--add", "Palm Trees"},                        // no such kind
        {"plants", path, "--add", "LeafPlant", "--fill", "slope"},     // unknown fill
        {"plants", path, "--add", "LeafPlant", "--type", "1"},         // fill options without --fill
        {"rocks", path, "--add", "SandSmallRock", "--fill", "steepness", "--type", "2"},
        {"rocks", path, "--add", "SandSmallRock", "--fill", "height", "--height", "1.5"},
        {"rocks", path, "--add", "SandSmallRock", "--fill", "height", "--strength", "0.5"},
        {"rocks", path, "--add", "SandSmallRock", "--fill", "steepness", "--height", "0.5"},
        {"rocks", path, "--add", "SandSmallRock", "--fill", "steepness", "--paint-all", "1"},
        {"plants", path, "--add", "LeafPlant", "--paint-all", "-0.1"},
        {"plants", path, "--add", "LeafPlant", "--paint-all", "lots"},
        {"plants", path, "--add", "LeafPlant", "--bogus"},
    };
    for (const auto& args : usageErrors) {
        EXPECT_EQ(run(args), 2) << args.back();
        EXPECT_EQ(err.str().rfind("korvane: ", 0), 0u) << err.str();
    }
    EXPECT_NE((run({"plants", path, "--add", "GraySmallRock"}), err.str()).find("unknown kind 'GraySmallRock'"),
              std::string::npos);
    EXPECT_EQ(readFile(path), before);

    const std::string bare = writeScene(false);
    const auto bareBefore = readFile(bare);
    EXPECT_EQ(run({"plants", bare, "--add", "LeafPlant", "--fill", "height"}), 1);
    EXPECT_EQ(err.str(), "korvane: " + bare + ": the document has no terrain to fill the density map from\n");
    EXPECT_EQ(readFile(bare), bareBefore);

    const std::string missing = (dir / "missing.korvane").string();
    EXPECT_EQ(run({"rocks", missing, "--add", "GraySmallRock"}), 1);
    EXPECT_EQ(err.str().rfind("korvane: " + missing + ": ", 0), 0u) << err.str();
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(SmallObjectsCommandTest, ListNamesEveryKindOfTheLayer) {
    ASSERT_EQ(run({"plants", "--list"}), 0) << err.str();
    const std::string plants = out.str();
    EXPECT_EQ(std::count(plants.begin(), plants.end(), '\n'), 11);
    EXPECT_EQ(plants.rfind("GreenGrassPlant ", 0), 0u) << plants;
    EXPECT_NE(plants.find("LeafPlant             Leafs\n"), std::string::npos) << plants;
    ASSERT_EQ(run({"rocks", "--list"}), 0) << err.str();
    const std::string rocks = out.str();
    EXPECT_EQ(std::count(rocks.begin(), rocks.end(), '\n'), 13);
    EXPECT_NE(rocks.find("DiamondSmallRock      Diamonds\n"), std::string::npos) << rocks;
}

// The mean of the green channel less the mean of red and blue over the lower half of an RGBA8 image.
double greenness(const Bitmap& image) {
    double sum = 0;
    int count = 0;
    for (int y = image.height() / 2; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const uint8_t* p = image.pixel(x, y);
            sum += p[1] - (p[0] + p[2]) / 2.0;
            ++count;
        }
    }
    return sum / count / 255.0;
}

TEST_F(SmallObjectsCommandTest, GrassShowsItsTexturesInARender) {
    const std::string bare = (dir / "bare.korvane").string();
    const std::string grassy = (dir / "grassy.korvane").string();
    writeSmallTerrainScene(bare);
    writeSmallTerrainScene(grassy);
    ASSERT_EQ(run({"plants", grassy, "--add", "Green Grass 3", "--paint-all", "1"}), 0) << err.str();

    double green[2] = {0, 0};
    const std::string scenes[2] = {bare, grassy};
    for (int i = 0; i < 2; ++i) {
        const std::string image = (dir / ("render" + std::to_string(i) + ".png")).string();
        ASSERT_EQ(run({"render", scenes[i], "-o", image, "--width", "48", "--height", "32", "--quality", "1",
                       "--threads", "2", "--no-post"}),
                  0)
            << err.str();
        ImageDecodeResult decoded = readImageFile(image);
        ASSERT_TRUE(decoded.bitmap) << decoded.error;
        ASSERT_EQ(decoded.bitmap->format(), PixelFormat::RGBA8);
        green[i] = greenness(*decoded.bitmap);
    }
    // The blades' green covers the ground (about twice the bare ground's greenness; the film's
    // roll-off pales the sunlit blades a little); were the images not read, they would be white.
    EXPECT_GT(green[1], 1.8 * green[0]) << green[0] << " " << green[1];
    EXPECT_GT(green[1], green[0] + 0.03) << green[0] << " " << green[1];
}

}  // namespace
}  // namespace korvane
