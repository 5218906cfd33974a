// The document-editing commands: `new`, `set`, `lights`, `clouds`, and the layer fields that
// `info --json` reports. A refused edit must leave the file exactly as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "cli/Commands.h"
#include "document/Document.h"
#include "foundation/FileIO.h"
#include "scene/SceneFile.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/clouds/CloudsLayer.h"
#include "scene/layers/lighting/DirectionalLight.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/lighting/PointLight.h"
#include "scene/layers/sky/FogLayer.h"
#include "scene/layers/sky/SkyLayer.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/water/WaterLayer.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

template <class T>
std::shared_ptr<T> only(const Scene& scene) {
    auto layers = scene.layersOfClass<T>();
    EXPECT_EQ(layers.size(), 1u);
    return layers.empty() ? nullptr : layers[0];
}

class DocumentCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        dir = fs::temp_directory_path() / ("korvane-document-commands-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        path = (dir / "scene.korvane").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return cli::runCommandLine(args, out, err);
    }
    // A new default document at `path`.
    void makeDocument() { ASSERT_EQ(run({"new", path}), 0) << err.str(); }
    std::unique_ptr<Document> open() {
        auto document = std::make_unique<Document>();
        std::string error;
        EXPECT_TRUE(document->readFromFile(path, &error)) << error;
        return document;
    }
    std::vector<uint8_t> bytes() {
        std::string error;
        return readFileContents(path, size_t{1} << 30, &error).value_or(std::vector<uint8_t>{});
    }
    // Runs a command that must be refused with `status`, name `mention` and leave the file alone.
    void expectRefused(std::vector<std::string> args, int status, const std::string& mention) {
        std::vector<uint8_t> before = bytes();
        EXPECT_EQ(run(args), status) << args[0] << " " << args.back();
        EXPECT_NE(err.str().find(mention), std::string::npos) << err.str();
        EXPECT_EQ(bytes(), before) << err.str();
    }

    fs::path dir;
    std::string path;
    std::ostringstream out, err;
};

TEST_F(DocumentCommandsTest, NewWritesTheDefaultStackWithTheGivenSizeAndHeight) {
    ASSERT_EQ(run({"new", path, "--size", "6", "4.5", "--max-height", "3"}), 0) << err.str();
    auto document = open();
    const Scene& scene = document->scene();
    std::vector<std::string> classes;
    for (const auto& layer : scene.layers()) classes.push_back(layer->archiveClassName());
    EXPECT_EQ(classes, (std::vector<std::string>{"TerrainLayer", "TerrainTextureLayer", "WaterLayer", "SkyLayer",
                                                 "FogLayer", "CloudsLayer", "LightingLayer", "CameraLayer"}));
    EXPECT_EQ(scene.size(), (Size{6.0, 4.5}));
    EXPECT_EQ(scene.maxTerrainHeight(), 3.0f);
    // The heightmap follows the size (102.4 pixels per unit).
    const Bitmap* heightmap = only<TerrainLayer>(scene)->heightmapImageRep();
    ASSERT_NE(heightmap, nullptr);
    EXPECT_EQ(heightmap->width(), 614);
}

TEST_F(DocumentCommandsTest, NewReplacesAnExistingFileOnlyWithForce) {
    makeDocument();
    ASSERT_EQ(run({"set", path, "water.active=true"}), 0) << err.str();
    expectRefused({"new", path}, 1, "the file exists");
    ASSERT_EQ(run({"new", path, "--force"}), 0) << err.str();
    EXPECT_FALSE(only<WaterLayer>(open()->scene())->active());
}

