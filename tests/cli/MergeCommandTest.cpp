#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "SmallTerrainScene.h"
#include "cli/Commands.h"
#include "foundation/ImageCodecs.h"
#include "renderer/RenderTile.h"
#include "scene/SceneLayerRegistry.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 24;
constexpr int kHeight = 16;

// Every post effect on, at small strengths so that the test stays fast; the blurs and the bloom
// reach across tile borders, which is what merging before post-processing must get right.
void enableEveryEffect(Scene& scene) {
    scene.setDepthTint(true);
    scene.setDepthTintStart(0.5f);
    scene.setFarDepthOfField(true);
    scene.setFarDepthOfFieldStart(0.6f);
    scene.setFarDepthOfFieldMaximumStrength(3);
    scene.setNearDepthOfField(true);
    scene.setNearDepthOfFieldEnd(1.2f);
    scene.setNearDepthOfFieldMaximumStrength(2);
    scene.setBloomFilter(true);
    scene.setBloomRadius(2);
    scene.setVibranceFilter(true);
}

class MergeCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        dir = fs::temp_directory_path() / ("korvane-merge-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        scene = (dir / "scene.korvane").string();
        writeSmallTerrainScene(scene, enableEveryEffect);
    }
    void TearDown() override { fs::remove_all(dir); }

    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return cli::runCommandLine(args, out, err);
    }
    std::vector<std::string> renderArguments(const std::string& from, const std::string& output) {
        return {"render",    from,
                "-o",        output,
                "--width",   std::to_string(kWidth),
                "--height",  std::to_string(kHeight),
                "--quality", "2",
                "--threads", "2"};
    }
    // Renders the tile x0,y0,x1,y1 of `from` and returns its path.
    std::string renderTile(const std::string& name, int x0, int y0, int x1, int y1,
                           const std::string& from = {}, const std::string& quality = "2") {
        const std::string path = (dir / name).string();
        std::vector<std::string> args = renderArguments(from.empty() ? scene : from, path);
        args[args.size() - 3] = quality;
        args.insert(args.end(), {"--region", std::to_string(x0) + "," + std::to_string(y0) + "," +
                                                 std::to_string(x1) + "," + std::to_string(y1)});
        EXPECT_EQ(run(args), 0) << err.str();
        return path;
    }
    Bitmap decoded(const std::string& path) {
        ImageDecodeResult result = readImageFile(path);
        EXPECT_TRUE(result.bitmap) << path << ": " << result.error;
        return result.bitmap ? *result.bitmap : Bitmap();
    }
    int merge(const std::vector<std::string>& tiles, const std::string& output,
              const std::string& from = {}) {
        std::vector<std::string> args = {"merge", from.empty() ? scene : from};
        args.insert(args.end(), tiles.begin(), tiles.end());
        args.insert(args.end(), {"-o", output});
        return run(args);
    }

    fs::path dir;
    std::string scene;
    std::ostringstream out, err;
};

