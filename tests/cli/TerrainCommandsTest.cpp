#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/Commands.h"
#include "foundation/FileIO.h"
#include "foundation/ImageCodecs.h"
#include "scene/SceneFile.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

// 2.5 × 2.5 scene units: a 256 × 256 heightmap, small enough for quick edits.
constexpr int kSide = 256;

// A distinct value for every pixel of the picture.
uint16_t pattern(int column, int row) {
    return static_cast<uint16_t>((column * 251 + row * 7919) % 65536);
}

class TerrainCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        dir = fs::temp_directory_path() / ("korvane-terrain-cli-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A document with a terrain (every sample `sample`) and a camera.
    std::string writeDocument(uint16_t sample = 0, const std::string& name = "scene.korvane") {
        Scene scene;
        auto terrain = std::make_shared<TerrainLayer>(&scene);
        scene.addLayer(terrain);
        scene.setSize({2.5, 2.5});
        scene.addLayer(std::make_shared<CameraLayer>(&scene));
        Bitmap& map = *terrain->heightmapImageRep();
        for (int row = 0; row < map.height(); ++row)
            for (int column = 0; column < map.width(); ++column) map.setGray16(column, row, sample);
        std::string path = (dir / name).string();
        std::string error;
        EXPECT_TRUE(writeSceneFile(scene, path, &error)) << error;
        return path;
    }
    std::string writeFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = (dir / name).string();
        std::string error;
        EXPECT_TRUE(writeFileAtomically(path, bytes, &error)) << error;
        return path;
    }
    std::vector<uint8_t> contents(const std::string& path) {
        std::string error;
        auto bytes = readFileContents(path, size_t(1) << 30, &error);
        EXPECT_TRUE(bytes) << path << ": " << error;
        return bytes ? *bytes : std::vector<uint8_t>{};
    }
    // The heightmap of the document's terrain.
    Bitmap heightmapOf(const std::string& path) {
        SceneReadResult result = readSceneFile(path);
        EXPECT_TRUE(result.scene) << result.error;
        if (!result.scene) return {};
        auto terrains = result.scene->layersOfClass<TerrainLayer>();
        EXPECT_EQ(terrains.size(), 1u);
        return terrains.empty() ? Bitmap{} : *terrains[0]->heightmapImageRep();
    }
    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return cli::runCommandLine(args, out, err);
    }
    fs::path dir;
    std::ostringstream out, err;
};

TEST_F(TerrainCommandsTest, ImportThenExportGivesBackThePictureBitForBit) {
    const std::string document = writeDocument();
    const std::vector<uint8_t> before = contents(document);
    Bitmap picture(kSide, kSide, PixelFormat::Gray16);
    for (int row = 0; row < kSide; ++row)
        for (int column = 0; column < kSide; ++column) picture.setGray16(column, row, pattern(column, row));
    const std::string png = writeFile("picture.png", encodePng(picture));

    const std::string imported = (dir / "imported.korvane").string();
    ASSERT_EQ(run({"heightmap", document, "--import", png, "-o", imported}), 0) << err.str();
    EXPECT_EQ(out.str(), "wrote " + imported + "\n");
    EXPECT_EQ(contents(document), before);  // -o leaves the input as it was
    // The picture's top row is the plan's top: the heightmap's last row.
    const Bitmap map = heightmapOf(imported);
    ASSERT_EQ(map.width(), kSide);
    EXPECT_EQ(map.gray16(0, kSide - 1), pattern(0, 0));
    EXPECT_EQ(map.gray16(17, 0), pattern(17, kSide - 1));

    const std::string exported = (dir / "exported.png").string();
    ASSERT_EQ(run({"heightmap", imported, "--export", exported}), 0) << err.str();
    ImageDecodeResult decoded = decodeImageAsGray16(contents(exported));
    ASSERT_TRUE(decoded.bitmap) << decoded.error;
    EXPECT_TRUE(*decoded.bitmap == picture);

    // Without -o the document itself takes the picture.
    ASSERT_EQ(run({"heightmap", document, "--import", exported}), 0) << err.str();
    EXPECT_TRUE(heightmapOf(document) == map);
}

