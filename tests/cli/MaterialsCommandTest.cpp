// `korvane materials`: applying and listing the terrain texture presets, and the texture layer's
// material maps in `korvane info --json`.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli/Commands.h"
#include "foundation/FileIO.h"
#include "foundation/ImageCodecs.h"
#include "scene/SceneFile.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/sky/SkyLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

class MaterialsCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        dir = fs::temp_directory_path() / ("korvane-materials-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A 64 × 32 heightmap, flat on the left half and steep on the right, with a texture layer over it
    // (or without one).
    std::string writeScene(bool withTextureLayer = true) {
        Scene scene;
        scene.setSize({0.625, 0.3125});
        auto terrain = std::make_shared<TerrainLayer>(&scene);
        Bitmap& heights = *terrain->heightmapImageRep();
        for (int y = 0; y < heights.height(); ++y)
            for (int x = 0; x < heights.width(); ++x)
                heights.setGray16(x, y, static_cast<uint16_t>(x < 32 ? 3000 : 3000 + (x - 32) * 1500));
        scene.addLayer(terrain);
        if (withTextureLayer) scene.addLayer(std::make_shared<TerrainTextureLayer>(&scene, terrain));
        std::string path = (dir / "scene.korvane").string();
        std::string error;
        EXPECT_TRUE(writeSceneFile(scene, path, &error)) << error;
        return path;
    }
    std::shared_ptr<TerrainTextureLayer> textureLayerOf(const std::string& path) {
        SceneReadResult result = readSceneFile(path);
        EXPECT_TRUE(result.scene) << result.error;
        if (!result.scene) return nullptr;
        auto layers = result.scene->layersOfClass<TerrainTextureLayer>();
        return layers.empty() ? nullptr : layers.front();
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

TEST_F(MaterialsCommandTest, ListPrintsEveryPresetKeyWithItsName) {
    ASSERT_EQ(run({"materials", "--list"}), 0) << err.str();
    const std::string listing = out.str();
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 18);
    EXPECT_EQ(listing.rfind("detailedredgrayrocks", 0), 0u);
    EXPECT_NE(listing.find("snowredrocks"), std::string::npos);
    EXPECT_NE(listing.find(" Snow & Red Rocks\n"), std::string::npos);
}

TEST_F(MaterialsCommandTest, PresetRebuildsTheStackAndInfoReportsTheMaps) {
    const std::string path = writeScene();
    ASSERT_EQ(run({"materials", path, "--preset", "snowredrocks"}), 0) << err.str();
    EXPECT_EQ(out.str(), "wrote " + path + "\n");

    auto layer = textureLayerOf(path);
    ASSERT_TRUE(layer);
    ASSERT_EQ(layer->materialMaps().size(), 2u);
    const Bitmap& mask = *layer->materialMaps()[1]->maskImageRep();
    EXPECT_EQ(mask.gray8(5, 5), 0);     // flat: snow
    EXPECT_EQ(mask.gray8(50, 5), 255);  // slope: red rocks
    double sum = 0;
    for (size_t i = 0; i < mask.sizeInBytes(); ++i) sum += mask.data()[i];

    ASSERT_EQ(run({"info", path, "--json"}), 0) << err.str();
    const std::string json = out.str();
    const std::string maps =
        "\"materialMaps\":[{\"index\":0,\"name\":\"Base Layer\",\"materialPresetKey\":\"snow\"},"
        "{\"index\":1,\"name\":\"Layer 1\",\"maskSize\":[64,32],\"meanMaskValue\":";
    const size_t at = json.find(maps);
    ASSERT_NE(at, std::string::npos) << json;
    char* end = nullptr;
    const double mean = std::strtod(json.c_str() + at + maps.size(), &end);
    EXPECT_DOUBLE_EQ(mean, sum / static_cast<double>(mask.sizeInBytes()));
    EXPECT_GT(mean, 100.0);
    EXPECT_EQ(std::string(end).rfind(",\"materialPresetKey\":\"redrocks3\"}]", 0), 0u) << json;
}

TEST_F(MaterialsCommandTest, AnEditedMaterialNoLongerReportsItsPreset) {
    const std::string path = writeScene();
    ASSERT_EQ(run({"info", path, "--json"}), 0) << err.str();
    EXPECT_NE(out.str().find("{\"index\":0,\"name\":\"Base Layer\",\"materialPresetKey\":\"redrocks3\"}"),
              std::string::npos)
        << out.str();

    SceneReadResult result = readSceneFile(path);
    ASSERT_TRUE(result.scene);
    auto edited = result.scene->layersOfClass<TerrainTextureLayer>().front();
    edited->materialMaps()[0]->material()->setDiffuseReflect(0.5f);
    std::string error;
    ASSERT_TRUE(writeSceneFile(*result.scene, path, &error)) << error;

    ASSERT_EQ(run({"info", path, "--json"}), 0) << err.str();
    EXPECT_NE(out.str().find("{\"index\":0,\"name\":\"Base Layer\"}"), std::string::npos) << out.str();
}

TEST_F(MaterialsCommandTest, RefusalsLeaveTheFileUntouched) {
    const std::string path = writeScene();
    const auto before = readFile(path);

    EXPECT_EQ(run({"materials", path, "--preset", "nosuchstack"}), 2);
    EXPECT_NE(err.str().find("unknown preset 'nosuchstack'"), std::string::npos) << err.str();
    EXPECT_EQ(run({"materials", path, "--preset"}), 2);
    EXPECT_EQ(run({"materials", path}), 2);
    EXPECT_EQ(run({"materials", path, "--preset", "snowredrocks", "--bogus"}), 2);
    EXPECT_EQ(readFile(path), before);

    const std::string bare = writeScene(false);
    const auto bareBefore = readFile(bare);
    EXPECT_EQ(run({"materials", bare, "--preset", "snowredrocks"}), 1);
    EXPECT_EQ(err.str(), "korvane: " + bare + ": the document has no terrain texture layer\n");
    EXPECT_EQ(readFile(bare), bareBefore);

    const std::string missing = (dir / "missing.korvane").string();
    EXPECT_EQ(run({"materials", missing, "--preset", "snowredrocks"}), 1);
    EXPECT_EQ(err.str().rfind("korvane: " + missing + ": ", 0), 0u) << err.str();
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(MaterialsCommandTest, OutputGoesToAnotherFileWhenAsked) {
    const std::string path = writeScene();
    const auto before = readFile(path);
    const std::string copy = (dir / "copy.korvane").string();
    ASSERT_EQ(run({"materials", path, "--preset", "beachrocks", "-o", copy}), 0) << err.str();
    EXPECT_EQ(readFile(path), before);
    auto layer = textureLayerOf(copy);
    ASSERT_TRUE(layer);
    EXPECT_EQ(layer->materialMaps().size(), 2u);
}

struct RegionColour {
    double red = 0, green = 0, blue = 0;
};

// Mean colour (0–1) of the pixels in columns [x0, x1) and rows [y0, y1) of an RGBA8 image.
RegionColour meanColour(const Bitmap& image, int x0, int x1, int y0, int y1) {
    RegionColour mean;
    const double count = double(x1 - x0) * (y1 - y0) * 255.0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const uint8_t* p = image.pixel(x, y);
            mean.red += p[0] / count, mean.green += p[1] / count, mean.blue += p[2] / count;
        }
    }
    return mean;
}