// Quality 2 denoises: the tiles carry their films undenoised, and the merge denoises the frame.
TEST_F(MergeCommandTest, MergedTilesEqualADirectRenderWithEveryEffect) {
    struct Layout {
        const char* name;
        std::vector<std::array<int, 4>> regions;
    };
    const Layout one{"one", {{0, 0, kWidth, kHeight}}};
    const Layout four{"four", {{0, 0, 12, 8}, {12, 0, 24, 8}, {0, 8, 12, 16}, {12, 8, 24, 16}}};
    const Layout sevenUneven{"seven uneven",
                             {{0, 0, 7, 5},
                              {7, 0, 15, 5},
                              {15, 0, 24, 5},
                              {0, 5, 3, 16},
                              {3, 5, 11, 16},
                              {11, 5, 20, 16},
                              {20, 5, 24, 16}}};
    auto expectMergesEqualTheDirectRender = [&](const std::string& from, const std::vector<Layout>& layouts) {
        const std::string direct = (dir / "direct.png").string();
        ASSERT_EQ(run(renderArguments(from, direct)), 0) << err.str();
        const Bitmap expected = decoded(direct);
        ASSERT_EQ(expected.width(), kWidth);
        for (const Layout& layout : layouts) {
            std::vector<std::string> tiles;
            for (const auto& r : layout.regions)
                tiles.push_back(renderTile("tile" + std::to_string(tiles.size()) + ".kvtile", r[0], r[1],
                                           r[2], r[3], from));
            std::ifstream in(tiles.front(), std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
            std::string error;
            const std::optional<RenderTile> tile = decodeRenderTile(bytes, &error);
            ASSERT_TRUE(tile) << error;
            EXPECT_FALSE(tile->film.guides.empty()) << "the tile carries no guides to denoise with";
            const std::string merged = (dir / "merged.png").string();
            ASSERT_EQ(merge(tiles, merged, from), 0) << layout.name << ": " << err.str();
            EXPECT_EQ(out.str(), "wrote " + merged + " from " + std::to_string(tiles.size()) + " tiles\n");
            EXPECT_EQ(decoded(merged), expected) << from << ", " << layout.name;
            for (const std::string& path : tiles) fs::remove(path);
        }
    };
    expectMergesEqualTheDirectRender(scene, {one, four, sevenUneven});
    // Without a sky the image's alpha comes from the depth: the merge must take it alike.
    const std::string skyless = (dir / "skyless.korvane").string();
    writeSmallTerrainScene(skyless, [](Scene& scene) {
        enableEveryEffect(scene);
        for (const auto& layer : Scene::LayerList(scene.layers()))
            if (layer->archiveClassName() == "SkyLayer") scene.removeLayer(layer);
    });
    expectMergesEqualTheDirectRender(skyless, {four});
}

TEST_F(MergeCommandTest, BadTileSetsNameTheTileAndWriteNothing) {
    const std::string left = renderTile("left.kvtile", 0, 0, 12, kHeight);
    const std::string right = renderTile("right.kvtile", 12, 0, kWidth, kHeight);
    const std::string output = (dir / "merged.png").string();
    auto expectRefusal = [&](const std::vector<std::string>& tiles, const std::string& message) {
        EXPECT_EQ(merge(tiles, output), 1) << message;
        EXPECT_EQ(err.str().rfind(message, 0), 0u) << err.str();
        EXPECT_FALSE(fs::exists(output));
    };

    expectRefusal({left}, "korvane: " + scene +
                              ": the tiles leave 192 pixels of the 24 x 16 frame uncovered, "
                              "the first at (12, 0)");
    expectRefusal({left, right, left}, "korvane: " + left + ": overlaps " + left + " at pixel (0, 0)");
    const std::string wider = renderTile("wider.kvtile", 10, 0, kWidth, kHeight);
    expectRefusal({left, wider}, "korvane: " + wider + ": overlaps " + left + " at pixel (10, 0)");

    // One byte changed in the pixels, or the file cut short.
    std::string bytes;
    {
        std::ifstream in(right, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const std::string damaged = (dir / "damaged.kvtile").string();
    std::string changed = bytes;
    changed[100] = char(changed[100] ^ 0x10);
    std::ofstream(damaged, std::ios::binary) << changed;
    expectRefusal({left, damaged}, "korvane: " + damaged + ": the tile's checksum does not match");
    std::ofstream(damaged, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    expectRefusal({left, damaged}, "korvane: " + damaged + ": truncated tile");
    std::ofstream(damaged, std::ios::binary) << "a PNG perhaps";
    expectRefusal({left, damaged}, "korvane: " + damaged + ": not a tile file");
    const std::string missing = (dir / "missing.kvtile").string();
    expectRefusal({left, missing}, "korvane: " + missing + ": No such file or directory");

    // A tile of another document, and one rendered at another quality level.
    const std::string other = (dir / "other.korvane").string();
    writeSmallTerrainScene(other);
    const std::string foreign = renderTile("foreign.kvtile", 12, 0, kWidth, kHeight, other);
    expectRefusal({left, foreign},
                  "korvane: " + foreign + ": rendered from another scene document than " + scene);
    const std::string coarse = renderTile("coarse.kvtile", 12, 0, kWidth, kHeight, {}, "1");
    expectRefusal({left, coarse}, "korvane: " + coarse + ": rendered with other settings than " + left);

    EXPECT_EQ(merge({left, right}, output), 0) << err.str();
}

TEST_F(MergeCommandTest, ARegionRenderAsksTheEngineForThatRectangleOnly) {
    const std::string trace = (dir / "calls.txt").string();
    std::vector<std::string> args = renderArguments(scene, (dir / "t.kvtile").string());
    args.insert(args.end(), {"--region", "3,4,20,9", "--trace", trace});
    ASSERT_EQ(run(args), 0) << err.str();
    std::ifstream in(trace);
    const std::string calls((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(calls.find("paramsSetString \"background_name\" \"world_background\"\n"
                         "paramsSetInt \"region_x0\" 3\nparamsSetInt \"region_y0\" 4\n"
                         "paramsSetInt \"region_x1\" 20\nparamsSetInt \"region_y1\" 9\nrender\n"),
              std::string::npos)
        << calls;
}

TEST_F(MergeCommandTest, RegionAndMergeUsageErrorsExitTwo) {
    const std::string tile = (dir / "t.kvtile").string();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"render", scene, "-o", tile, "--region", "0,0,10"},
             {"render", scene, "-o", tile, "--region", "5,0,5,10"},
             {"render", scene, "-o", tile, "--region", "0,0,1.5,10"},
             {"render", scene, "-o", tile, "--region", "-1,0,4,4"},
             {"render", scene, "-o", tile, "--width", "20", "--height", "10", "--region", "0,0,21,10"},
             {"render", scene, "-o", tile, "--region", "0,0,4,4", "--depth", (dir / "d.tiff").string()},
             {"merge", scene, "-o", (dir / "m.png").string()},
             {"merge", scene, tile},
             {"merge", scene, tile, "-o", (dir / "m.png").string(), "--bogus"},
         }) {
        EXPECT_EQ(run(args), 2) << args.back();
        EXPECT_EQ(err.str().rfind("korvane: " + args[0] + ": ", 0), 0u) << err.str();
    }
    EXPECT_FALSE(fs::exists(tile));
}

}  // namespace
}  // namespace korvane