TEST_F(TerrainCommandsTest, HeightmapFailuresNameTheFileAndLeaveTheDocument) {
    const std::string document = writeDocument(1000);
    const std::vector<uint8_t> before = contents(document);

    const std::string missing = (dir / "missing.png").string();
    EXPECT_EQ(run({"heightmap", document, "--import", missing}), 1);
    EXPECT_EQ(err.str(), "korvane: " + missing + ": No such file or directory\n");
    const std::string junk = writeFile("junk.png", {0x89, 'P', 'N', 'G', 0, 1, 2});
    EXPECT_EQ(run({"heightmap", document, "--import", junk}), 1);
    EXPECT_EQ(err.str().rfind("korvane: " + junk + ": ", 0), 0u) << err.str();
    EXPECT_EQ(contents(document), before);

    const std::string unwritable = (dir / "no-such-dir" / "out.png").string();
    EXPECT_EQ(run({"heightmap", document, "--export", unwritable}), 1);
    EXPECT_EQ(err.str().rfind("korvane: " + unwritable + ": ", 0), 0u) << err.str();

    Scene bare;
    const std::string noTerrain = (dir / "bare.korvane").string();
    std::string error;
    ASSERT_TRUE(writeSceneFile(bare, noTerrain, &error)) << error;
    EXPECT_EQ(run({"heightmap", noTerrain, "--export", (dir / "x.png").string()}), 1);
    EXPECT_EQ(err.str(), "korvane: " + noTerrain + ": the document has no terrain layer\n");
    EXPECT_FALSE(fs::exists(dir / "x.png"));

    for (const std::vector<std::string>& usage :
         std::vector<std::vector<std::string>>{{"heightmap"},
                                               {"heightmap", document},
                                               {"heightmap", document, "--import"},
                                               {"heightmap", document, "--import", junk, "--export", missing},
                                               {"heightmap", document, "--export", missing, "-o", missing},
                                               {"heightmap", document, "--frobnicate"}}) {
        EXPECT_EQ(run(usage), 2) << usage.size();
        EXPECT_NE(err.str().find("usage: korvane heightmap"), std::string::npos) << err.str();
    }
    EXPECT_EQ(contents(document), before);
}

TEST_F(TerrainCommandsTest, OperationsRunInTheOrderGiven) {
    const std::string document = writeDocument();
    // Preset 0 without roughness: one smooth hill, full height at the centre, 0 towards the edges.
    const std::string hill = (dir / "hill.korvane").string();
    ASSERT_EQ(run({"terrain", document, "--fractal", "0", "--large", "0", "--small", "0", "--seed", "7",
                   "--clamp", "0.2", "0.8", "-o", hill}),
              0)
        << err.str();
    // The operations are announced on standard error as they start; standard output has the result.
    EXPECT_NE(err.str().find("[1/2] fractal terrain, preset 0"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("[2/2] clamp to 0.2..0.8"), std::string::npos) << err.str();
    EXPECT_EQ(out.str(), "wrote " + hill + "\n");
    Bitmap map = heightmapOf(hill);
    const auto fraction = [&](int column, int row) { return map.gray16(column, row) / 65535.0; };
    EXPECT_NEAR(fraction(0, 0), 0.2, 1e-4);
    EXPECT_NEAR(fraction(kSide / 2, kSide / 2), 0.8, 1e-4);

    // The other way round the fractal replaces the clamped map.
    const std::string reversed = (dir / "reversed.korvane").string();
    ASSERT_EQ(run({"terrain", document, "--clamp", "0.2", "0.8", "--fractal", "0", "--large", "0", "--small",
                   "0", "--seed", "7", "-o", reversed}),
              0)
        << err.str();
    map = heightmapOf(reversed);
    EXPECT_EQ(map.gray16(0, 0), 0);
    EXPECT_GT(fraction(kSide / 2, kSide / 2), 0.99);
}

TEST_F(TerrainCommandsTest, FiltersGiveTheirValues) {
    // A map at 0.1 of full scale: equalize at full strength multiplies by 6.
    const std::string document = writeDocument(6554);
    ASSERT_EQ(run({"terrain", document, "--equalize", "1"}), 0) << err.str();
    EXPECT_NE(out.str().find("wrote " + document + "\n"), std::string::npos) << out.str();
    EXPECT_NEAR(heightmapOf(document).gray16(10, 20) / 65535.0, 0.6, 1e-3);

    // Noise of no octaves is 0.5 everywhere: blending at full strength gives a flat map at half scale.
    ASSERT_EQ(run({"terrain", document, "--noise", "blend", "--strength", "1", "--frequency", "4",
                   "--octaves", "0"}),
              0)
        << err.str();
    Bitmap map = heightmapOf(document);
    const uint16_t half = map.gray16(0, 0);
    EXPECT_NEAR(half / 65535.0, 0.5, 1e-4);
    for (int row = 0; row < kSide; row += 15)
        for (int column = 0; column < kSide; column += 13) ASSERT_EQ(map.gray16(column, row), half);

    // Erosion and flats leave a flat map as it is.
    ASSERT_EQ(run({"terrain", document, "--erode", "500", "0.5", "--flats", "0.5", "--erode", "0", "1"}), 0)
        << err.str();
    EXPECT_TRUE(heightmapOf(document) == map);
}

TEST_F(TerrainCommandsTest, FractalsWithTheSameSeedAgreeAndNamedNoiseModesWork) {
    const std::string document = writeDocument();
    const std::string first = (dir / "first.korvane").string(), second = (dir / "second.korvane").string();
    const std::vector<std::string> fractal = {"--fractal", "4",   "--large", "0.6",
                                              "--small",   "0.4", "--seed",  "99"};
    auto args = [&](const std::string& output) {
        std::vector<std::string> a = {"terrain", document};
        a.insert(a.end(), fractal.begin(), fractal.end());
        a.insert(a.end(),
                 {"--noise", "add", "--strength", "0.3", "--frequency", "2", "--octaves", "3", "-o", output});
        return a;
    };
    ASSERT_EQ(run(args(first)), 0) << err.str();
    ASSERT_EQ(run(args(second)), 0) << err.str();
    const Bitmap a = heightmapOf(first);
    EXPECT_TRUE(a == heightmapOf(second));
    EXPECT_FALSE(a == heightmapOf(document));
}

TEST_F(TerrainCommandsTest, BadArgumentsLeaveTheFileUntouched) {
    const std::string document = writeDocument(3000);
    const std::vector<uint8_t> before = contents(document);
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--clamp", "0.2"},
        {"--clamp", "low", "0.5"},
        {"--clamp", "0.2", "1.5"},
        {"--equalize", "2"},
        {"--equalize", "0.5", "--flats", "-1"},  // a good operation before a bad one applies nothing
        {"--fractal", "9", "--large", "0", "--small", "0"},
        {"--fractal", "0", "--small", "0"},
        {"--fractal", "0", "--large", "0", "--small", "0", "--seed", "soon"},
        {"--noise", "sideways", "--strength", "0.5", "--frequency", "4", "--octaves", "4"},
        {"--noise", "add", "--strength", "0.5", "--frequency", "0", "--octaves", "4"},
        {"--noise", "add", "--strength", "0.5", "--frequency", "4", "--octaves", "2.5"},
        {"--noise", "add", "--strength", "0.5", "--frequency", "4"},
        {"--erode", "-1", "0.5"},
        {"--erode", "100"},
        {"--erode", "100", "0.5", "extra"},
        {"--smooth", "1"},
        {"--equalize", "0.5", "-o"},
    };
    for (const std::vector<std::string>& ops : bad) {
        std::vector<std::string> args = {"terrain", document};
        args.insert(args.end(), ops.begin(), ops.end());
        EXPECT_EQ(run(args), 2) << (ops.empty() ? "" : ops[0]);
        EXPECT_EQ(err.str().rfind("korvane: terrain: ", 0), 0u) << err.str();
        EXPECT_NE(err.str().find("usage: korvane terrain"), std::string::npos);
        EXPECT_TRUE(out.str().empty()) << out.str();
    }
    EXPECT_EQ(contents(document), before);

    const std::string missing = (dir / "missing.korvane").string();
    EXPECT_EQ(run({"terrain", missing, "--equalize", "0.5"}), 1);
    EXPECT_EQ(err.str(), "korvane: " + missing + ": No such file or directory\n");
    EXPECT_FALSE(fs::exists(missing));
}

