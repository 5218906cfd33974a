#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "SmallTerrainScene.h"
#include "cli/Commands.h"
#include "cli/RenderProgress.h"
#include "foundation/FileIO.h"
#include "foundation/ImageCodecs.h"
#include "scene/SceneLayerRegistry.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 24;
constexpr int kHeight = 16;

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class RenderCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        dir = fs::temp_directory_path() / ("korvane-render-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string writeTerrainScene(const std::function<void(Scene&)>& configure = {}, bool withCamera = true) {
        const std::string path = (dir / "terrain.korvane").string();
        writeSmallTerrainScene(path, configure, withCamera);
        return path;
    }
    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return cli::runCommandLine(args, out, err);
    }
    // `render SCENE -o OUT` at a tiny size and the lowest level, followed by `more`.
    int render(const std::string& scene, const fs::path& output, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"render",    scene,
                                         "-o",        output.string(),
                                         "--width",   std::to_string(kWidth),
                                         "--height",  std::to_string(kHeight),
                                         "--threads", "2"};
        if (std::find(more.begin(), more.end(), "--quality") == more.end())
            args.insert(args.end(), {"--quality", "1"});
        args.insert(args.end(), more.begin(), more.end());
        return run(args);
    }
    std::vector<std::string> directoryEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
    std::ostringstream out, err;
};

TEST_F(RenderCommandTest, RendersATerrainSceneToAPngOfTheGivenSize) {
    const std::string scene = writeTerrainScene();
    ASSERT_EQ(render(scene, dir / "out.png"), 0) << err.str();
    EXPECT_EQ(out.str().substr(out.str().rfind("wrote")), "wrote " + (dir / "out.png").string() + "\n");
    ImageDecodeResult image = readImageFile((dir / "out.png").string());
    ASSERT_TRUE(image.bitmap) << image.error;
    EXPECT_EQ(image.bitmap->width(), kWidth);
    EXPECT_EQ(image.bitmap->height(), kHeight);
    EXPECT_EQ(image.bitmap->format(), PixelFormat::RGBA8);
    // The scene has a sky, so every pixel is opaque.
    const Bitmap& bitmap = *image.bitmap;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) ASSERT_EQ(bitmap.pixel(x, y)[3], 255) << x << "," << y;
    EXPECT_EQ(directoryEntries(), (std::vector<std::string>{"out.png", "terrain.korvane"}))
        << "no temporary file is left behind";
}

TEST_F(RenderCommandTest, TheFileNameChoosesTheFormat) {
    const std::string scene = writeTerrainScene();
    ASSERT_EQ(render(scene, dir / "out.jpeg"), 0) << err.str();
    const std::string jpeg = fileText(dir / "out.jpeg");
    ASSERT_GE(jpeg.size(), 3u);
    EXPECT_EQ(jpeg.substr(0, 3), "\xFF\xD8\xFF");
    ASSERT_EQ(render(scene, dir / "out.tiff"), 0) << err.str();
    EXPECT_EQ(fileText(dir / "out.tiff").substr(0, 4), std::string("II*\0", 4));
    // "tif" is TIFF too: a ".tif" file holding PNG data would not open as what its name says.
    ASSERT_EQ(render(scene, dir / "out.tif"), 0) << err.str();
    EXPECT_EQ(fileText(dir / "out.tif").substr(0, 4), std::string("II*\0", 4));
}

