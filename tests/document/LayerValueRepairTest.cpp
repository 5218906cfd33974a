// Opening a document whose layers hold values the editors and `korvane set` would refuse: each is
// clamped (or, where its nearest valid value would mean something else, replaced) and reported once,
// the file stays as it is, and the sample scenes open without a single repair.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "document/Document.h"
#include "foundation/FileIO.h"
#include "foundation/archive/KeyedArchiver.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/clouds/CloudsLayer.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/lighting/PointLight.h"
#include "scene/layers/lighting/SunLight.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/mesh/MeshObject.h"
#include "scene/layers/sky/FogLayer.h"
#include "scene/layers/sky/SkyLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/water/WaterLayer.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

// A layer as another writer may have stored it: the archive names `className`, the keys are
// whatever `write` puts there.
class ForeignLayer final : public BaseSceneLayer {
public:
    ForeignLayer(std::string className, std::function<void(KeyedArchiver&)> write)
        : className_(std::move(className)), write_(std::move(write)) {}
    std::string archiveClassName() const override { return className_; }
    std::shared_ptr<BaseSceneLayer> copy() const override {
        return std::make_shared<ForeignLayer>(className_, write_);
    }
    void encode(KeyedArchiver& coder) const override {
        BaseSceneLayer::encode(coder);
        write_(coder);
    }

private:
    std::string className_;
    std::function<void(KeyedArchiver&)> write_;
};

template <class T>
std::shared_ptr<T> last(const Scene& scene) {
    return scene.layersOfClass<T>().back();
}

class LayerValueRepairTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        dir = fs::temp_directory_path() / ("korvane-layer-repair-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Opens path, checking that every repair went to standard error exactly once as "PATH: MESSAGE".
    void open(Document& document, const std::string& path) {
        std::string error;
        ::testing::internal::CaptureStderr();
        const bool opened = document.readFromFile(path, &error);
        const std::string stderrText = ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(opened) << error;
        for (const std::string& repair : document.repairs()) {
            const std::string line = path + ": " + repair + "\n";
            const size_t at = stderrText.find(line);
            EXPECT_NE(at, std::string::npos) << stderrText;
            EXPECT_EQ(stderrText.find(line, at + 1), std::string::npos) << "reported twice: " << line;
        }
    }

    fs::path dir;
};