TEST_F(MaterialsCommandTest, SnowAndRedRocksRendersSnowOnTheFlatAndRedRockOnTheSlopes) {
    // Flat ground on the heightmap's left half, a steep corrugation across its right half, with the
    // sun and a sky.
    Scene scene;
    scene.setSize({2.0, 2.0});
    scene.setMaxTerrainHeight(0.5f);
    auto terrain = std::make_shared<TerrainLayer>(&scene);
    Bitmap& heights = *terrain->heightmapImageRep();
    for (int y = 0; y < heights.height(); ++y) {
        for (int x = 0; x < heights.width(); ++x) {
            const int half = heights.width() / 2;
            const int phase = std::abs((x % 10) - 5);  // a triangle wave of 10 pixels
            heights.setGray16(x, y, static_cast<uint16_t>(x < half ? 13000 : 13000 + phase * 1300));
        }
    }
    scene.addLayer(terrain);
    scene.addLayer(std::make_shared<TerrainTextureLayer>(&scene, terrain));
    scene.addLayer(std::make_shared<LightingLayer>(&scene));
    scene.addLayer(std::make_shared<SkyLayer>(&scene));
    auto camera = std::make_shared<CameraLayer>(&scene);
    camera->setFromPoint({1.0, -0.4});
    camera->setFromPointHeight(0.9f);
    camera->setToPoint({1.0, 1.0});
    camera->setToPointHeight(0.0f);
    scene.addLayer(camera);
    const std::string path = (dir / "snow.korvane").string();
    std::string error;
    ASSERT_TRUE(writeSceneFile(scene, path, &error)) << error;

    ASSERT_EQ(run({"materials", path, "--preset", "snowredrocks"}), 0) << err.str();
    const std::string image = (dir / "snow.png").string();
    ASSERT_EQ(run({"render", path, "-o", image, "--width", "48", "--height", "32", "--quality", "1",
                   "--threads", "2", "--no-post"}),
              0)
        << err.str();
    ImageDecodeResult decoded = readImageFile(image);
    ASSERT_TRUE(decoded.bitmap) << decoded.error;
    const Bitmap& pixels = *decoded.bitmap;
    ASSERT_EQ(pixels.format(), PixelFormat::RGBA8);

    // The lower half of the picture is ground. The camera's plan-view y runs against the heightmap's
    // rows, so it looks back across the terrain and the steep half (the high columns) is on the left.
    const RegionColour slopes = meanColour(pixels, 2, 20, 20, 32);
    const RegionColour flat = meanColour(pixels, 28, 46, 20, 32);
    // Snow: bright and nearly neutral (the blue sky its mirror share reflects tints it a little;
    // the film's highlight roll-off keeps that tint where clipping would have bleached it).
    const auto brightness = [](const RegionColour& c) { return (c.red + c.green + c.blue) / 3; };
    const auto spread = [](const RegionColour& c) {
        return std::max({c.red, c.green, c.blue}) - std::min({c.red, c.green, c.blue});
    };
    const auto redness = [](const RegionColour& c) { return c.red - (c.green + c.blue) / 2; };
    EXPECT_GT(brightness(flat), 0.8) << flat.red << " " << flat.green << " " << flat.blue;
    EXPECT_LT(spread(flat), 0.22);
    // Red rock: red above green above blue, clearly redder and darker than the snow.
    EXPECT_GT(slopes.red, slopes.green) << slopes.red << " " << slopes.green << " " << slopes.blue;
    EXPECT_GT(slopes.green, slopes.blue);
    EXPECT_GT(redness(slopes) - redness(flat), 0.08);
    EXPECT_GT(brightness(flat), brightness(slopes) + 0.2);
}

}  // namespace
}  // namespace korvane