TEST_F(RenderCommandTest, DepthMapIsAFloatTiffWithSkyNegative) {
    const std::string scene = writeTerrainScene();
    ASSERT_EQ(render(scene, dir / "out.png", {"--depth", (dir / "depth.tiff").string()}), 0) << err.str();
    TIFF* tif = TIFFOpen((dir / "depth.tiff").string().c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, format = 0, samples = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    EXPECT_EQ(width, uint32_t(kWidth));
    EXPECT_EQ(height, uint32_t(kHeight));
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(samples, 1);
    EXPECT_EQ(format, SAMPLEFORMAT_IEEEFP);
    std::vector<float> top(kWidth), bottom(kWidth);
    ASSERT_EQ(TIFFReadScanline(tif, top.data(), 0, 0), 1);
    ASSERT_EQ(TIFFReadScanline(tif, bottom.data(), kHeight - 1, 0), 1);
    TIFFClose(tif);
    EXPECT_LT(top[kWidth / 2], 0.0f) << "the top row looks into the sky";
    EXPECT_GT(bottom[kWidth / 2], 0.0f) << "the bottom row sees the terrain";
    EXPECT_LT(bottom[kWidth / 2], 5.0f);
}

TEST_F(RenderCommandTest, PostProcessingIsAppliedUnlessTurnedOff) {
    // A depth tint at full opacity from depth 0 on paints every pixel, sky included, in its colour.
    const std::string scene = writeTerrainScene([](Scene& s) {
        s.setDepthTint(true);
        s.setDepthTintColor(Color::calibratedRGB(0.2, 0.4, 0.6));
        s.setDepthTintStart(0);
        s.setDepthTintBias(1e6f);
        s.setDepthTintOpacity(1);
    });
    auto everyPixelTinted = [](const Bitmap& bitmap) {
        for (int y = 0; y < bitmap.height(); ++y)
            for (int x = 0; x < bitmap.width(); ++x)
                if (bitmap.pixel(x, y)[0] != 51 || bitmap.pixel(x, y)[1] != 102 ||
                    bitmap.pixel(x, y)[2] != 153)
                    return false;
        return true;
    };
    ASSERT_EQ(render(scene, dir / "post.png"), 0) << err.str();
    ImageDecodeResult post = readImageFile((dir / "post.png").string());
    ASSERT_TRUE(post.bitmap) << post.error;
    EXPECT_TRUE(everyPixelTinted(*post.bitmap));
    ASSERT_EQ(render(scene, dir / "plain.png", {"--no-post"}), 0) << err.str();
    ImageDecodeResult plain = readImageFile((dir / "plain.png").string());
    ASSERT_TRUE(plain.bitmap) << plain.error;
    EXPECT_FALSE(everyPixelTinted(*plain.bitmap));
}

TEST_F(RenderCommandTest, TraceRecordsTheCallsWithTheChosenSettings) {
    const std::string scene = writeTerrainScene();
    const fs::path trace = dir / "calls.txt";
    ASSERT_EQ(
        render(scene, dir / "out.png", {"--quality", "2", "--renderer", "path", "--trace", trace.string()}),
        0)
        << err.str();
    const std::string calls = fileText(trace);
    // Level 2: 2 AA passes, 9 path samples, 4 bounces; the size and threads of the command line.
    for (const char* line : {"paramsSetString \"type\" \"pathtracing\"\n", "paramsSetInt \"bounces\" 4\n",
                             "paramsSetInt \"path_samples\" 9\n", "paramsSetInt \"AA_passes\" 2\n",
                             "paramsSetInt \"width\" 24\n", "paramsSetInt \"height\" 16\n",
                             "paramsSetInt \"threads\" 2\n", "createCamera \"camera\"\n", "render\n"}) {
        EXPECT_EQ(occurrences(calls, line), 1u) << line << calls.substr(0, 2000);
    }
    const std::string ending = "render\nclearAll\n";
    ASSERT_GE(calls.size(), ending.size());
    EXPECT_EQ(calls.substr(calls.size() - ending.size()), ending) << "nothing is traced after emptying";
    EXPECT_GT(occurrences(calls, "triMesh "), 0u) << "meshes are summarised";
    EXPECT_EQ(occurrences(calls, "addVertex"), 0u);
    // Not a terminal: one line per pass and nothing else.
    EXPECT_EQ(err.str(), "Rendering Pass 1 of 2…\nRendering Pass 2 of 2…\n");

    ASSERT_EQ(render(scene, dir / "out.png", {"--trace", trace.string(), "--trace-geometry", "full"}), 0)
        << err.str();
    const std::string full = fileText(trace);
    EXPECT_EQ(occurrences(full, "triMesh "), 0u);
    EXPECT_GT(occurrences(full, "addVertex "), 100u);
    EXPECT_GT(occurrences(full, "addTriangle "), 100u);
}

TEST_F(RenderCommandTest, PreviewRendersAtLevelOne) {
    const std::string scene = writeTerrainScene();
    const fs::path trace = dir / "calls.txt";
    ASSERT_EQ(run({"render", scene, "-o", (dir / "out.png").string(), "--preview", "--width", "16",
                   "--height", "12", "--trace", trace.string()}),
              0)
        << err.str();
    const std::string calls = fileText(trace);
    EXPECT_EQ(occurrences(calls, "paramsSetInt \"AA_passes\" 1\n"), 1u);
    EXPECT_EQ(occurrences(calls, "paramsSetString \"type\" \"directlighting\"\n"), 1u);
    ImageDecodeResult image = readImageFile((dir / "out.png").string());
    ASSERT_TRUE(image.bitmap) << image.error;
    EXPECT_EQ(image.bitmap->width(), 16);
    EXPECT_EQ(image.bitmap->height(), 12);
}

TEST_F(RenderCommandTest, UnrenderableOrUnreadableScenesExitOneAndWriteNoImage) {
    const std::string noCamera = writeTerrainScene({}, false);
    const fs::path trace = dir / "calls.txt";
    std::ofstream(dir / "old.png") << "an older image";
    EXPECT_EQ(render(noCamera, dir / "old.png", {"--trace", trace.string()}), 1);
    EXPECT_EQ(err.str().rfind("korvane: " + noCamera + ": the scene has no camera", 0), 0u) << err.str();
    EXPECT_EQ(fileText(dir / "old.png"), "an older image");
    EXPECT_GT(occurrences(fileText(trace), "startGeometry"), 0u) << "the trace helps to find out why";

    const std::string missing = (dir / "missing.korvane").string();
    EXPECT_EQ(render(missing, dir / "out.png"), 1);
    EXPECT_EQ(err.str(), "korvane: " + missing + ": No such file or directory\n");

    const std::string damaged = (dir / "damaged.korvane").string();
    std::ofstream(damaged) << "not a scene";
    EXPECT_EQ(render(damaged, dir / "out.png"), 1);
    EXPECT_EQ(err.str().rfind("korvane: " + damaged + ": ", 0), 0u) << err.str();
    EXPECT_FALSE(fs::exists(dir / "out.png"));
}

TEST_F(RenderCommandTest, OutputNamesAndFoldersAreCheckedBeforeRendering) {
    const std::string scene = writeTerrainScene();
    // Names the tool cannot write are usage errors; nothing is rendered (no pass is announced).
    for (const std::vector<std::string>& more : std::vector<std::vector<std::string>>{
             {"-o", (dir / "out.bmp").string()},
             {"-o", (dir / "out").string()},
             {"-o", (dir / "tile.png").string(), "--region", "0,0,8,8"},
             {"-o", (dir / "out.png").string(), "--depth", (dir / "depth.png").string()},
         }) {
        EXPECT_EQ(run({"render", scene, "--width", "24", "--height", "16", more[0], more[1],
                       more.size() > 2 ? more[2] : "--no-post", more.size() > 2 ? more[3] : "--no-post"}),
                  2)
            << more[1];
        EXPECT_EQ(err.str().rfind("korvane: render: ", 0), 0u) << err.str();
        EXPECT_EQ(err.str().find("Rendering Pass"), std::string::npos) << err.str();
    }
    EXPECT_NE(err.str().find("'" + (dir / "depth.png").string() + "' must end in .tif or .tiff"), std::string::npos)
        << err.str();
    EXPECT_EQ(directoryEntries(), (std::vector<std::string>{"terrain.korvane"}));

    // A folder that cannot be written is a failure naming the file, found before the render.
    const fs::path nowhere = dir / "no-such-directory" / "out.png";
    EXPECT_EQ(render(scene, nowhere), 1);
    EXPECT_EQ(err.str(), "korvane: " + nowhere.string() + ": cannot write into " +
                             (dir / "no-such-directory").string() + ": No such file or directory\n");
    // Upper-case extensions name the same formats.
    ASSERT_EQ(render(scene, dir / "OUT.TIF"), 0) << err.str();
    EXPECT_EQ(fileText(dir / "OUT.TIF").substr(0, 4), std::string("II*\0", 4));
}

TEST_F(RenderCommandTest, EveryAcceptedQualityLevelRenders) {
    // From level 18 the level formula's volume accuracy would make the volume step zero or less;
    // it is held at the render settings sheet's largest accuracy, 1 (a step of 0.025).
    const std::string scene = writeTerrainScene();
    const fs::path trace = dir / "calls.txt";
    ASSERT_EQ(render(scene, dir / "q18.png", {"--quality", "18", "--trace", trace.string()}), 0) << err.str();
    const std::string calls = fileText(trace);
    const size_t step = calls.find("paramsSetFloat \"stepSize\" ");
    ASSERT_NE(step, std::string::npos);
    EXPECT_NEAR(std::stod(calls.substr(step + 26)), 0.025, 1e-6);
    EXPECT_TRUE(readImageFile((dir / "q18.png").string()).bitmap);
}

TEST_F(RenderCommandTest, UsageErrorsExitTwo) {
    const std::string scene = (dir / "any.korvane").string();
    const std::string out = (dir / "out.png").string();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"render", scene},
             {"render", "-o", out},
             {"render", scene, "-o"},
             {"render", scene, "-o", out, "--quality", "0"},
             {"render", scene, "-o", out, "--quality", "three"},
             {"render", scene, "-o", out, "--width", "-4"},
             {"render", scene, "-o", out, "--renderer", "photon"},
             {"render", scene, "-o", out, "--threads", "0"},
             {"render", scene, "-o", out, "--trace-geometry", "full"},
             {"render", scene, "-o", out, "--trace", (dir / "t.txt").string(), "--trace-geometry", "all"},
             {"render", scene, "-o", out, "--depth", out},
             {"render", scene, "-o", out, "--width", "1048576", "--height", "1048576"},
             {"render", scene, "-o", out, "--bogus"},
             {"render", scene, scene, "-o", out},
         }) {
        EXPECT_EQ(run(args), 2) << args.back();
        EXPECT_EQ(err.str().rfind("korvane: render: ", 0), 0u) << err.str();
    }
    EXPECT_TRUE(directoryEntries().empty());
}