TEST_F(LayerValueRepairTest, OutOfRangeNanAndWronglyTypedLayerValuesAreRepairedAndEachReportedOnce) {
    Document original;
    Scene& scene = original.scene();
    auto terrain = last<TerrainLayer>(scene);
    terrain->setBorderMode(7);  // builds as a sloped apron
    terrain->setSmoothingFactor(500);
    auto fog = last<FogLayer>(scene);
    fog->setDensity(kNan);
    fog->setHeight(1e9f);
    fog->setHazeStrength(-1);
    auto water = last<WaterLayer>(scene);
    water->setIOR(-2);
    water->setAbsorbtion(std::numeric_limits<float>::infinity());
    auto lighting = last<LightingLayer>(scene);
    lighting->sunLight()->setDirection({3, 4});
    lighting->sunLight()->setPower(-5);
    auto lamp = std::make_shared<PointLight>(lighting.get());
    lamp->setUserName("Lamp");
    lamp->setPower(2);
    lamp->setHeightOverGround(-1);
    lighting->addLight(lamp);
    last<CameraLayer>(scene)->setFocal(-2);
    auto clouds = last<CloudsLayer>(scene);
    for (int i = 0; i < 2; ++i) {  // the same bad values twice: one report each
        auto cloud = clouds->addNewCloud();
        cloud->setDensity(-0.5f);
        cloud->setEdgeMode(5);
    }
    auto meshes = std::make_shared<MeshLayer>();
    auto object = std::make_shared<MeshObject>(meshes.get());
    object->setScale(0);
    meshes->addMeshObject(object);
    scene.addLayer(meshes);
    // A second sky whose turbidity is a word and a second fog whose density is not a number either.
    scene.addLayer(std::make_shared<ForeignLayer>("SkyLayer", [](KeyedArchiver& coder) {
        coder.encodeString("turbidity", "hazy");
        coder.encodeFloat("horizonBrightness", 1.5f);
    }));
    scene.addLayer(std::make_shared<ForeignLayer>("FogLayer", [](KeyedArchiver& coder) {
        coder.encodeFloat("density", kNan);
        coder.encodeFloat("height", 0.5f);
    }));

    const std::string path = (dir / "Hostile.korvane").string();
    std::string error;
    ASSERT_TRUE(original.writeToFile(path, &error)) << error;
    const std::vector<uint8_t> stored =
        readFileContents(path, size_t{1} << 30, &error).value_or(std::vector<uint8_t>{});

    Document opened;
    open(opened, path);
    const std::vector<std::string> expected = {
        "terrain border mode 7 is outside 0–2; using 1",
        "terrain smoothing factor 500 is outside 0–180; using 180",
        "WaterLayer 'absorbtion' is infinite; it is ignored",
        "water index of refraction -2 is below 0; using 0",
        "FogLayer 'density' is not a number; it is ignored",
        "fog height 1e+09 is outside 0–10000; using 10000",
        "haze strength -1 is below 0; using 0",
        "cloud density -0.5 is below 0; using 0",
        "cloud edge mode 5 is outside 0–1; using 1",
        "light 'Sun' direction {3, 4} is outside the unit disc; using {0.6, 0.8}",
        "light 'Sun' power -5 is below 0; using 0",
        "light 'Lamp' height over ground -1 is outside 0–10000; using 0",
        "camera focal length -2 is below 0; using 1",
        "mesh object scale 0 is below 0.1; using 0.1",
        "SkyLayer 'turbidity' holds a string where a number belongs; it is ignored",
    };
    EXPECT_EQ(opened.repairs(), expected);

    const Scene& decoded = opened.scene();
    auto decodedTerrain = last<TerrainLayer>(decoded);
    EXPECT_EQ(decodedTerrain->borderMode(), TerrainLayer::kBorderSlopedApron);
    EXPECT_EQ(decodedTerrain->smoothingFactor(), 180.0f);
    auto fogs = decoded.layersOfClass<FogLayer>();
    ASSERT_EQ(fogs.size(), 2u);
    EXPECT_EQ(fogs[0]->density(), 0.0f);
    EXPECT_EQ(fogs[0]->height(), 10000.0f);
    EXPECT_EQ(fogs[0]->hazeStrength(), 0.0f);
    EXPECT_EQ(fogs[1]->density(), 0.0f);
    EXPECT_EQ(fogs[1]->height(), 0.5f);
    auto decodedWater = last<WaterLayer>(decoded);
    EXPECT_EQ(decodedWater->IOR(), 0.0f);
    EXPECT_EQ(decodedWater->absorbtion(), 0.0f);
    auto decodedLighting = last<LightingLayer>(decoded);
    EXPECT_NEAR(decodedLighting->sunLight()->direction().x, 0.6, 1e-12);
    EXPECT_NEAR(decodedLighting->sunLight()->direction().y, 0.8, 1e-12);
    EXPECT_EQ(decodedLighting->sunLight()->power(), 0.0f);
    EXPECT_EQ(last<CameraLayer>(decoded)->focal(), 1.0f);
    for (const auto& cloud : last<CloudsLayer>(decoded)->clouds()) {
        EXPECT_EQ(cloud->density(), 0.0f);
        EXPECT_EQ(cloud->edgeMode(), 1);
    }
    ASSERT_EQ(last<MeshLayer>(decoded)->meshObjects().size(), 1u);
    EXPECT_EQ(last<MeshLayer>(decoded)->meshObjects()[0]->scale(), 0.1f);
    auto skies = decoded.layersOfClass<SkyLayer>();
    ASSERT_EQ(skies.size(), 2u);
    EXPECT_EQ(skies[1]->turbidity(), 0.0f);
    EXPECT_EQ(skies[1]->horizonBrightness(), 1.5f);

    // Nothing is written until the user saves; saved, the repaired values open without a word.
    EXPECT_EQ(readFileContents(path, size_t{1} << 30, &error).value_or(std::vector<uint8_t>{}), stored);
    ASSERT_TRUE(opened.writeToFile(path, &error)) << error;
    Document reopened;
    open(reopened, path);
    EXPECT_TRUE(reopened.repairs().empty()) << reopened.repairs().front();
}

TEST_F(LayerValueRepairTest, NewDocumentAndSampleScenesOpenWithoutRepairs) {
    std::vector<std::string> paths;
    for (const auto& entry : fs::directory_iterator(fs::path(KORVANE_SOURCE_DIR) / "resources" / "samples")) {
        if (entry.path().extension() == ".korvane") paths.push_back(entry.path().string());
    }
    EXPECT_FALSE(paths.empty());
    const std::string fresh = (dir / "New.korvane").string();
    std::string error;
    ASSERT_TRUE(Document().writeToFile(fresh, &error)) << error;
    paths.push_back(fresh);
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        Document document;
        open(document, path);
        EXPECT_TRUE(document.repairs().empty()) << document.repairs().front();
    }
}

}  // namespace
}  // namespace korvane
