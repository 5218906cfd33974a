// The document: a new document's layer stack and undo manager, opening (the fog repair, data that
// does not decode), saving (a round trip, a failed save that keeps the old file) and the change count.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "document/Document.h"
#include "fixtures/hostile/HostileFiles.h"
#include "foundation/FileIO.h"
#include "foundation/archive/KeyedArchiver.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/clouds/CloudsLayer.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/sky/FogLayer.h"
#include "scene/layers/sky/SkyLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"
#include "scene/layers/texture/TerrainTextureLayerMaterialMap.h"
#include "scene/layers/water/WaterLayer.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kDefaultStack = {
    "TerrainLayer", "TerrainTextureLayer", "WaterLayer",    "SkyLayer",
    "FogLayer",     "CloudsLayer",         "LightingLayer", "CameraLayer",
};

std::vector<std::string> classNames(const Scene& scene) {
    std::vector<std::string> names;
    for (const auto& layer : scene.layers()) names.push_back(layer->archiveClassName());
    return names;
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::string error;
    auto bytes = readFileContents(path, size_t{1} << 30, &error);
    EXPECT_TRUE(bytes) << error;
    return bytes.value_or(std::vector<uint8_t>{});
}

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        dir = fs::temp_directory_path() / ("korvane-document-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir);
    }
    std::string pathFor(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

TEST_F(DocumentTest, NewDocumentHasTheEightDefaultLayersAndNothingToUndo) {
    Document document;
    const Scene& scene = document.scene();
    EXPECT_EQ(classNames(scene), kDefaultStack);
    for (const auto& layer : scene.layers()) EXPECT_EQ(layer->scene(), &scene);
    // The materials dress the stack's own terrain.
    auto textures = scene.layersOfClass<TerrainTextureLayer>();
    ASSERT_EQ(textures.size(), 1u);
    EXPECT_EQ(textures[0]->terrainLayer(), scene.layersOfClass<TerrainLayer>()[0].get());

    EXPECT_EQ(scene.undoManager(), &document.undoManager());
    EXPECT_EQ(document.undoManager().levelsOfUndo(), Document::kLevelsOfUndo);
    EXPECT_FALSE(document.undoManager().canUndo());
    EXPECT_FALSE(document.isEdited());
}

TEST_F(DocumentTest, UndoKeepsEightLevels) {
    Document document;
    Scene& scene = document.scene();
    UndoManager& undo = document.undoManager();
    for (int i = 0; i < Document::kLevelsOfUndo + 1; ++i) {
        undo.beginUndoGrouping();
        scene.addLayer(std::make_shared<FogLayer>(&scene));
        undo.endUndoGrouping();
    }
    EXPECT_EQ(undo.undoCount(), 8u);
    while (undo.canUndo()) undo.undo();
    // The first addition fell off the bottom of the stack and stays.
    EXPECT_EQ(scene.layers().size(), kDefaultStack.size() + 1);
}

TEST_F(DocumentTest, SavingAndOpeningKeepsLayersSizeHeightAndPostProcessing) {
    Document saved;
    Scene& scene = saved.scene();
    scene.setSize({12.0, 7.5});
    scene.setMaxTerrainHeight(6.5f);
    scene.setSizeOverflow(50.0f);
    scene.setBloomFilter(true);
    scene.setDepthTintColor(Color::calibratedRGB(0.25, 0.5, 0.75, 0.5));
    scene.setVibranceStrength(0.8f);
    scene.layersOfClass<WaterLayer>()[0]->setHeight(0.4f);
    scene.layersOfClass<LightingLayer>()[0]->sunLight()->setPower(2.5f);
    scene.layersOfClass<CloudsLayer>()[0]->addNewCloud()->setDensity(0.75f);
    scene.layersOfClass<CameraLayer>()[0]->setFromPoint({3.0, 4.0});
    std::string path = pathFor("round-trip.korvane");
    std::string error;
    ASSERT_TRUE(saved.writeToFile(path, &error)) << error;
    EXPECT_FALSE(saved.isEdited());

    Document opened;
    ASSERT_TRUE(opened.readFromFile(path, &error)) << error;
    const Scene& reopened = opened.scene();
    EXPECT_EQ(classNames(reopened), kDefaultStack);
    for (const auto& layer : reopened.layers()) EXPECT_EQ(layer->scene(), &reopened);
    EXPECT_EQ(reopened.size(), (Size{12.0, 7.5}));
    EXPECT_EQ(reopened.maxTerrainHeight(), 6.5f);
    EXPECT_EQ(reopened.sizeOverflow(), 200.0f);
    EXPECT_TRUE(reopened.bloomFilter());
    EXPECT_EQ(reopened.depthTintColor(), Color::calibratedRGB(0.25, 0.5, 0.75, 0.5));
    EXPECT_EQ(reopened.vibranceStrength(), 0.8f);
    EXPECT_EQ(reopened.layersOfClass<WaterLayer>()[0]->height(), 0.4f);
    EXPECT_EQ(reopened.layersOfClass<LightingLayer>()[0]->sunLight()->power(), 2.5f);
    ASSERT_EQ(reopened.layersOfClass<CloudsLayer>()[0]->clouds().size(), 1u);
    EXPECT_EQ(reopened.layersOfClass<CloudsLayer>()[0]->clouds()[0]->density(), 0.75f);
    EXPECT_EQ(reopened.layersOfClass<CameraLayer>()[0]->fromPoint(), (Point{3.0, 4.0}));
    EXPECT_EQ(reopened.undoManager(), &opened.undoManager());
    EXPECT_FALSE(opened.undoManager().canUndo());
    EXPECT_FALSE(opened.isEdited());
    // Writing the opened document again gives the same archive.
    EXPECT_EQ(opened.data(), fileBytes(path));
}

TEST_F(DocumentTest, FileWithoutFogGetsOneFogLayerLastThatCannotBeUndone) {
    Scene older;
    older.addLayer(std::make_shared<TerrainLayer>(&older));
    older.addLayer(std::make_shared<WaterLayer>(&older));
    older.addLayer(std::make_shared<SkyLayer>(&older));
    older.addLayer(std::make_shared<CameraLayer>(&older));
    Document document;
    std::string error;
    ASSERT_TRUE(document.read(KeyedArchiver::archivedData(older), &error)) << error;
    const Scene& scene = document.scene();
    EXPECT_EQ(classNames(scene),
              (std::vector<std::string>{"TerrainLayer", "WaterLayer", "SkyLayer", "CameraLayer", "FogLayer"}));
    EXPECT_EQ(scene.layers().back()->scene(), &scene);
    EXPECT_FALSE(document.undoManager().canUndo());
    EXPECT_FALSE(document.isEdited());

    // A file that has fog gets no second one.
    Document reopened;
    ASSERT_TRUE(reopened.read(document.data(), &error)) << error;
    EXPECT_EQ(reopened.scene().layersOfClass<FogLayer>().size(), 1u);
}

TEST_F(DocumentTest, DataThatDoesNotDecodeKeepsTheDefaultSceneAndSaysWhy) {
    Document document;
    const Scene* defaultScene = &document.scene();
    std::string error;
    const std::vector<uint8_t> garbage = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'a', 'r', 'c', 'h', 'i', 'v', 'e'};
    EXPECT_FALSE(document.read(garbage, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(&document.scene(), defaultScene);
    EXPECT_EQ(classNames(document.scene()), kDefaultStack);

    // An archive whose root is not a scene is refused too.
    FogLayer notAScene;
    error.clear();
    EXPECT_FALSE(document.read(KeyedArchiver::archivedData(notAScene), &error));
    EXPECT_NE(error.find("scene"), std::string::npos) << error;
    EXPECT_EQ(&document.scene(), defaultScene);

    error.clear();
    EXPECT_FALSE(document.readFromFile(pathFor("missing.korvane"), &error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_EQ(&document.scene(), defaultScene);
}

// Makes the TIFF of the given size inside an archive unreadable while its header still reads: its
// compression becomes a scheme no decoder knows.
bool damageTiffOfWidth(std::vector<uint8_t>& archive, uint32_t width) {
    auto le16 = [&](size_t at) { return uint32_t(archive[at]) | uint32_t(archive[at + 1]) << 8; };
    auto le32 = [&](size_t at) { return le16(at) | le16(at + 2) << 16; };
    for (size_t tiff = 0; tiff + 8 < archive.size(); ++tiff) {
        if (archive[tiff] != 'I' || archive[tiff + 1] != 'I' || archive[tiff + 2] != 42 || archive[tiff + 3] != 0)
            continue;
        const size_t ifd = tiff + le32(tiff + 4);
        if (ifd + 2 >= archive.size()) continue;
        const uint32_t count = le16(ifd);
        size_t compression = 0;
        uint32_t foundWidth = 0;
        for (uint32_t i = 0; i < count && ifd + 2 + 12 * (i + 1) <= archive.size(); ++i) {
            const size_t entry = ifd + 2 + 12 * i;
            if (le16(entry) == 256) foundWidth = le16(entry + 2) == 3 ? le16(entry + 8) : le32(entry + 8);
            if (le16(entry) == 259) compression = entry + 8;
        }
        if (foundWidth != width || compression == 0) continue;
        archive[compression] = 0xe8, archive[compression + 1] = 0xfd;  // 65000
        return true;
    }
    return false;
}

TEST_F(DocumentTest, DamagedHeightmapAndMaskOpenFlatWithTheRestKeptAndAreReportedOnce) {
    Document original;
    Scene& scene = original.scene();
    scene.setSize({5, 2.5});  // a 512 × 256 heightmap
    auto textures = scene.layersOfClass<TerrainTextureLayer>().front();
    auto map = textures->addNewMaterialMap();
    Bitmap painted(512, 256, PixelFormat::Gray8);
    painted.setGray8(10, 10, 255);
    map->replaceMaskWithoutUndo(std::make_shared<Bitmap>(painted));
    scene.setMaxTerrainHeight(7);

    std::vector<uint8_t> bytes = original.data();
    ASSERT_TRUE(damageTiffOfWidth(bytes, 512));
    // One flipped byte inside the heightmap's PNG data: its CRC no longer matches.
    static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const auto png = std::search(bytes.begin(), bytes.end(), std::begin(kPng), std::end(kPng));
    ASSERT_NE(png, bytes.end());
    const size_t pngAt = size_t(png - bytes.begin());
    const std::vector<uint8_t> damagedPng =
        hostile::pngWithFlippedDataByte(std::vector<uint8_t>(bytes.begin() + pngAt, bytes.end()));
    std::copy(damagedPng.begin(), damagedPng.end(), bytes.begin() + pngAt);
    const std::string path = pathFor("Damaged.korvane");
    ASSERT_TRUE(writeFileAtomically(path, bytes, nullptr));

    Document opened;
    std::string error;
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(opened.readFromFile(path, &error)) << error;
    const std::string stderrText = ::testing::internal::GetCapturedStderr();

    ASSERT_EQ(opened.repairs().size(), 2u);
    EXPECT_NE(opened.repairs()[0].find("the terrain heightmap is damaged"), std::string::npos) << opened.repairs()[0];
    EXPECT_NE(opened.repairs()[0].find("(IDAT: "), std::string::npos) << opened.repairs()[0];
    EXPECT_NE(opened.repairs()[0].find("512 × 256"), std::string::npos) << opened.repairs()[0];
    EXPECT_NE(opened.repairs()[1].find("a mask of the 'Terrain Materials' layer is damaged"), std::string::npos)
        << opened.repairs()[1];
    for (const std::string& repair : opened.repairs()) {
        const std::string line = path + ": " + repair + "\n";
        const size_t at = stderrText.find(line);
        EXPECT_NE(at, std::string::npos) << stderrText;
        EXPECT_EQ(stderrText.find(line, at + 1), std::string::npos) << "reported twice";
    }

    // The rest of the scene is kept; the damaged maps are flat at their own sizes.
    const Scene& decoded = opened.scene();
    EXPECT_EQ(classNames(decoded), kDefaultStack);
    EXPECT_EQ(decoded.size(), (Size{5, 2.5}));
    EXPECT_EQ(decoded.maxTerrainHeight(), 7.0f);
    const Bitmap* heights = decoded.layersOfClass<TerrainLayer>().front()->heightmapImageRep();
    ASSERT_NE(heights, nullptr);
    EXPECT_EQ(*heights, Bitmap(512, 256, PixelFormat::Gray16));
    const auto& maps = decoded.layersOfClass<TerrainTextureLayer>().front()->materialMaps();
    ASSERT_EQ(maps.size(), 2u);
    ASSERT_NE(maps[1]->maskImageRep(), nullptr);
    EXPECT_EQ(*maps[1]->maskImageRep(), Bitmap(512, 256, PixelFormat::Gray8));
    // Nothing is written until the user saves.
    EXPECT_EQ(fileBytes(path), bytes);
}

TEST_F(DocumentTest, SaveOntoADirectoryFailsAndLeavesItAlone) {
    fs::path target = dir / "folder.korvane";
    fs::create_directories(target / "inside");
    Document document;
    document.scene().setMaxTerrainHeight(5.0f);
    std::string error;
    EXPECT_FALSE(document.writeToFile(target.string(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(target / "inside"));
    EXPECT_TRUE(document.isEdited());
}

TEST_F(DocumentTest, FailedSaveKeepsTheOldFileByteForByte) {
    std::string path = pathFor("kept.korvane");
    Document document;
    std::string error;
    ASSERT_TRUE(document.writeToFile(path, &error)) << error;
    std::vector<uint8_t> before = fileBytes(path);
    ASSERT_GT(before.size(), 4096u);

    // Files may not grow past 1 KiB while the document saves again, so writing the new archive
    // fails part-way, as on a full disk; the process is told by EFBIG, not by a signal.
    document.scene().setMaxTerrainHeight(5.0f);
    rlimit original{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &original), 0);
    rlimit small = original;
    small.rlim_cur = 1024;
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool saved = document.writeToFile(path, &error);
    ::setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(fileBytes(path), before);
    EXPECT_TRUE(document.isEdited());
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(DocumentTest, SaveIntoAReadOnlyDirectoryKeepsTheOldFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    std::string path = pathFor("locked.korvane");
    Document document;
    std::string error;
    ASSERT_TRUE(document.writeToFile(path, &error)) << error;
    std::vector<uint8_t> before = fileBytes(path);
    document.scene().setMaxTerrainHeight(5.0f);
    fs::permissions(dir, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_FALSE(document.writeToFile(path, &error));
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
    EXPECT_EQ(fileBytes(path), before);
}

TEST_F(DocumentTest, SceneAndPostProcessingChangesMarkTheDocumentEdited) {
    Document document;
    document.scene().layersOfClass<FogLayer>()[0]->setActive(true);
    EXPECT_EQ(document.changeCount(), 1);
    document.scene().setBloomFilter(true);
    EXPECT_EQ(document.changeCount(), 2);

    // Another scene's changes do not count.
    Scene other;
    other.setMaxTerrainHeight(3.0f);
    EXPECT_EQ(document.changeCount(), 2);

    std::string error;
    ASSERT_TRUE(document.writeToFile(pathFor("edited.korvane"), &error)) << error;
    EXPECT_FALSE(document.isEdited());

    // After opening, the old scene's undo steps are gone and its changes no longer count.
    auto oldScene = document.sharedScene();
    document.undoManager().beginUndoGrouping();
    oldScene->addLayer(std::make_shared<FogLayer>(oldScene.get()));
    document.undoManager().endUndoGrouping();
    ASSERT_TRUE(document.readFromFile(pathFor("edited.korvane"), &error)) << error;
    EXPECT_FALSE(document.undoManager().canUndo());
    oldScene->setMaxTerrainHeight(9.0f);
    EXPECT_FALSE(document.isEdited());
}

}  // namespace
}  // namespace korvane