TEST(RenderProgressTest, ATerminalShowsOneLineRedrawnInPlace) {
    std::ostringstream stream;
    cli::RenderProgress progress(stream, true);
    progress.update(-1, "Preparing…");
    progress.update(0.5f, "Rendering Pass 1 of 2…");
    progress.update(0.5f, "Rendering Pass 1 of 2…");  // nothing new to show
    progress.update(1.0f, "Rendering Pass 1 of 2…");
    progress.finish();
    EXPECT_EQ(stream.str(),
              "\r\033[KPreparing…"
              "\r\033[KRendering Pass 1 of 2… [###############---------------] 50%"
              "\r\033[KRendering Pass 1 of 2… [##############################] 100%\n");
}

TEST(RenderProgressTest, ALogGetsOneLinePerPass) {
    std::ostringstream stream;
    cli::RenderProgress progress(stream, false);
    progress.update(-1, "Preparing…");
    progress.update(0.2f, "Rendering Pass 1 of 2…");
    progress.update(1.0f, "Rendering Pass 1 of 2…");
    progress.update(0.1f, "Rendering Pass 2 of 2…");
    progress.update(0.5f, "Adding Bloom Filter…");
    progress.finish();
    EXPECT_EQ(stream.str(), "Rendering Pass 1 of 2…\nRendering Pass 2 of 2…\n");
}

}  // namespace
}  // namespace korvane