// The number that follows "key": in the JSON text, after position `from`.
double numberAfter(const std::string& json, const std::string& key, size_t from) {
    const size_t at = json.find("\"" + key + "\":", from);
    if (at == std::string::npos) return -1e300;
    return std::strtod(json.c_str() + at + key.size() + 3, nullptr);
}

TEST_F(TerrainCommandsTest, InfoJsonDescribesTheTerrainAndTheCamera) {
    const std::string document = writeDocument(32768);
    ASSERT_EQ(run({"terrain", document, "--clamp", "0", "0.25"}), 0) << err.str();
    ASSERT_EQ(run({"info", document, "--json"}), 0) << err.str();
    const std::string json = out.str();
    const size_t terrain = json.find(
        "\"class\":\"TerrainLayer\",\"name\":\"Terrain Elevation\",\"heightmapSize\":[256,256],"
        "\"borderMode\":0,\"smoothingFactor\":45,\"minHeight\":");
    ASSERT_NE(terrain, std::string::npos) << json;
    // A quarter of the maximum height of 4 everywhere (up to the truncation to 16 bits).
    for (const char* key : {"minHeight", "maxHeight", "meanHeight"})
        EXPECT_NEAR(numberAfter(json, key, terrain), 1.0, 1e-3) << key;
    EXPECT_NE(
        json.find("\"class\":\"CameraLayer\",\"name\":\"Camera\",\"cameraType\":\"perspective\","
                  "\"fromPoint\":[0.5,0.5],\"fromPointHeight\":0.15,\"toPoint\":[2,2],\"toPointHeight\":0.15,"
                  "\"focal\":1,\"angle\":90,\"maxAngle\":180,\"scale\":5"),
        std::string::npos)
        << json;
}

}  // namespace
}  // namespace korvane