TEST_F(DocumentCommandsTest, NewRefusesSizesOutsideTheSupportedRange) {
    EXPECT_EQ(run({"new", path, "--size", "0", "4"}), 2);
    EXPECT_NE(err.str().find("--size"), std::string::npos) << err.str();
    EXPECT_EQ(run({"new", path, "--size", "5000", "4"}), 2);
    EXPECT_EQ(run({"new", path, "--size", "5"}), 2);
    EXPECT_EQ(run({"new", path, "--max-height", "-1"}), 2);
    EXPECT_EQ(run({"new", path, "--colour"}), 2);
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(DocumentCommandsTest, SetReachesEveryFamilyThroughTheSetters) {
    makeDocument();
    ASSERT_EQ(run({"set", path, "scene.size=8,6", "scene.maxTerrainHeight=5", "scene.depthTint=true",
                   "scene.depthTintColor=0.1,0.2,0.3,0.4", "scene.bloomRadius=3", "water.active=yes",
                   "water.height=0.3", "water.mirrorColor=none", "sky.turbidity=4", "sky.night=on",
                   "fog.active=true", "fog.hazeDistance=30", "camera.fromPoint=1,2", "camera.angle=60",
                   "lighting.sun.direction=0.1,-0.2", "lighting.sun.power=2", "lighting.sun.color=1,0.9,0.8",
                   "terrain.borderMode=2", "terrain.smoothingFactor=30"}),
              0)
        << err.str();
    auto document = open();
    const Scene& scene = document->scene();
    EXPECT_EQ(scene.size(), (Size{8.0, 6.0}));
    EXPECT_EQ(scene.maxTerrainHeight(), 5.0f);
    EXPECT_TRUE(scene.depthTint());
    EXPECT_EQ(scene.depthTintColor(), Color::calibratedRGB(0.1, 0.2, 0.3, 0.4));
    EXPECT_EQ(scene.bloomRadius(), 3.0f);
    auto water = only<WaterLayer>(scene);
    EXPECT_TRUE(water->active());
    EXPECT_EQ(water->height(), 0.3f);
    EXPECT_FALSE(water->mirrorColor().has_value());
    EXPECT_EQ(only<SkyLayer>(scene)->turbidity(), 4.0f);
    EXPECT_TRUE(only<SkyLayer>(scene)->night());
    EXPECT_TRUE(only<FogLayer>(scene)->active());
    EXPECT_EQ(only<FogLayer>(scene)->hazeDistance(), 30.0f);
    EXPECT_EQ(only<CameraLayer>(scene)->fromPoint(), (Point{1.0, 2.0}));
    EXPECT_EQ(only<CameraLayer>(scene)->angle(), 60.0f);
    auto sun = only<LightingLayer>(scene)->sunLight();
    EXPECT_EQ(sun->direction(), (Point{0.1, -0.2}));
    EXPECT_EQ(sun->power(), 2.0f);
    EXPECT_EQ(sun->color(), Color::calibratedRGB(1.0, 0.9, 0.8));
    EXPECT_EQ(only<TerrainLayer>(scene)->borderMode(), 2);
    EXPECT_EQ(only<TerrainLayer>(scene)->smoothingFactor(), 30.0f);
}

TEST_F(DocumentCommandsTest, SetAppliesPresetsAndCameraTypesLikeTheEditors) {
    makeDocument();
    ASSERT_EQ(run({"set", path, "water.preset=muddyriver", "water.IOR=1.2", "camera.cameraType=topdown"}), 0)
        << err.str();
    auto document = open();
    WaterLayer expectedWater;
    for (const auto& preset : WaterLayer::presetDictionaries()) {
        if (preset.presetKey == "muddyriver") expectedWater.configureWithPresetDictionary(preset);
    }
    auto water = only<WaterLayer>(document->scene());
    EXPECT_EQ(water->wavesSize(), expectedWater.wavesSize());
    EXPECT_EQ(water->waterColor(), expectedWater.waterColor());
    // Keys apply in the order given: the IOR after the preset wins.
    EXPECT_EQ(water->IOR(), 1.2f);
    CameraLayer expectedCamera;
    expectedCamera.setCameraType("topdown");
    auto camera = only<CameraLayer>(document->scene());
    EXPECT_EQ(camera->cameraType(), "topdown");
    EXPECT_EQ(camera->fromPoint(), expectedCamera.fromPoint());
}

TEST_F(DocumentCommandsTest, SetWithAnUnknownKeyOrABadValueChangesNothing) {
    makeDocument();
    expectRefused({"set", path, "water.height=0.3", "water.depth=1"}, 2, "unknown key 'water.depth'");
    expectRefused({"set", path, "oceans.height=1"}, 2, "unknown key 'oceans.height'");
    expectRefused({"set", path, "water.height"}, 2, "'water.height' is not KEY=VALUE");
    expectRefused({"set", path}, 2, "usage: korvane set");
    expectRefused({"set", path, "water.active=true", "water.height=abc"}, 2,
                  "water.height: 'abc' is not a number");
    expectRefused({"set", path, "fog.active=maybe"}, 2, "fog.active: 'maybe' is not true or false");
    expectRefused({"set", path, "scene.size=0,5"}, 2, "scene.size: 0 is outside");
    expectRefused({"set", path, "scene.size=5"}, 2, "'5' is not a size W,H");
    expectRefused({"set", path, "scene.depthTintColor=2,0,0"}, 2, "scene.depthTintColor: '2,0,0' is not a colour");
    expectRefused({"set", path, "lighting.sun.direction=1,1"}, 2, "outside the unit disc");
    expectRefused({"set", path, "lighting.sun.power=-1"}, 2, "lighting.sun.power: -1 is outside");
    expectRefused({"set", path, "camera.cameraType=fisheye"}, 2, "(perspective, architect, angular");
    expectRefused({"set", path, "water.preset=lake"}, 2, "'lake' is not a water preset (ocean,");
    expectRefused({"set", path, "terrain.borderMode=3"}, 2, "'3' is not a border mode");
    expectRefused({"set", path, "sky.horizonBrightness=1e40"}, 2, "'1e40' is too large");
    expectRefused({"set", path, "scene.maxTerrainHeight=1e40"}, 2, "scene.maxTerrainHeight: 1e+40 is outside");
    // Heights the model and the renderer cannot use.
    expectRefused({"set", path, "water.height=-3"}, 2, "water.height: -3 is outside 0 to 10000");
    expectRefused({"set", path, "fog.height=1e9"}, 2, "fog.height: 1e+09 is outside 0 to 10000");
    // A usage error reads "korvane: set: …" and comes before any file is read: even a missing one.
    EXPECT_EQ(run({"set", (dir / "missing.korvane").string(), "fog.height=1e9"}), 2);
    EXPECT_EQ(err.str().rfind("korvane: set: fog.height: ", 0), 0u) << err.str();
    // An unknown field is answered with the fields of its family.
    expectRefused({"set", path, "water.depth=1"}, 2,
                  "unknown key 'water.depth' (water has active, height, absorbtion, wavesHeight, wavesTwirl, "
                  "wavesSize, IOR, waterColor, mirrorColor, preset)");
    expectRefused({"set", path, "lighting.sun.strength=1"}, 2, "(lighting.sun has color, direction, power,");
}

TEST_F(DocumentCommandsTest, AValueTheDocumentCannotTakeIsAFailureNamingTheFile) {
    Scene bare;
    bare.addLayer(std::make_shared<FogLayer>(&bare));
    std::string error;
    ASSERT_TRUE(writeSceneFile(bare, path, &error)) << error;
    expectRefused({"set", path, "fog.height=2", "water.height=0.3"}, 1,
                  "korvane: " + path + ": water.height: the document has no water layer\n");
    EXPECT_EQ(err.str().rfind("korvane: " + path + ": ", 0), 0u) << err.str();
}

TEST_F(DocumentCommandsTest, SetOnAMissingFileNamesIt) {
    EXPECT_EQ(run({"set", path, "water.active=true"}), 1);
    EXPECT_EQ(err.str(), "korvane: " + path + ": No such file or directory\n");
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(DocumentCommandsTest, EditingAFileWithoutFogOpensItAsTheApplicationDoes) {
    Scene older;
    older.addLayer(std::make_shared<TerrainLayer>(&older));
    older.addLayer(std::make_shared<WaterLayer>(&older));
    std::string error;
    ASSERT_TRUE(writeSceneFile(older, path, &error)) << error;
    ASSERT_EQ(run({"set", path, "fog.height=0.8"}), 0) << err.str();
    auto document = open();
    ASSERT_EQ(document->scene().layers().size(), 3u);
    EXPECT_EQ(only<FogLayer>(document->scene())->height(), 0.8f);
}

TEST_F(DocumentCommandsTest, EveryCommandOpensDocumentsWithTheFogRepair) {
    Scene older;
    older.addLayer(std::make_shared<TerrainLayer>(&older));
    std::string error;
    ASSERT_TRUE(writeSceneFile(older, path, &error)) << error;
    ASSERT_EQ(run({"info", path, "--json"}), 0) << err.str();
    EXPECT_NE(out.str().find("{\"class\":\"FogLayer\""), std::string::npos) << out.str();
    const std::string converted = (dir / "converted.korvane").string();
    ASSERT_EQ(run({"convert", path, converted}), 0) << err.str();
    EXPECT_EQ(out.str(), "wrote " + converted + "\n");
    SceneReadResult read = readSceneFile(converted);
    ASSERT_TRUE(read.scene) << read.error;
    EXPECT_EQ(read.scene->layersOfClass<FogLayer>().size(), 1u) << "convert stores the repaired document";
}

TEST_F(DocumentCommandsTest, ANewSceneOfAnySizeHasItsCameraInside) {
    for (double side : {0.5, 2.0, 10.0, 100.0}) {
        ASSERT_EQ(run({"new", path, "--force", "--size", std::to_string(side), std::to_string(side / 2)}), 0)
            << err.str();
        EXPECT_EQ(out.str(), "wrote " + path + "\n");
        auto camera = only<CameraLayer>(open()->scene());
        for (Point p : {camera->fromPoint(), camera->toPoint()}) {
            EXPECT_GE(p.x, 0.0) << side;
            EXPECT_LE(p.x, side) << side;
            EXPECT_GE(p.y, 0.0) << side;
            EXPECT_LE(p.y, side / 2) << side;
        }
    }
    // Where the camera already stands inside, it stays where the model puts it.
    ASSERT_EQ(run({"new", path, "--force", "--size", "20", "20"}), 0) << err.str();
    EXPECT_EQ(only<CameraLayer>(open()->scene())->fromPoint(), (Point{5.5, 5.5}));
}

TEST_F(DocumentCommandsTest, LightsAddsDirectionalAndPointLightsAfterTheSun) {
    ASSERT_EQ(run({"new", path, "--size", "8", "6"}), 0) << err.str();
    ASSERT_EQ(run({"lights", path, "--add", "directional", "--direction", "0.3,0.1", "--power", "2",
                   "--shadow-angle", "3", "--color", "1,0.5,0", "--name", "Rim"}),
              0)
        << err.str();
    ASSERT_EQ(run({"lights", path, "--add", "point", "--position", "2,3", "--height", "1", "--power", "4"}), 0)
        << err.str();
    ASSERT_EQ(run({"lights", path, "--add", "point"}), 0) << err.str();
    auto document = open();
    const auto& lights = only<LightingLayer>(document->scene())->lights();
    ASSERT_EQ(lights.size(), 4u);
    EXPECT_EQ(lights[0]->archiveClassName(), "SunLight");
    auto directional = std::dynamic_pointer_cast<DirectionalLight>(lights[1]);
    ASSERT_NE(directional, nullptr);
    EXPECT_EQ(directional->direction(), (Point{0.3, 0.1}));
    EXPECT_EQ(directional->power(), 2.0f);
    EXPECT_EQ(directional->shadowAngle(), 3.0f);
    EXPECT_EQ(directional->color(), Color::calibratedRGB(1.0, 0.5, 0.0));
    EXPECT_EQ(directional->userName(), "Rim");
    auto point = std::dynamic_pointer_cast<PointLight>(lights[2]);
    ASSERT_NE(point, nullptr);
    EXPECT_EQ(point->position(), (Point{2.0, 3.0}));
    EXPECT_EQ(point->heightOverGround(), 1.0f);
    EXPECT_EQ(point->power(), 4.0f);
    EXPECT_EQ(point->userName(), "Point Light");
    // Without a position a point light stands at the scene's centre.
    auto centred = std::dynamic_pointer_cast<PointLight>(lights[3]);
    ASSERT_NE(centred, nullptr);
    EXPECT_EQ(centred->position(), (Point{4.0, 3.0}));
    EXPECT_NE(lights[2]->name(), lights[3]->name());
}

TEST_F(DocumentCommandsTest, LightsRefusesWrongKindsOptionsAndValues) {
    makeDocument();
    expectRefused({"lights", path, "--add", "spot"}, 2, "'spot' is not a kind of light");
    expectRefused({"lights", path, "--add", "point", "--direction", "0,0"}, 2,
                  "--direction does not apply to a point light");
    expectRefused({"lights", path, "--add", "directional", "--height", "1"}, 2,
                  "--height does not apply to a directional light");
    expectRefused({"lights", path, "--power", "2"}, 2, "usage: korvane lights");
    expectRefused({"lights", path, "--add", "point", "--position", "50,5"}, 1,
                  "--position: '50,5' lies outside the scene");
    expectRefused({"lights", path, "--add", "directional", "--direction", "0.9,0.9"}, 2, "unit disc");
    expectRefused({"lights", path, "--add", "directional", "--power", "lots"}, 2, "'lots' is not a number");
}

TEST_F(DocumentCommandsTest, CloudsAddsCloudsWithTheGivenFootprintAndLook) {
    makeDocument();
    ASSERT_EQ(run({"clouds", path, "--add", "--box", "6,5,1,2", "--height", "1.5", "--above", "2", "--density",
                   "0.4", "--cover", "0.6", "--sharpness", "0.5", "--edge-mode", "1"}),
              0)
        << err.str();
    ASSERT_EQ(run({"clouds", path, "--add"}), 0) << err.str();
    auto document = open();
    const auto& clouds = only<CloudsLayer>(document->scene())->clouds();
    ASSERT_EQ(clouds.size(), 2u);
    const Cloud& cloud = *clouds[0];
    // Corners in any order; the heights of the box stay.
    EXPECT_EQ(cloud.boundingBox(), (Box{{1.0f, 2.0f, 0.5f}, {6.0f, 5.0f, 2.5f}}));
    EXPECT_EQ(cloud.height(), 1.5f);
    EXPECT_EQ(cloud.heightAboveGround(), 2.0f);
    EXPECT_EQ(cloud.density(), 0.4f);
    EXPECT_EQ(cloud.cover(), 0.6f);
    EXPECT_EQ(cloud.sharpness(), 0.5f);
    EXPECT_EQ(cloud.edgeMode(), 1);
    EXPECT_EQ(clouds[1]->boundingBox(), Cloud().boundingBox());
    EXPECT_EQ(clouds[1]->name(), "Cloud 2");
}

TEST_F(DocumentCommandsTest, CloudsRefusesBadOptionsAndValues) {
    makeDocument();
    expectRefused({"clouds", path, "--box", "1,1,3,3"}, 2, "usage: korvane clouds");
    expectRefused({"clouds", path, "--add", "--colour", "1"}, 2, "unknown option '--colour'");
    expectRefused({"clouds", path, "--add", "--box", "1,1,1.2,3"}, 2, "narrower than the smallest cloud");
    expectRefused({"clouds", path, "--add", "--box", "1,1,3"}, 2, "is not a footprint x0,y0,x1,y1");
    expectRefused({"clouds", path, "--add", "--edge-mode", "2"}, 2, "'2' is not an edge mode");
    expectRefused({"clouds", path, "--add", "--density", "-0.1"}, 2, "--density: -0.1 is outside");
}

TEST_F(DocumentCommandsTest, InfoJsonReportsTheFieldsOfLightingSkyFogWaterAndClouds) {
    makeDocument();
    ASSERT_EQ(run({"set", path, "sky.turbidity=4", "fog.hazeDistance=30", "water.height=0.3"}), 0) << err.str();
    ASSERT_EQ(run({"lights", path, "--add", "point", "--position", "2,3"}), 0) << err.str();
    ASSERT_EQ(run({"clouds", path, "--add", "--box", "1,2,6,5"}), 0) << err.str();
    ASSERT_EQ(run({"info", path, "--json"}), 0) << err.str();
    const std::string json = out.str();
    for (const char* expected : {
             "\"class\":\"SkyLayer\",\"name\":\"Sky\",\"turbidity\":4,\"horizonBrightness\":2.4",
             "\"useBackgroundAsLightSource\":true,\"night\":false",
             "\"class\":\"FogLayer\",\"name\":\"Fog & Haze\",\"active\":false,\"density\":0.01",
             "\"hazeActive\":true,\"hazeStrength\":1,\"hazeDistance\":30",
             "\"class\":\"WaterLayer\",\"name\":\"Water\",\"active\":false,\"height\":0.3",
             "\"waterColor\":[",
             "\"lights\":[{\"class\":\"SunLight\",\"name\":\"",
             "\"userName\":\"Sun\",\"canBeDeleted\":false,\"color\":[1,1,1,1],\"direction\":[",
             "\"power\":1,\"shadowAngle\":1}",
             "{\"class\":\"PointLight\",",
             "\"position\":[2,3],\"power\":1,\"heightOverGround\":0.5}",
             "\"clouds\":[{\"name\":\"Cloud 1\",\"boundingBox\":{\"start\":[1,2,0.5],\"end\":[6,5,2.5]},"
             "\"density\":0.25,\"cover\":0.5,\"sharpness\":0.3,\"heightAboveGround\":1,\"height\":2,"
             "\"edgeMode\":0,\"textureName\":\"",
         }) {
        EXPECT_NE(json.find(expected), std::string::npos) << expected << "\n" << json;
    }
    // A preset key is set, never reported.
    EXPECT_EQ(json.find("\"preset\""), std::string::npos);
}

}  // namespace
}  // namespace korvane
