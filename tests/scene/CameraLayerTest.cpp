#include "scene/layers/camera/CameraLayer.h"

#include <gtest/gtest.h>

#include <functional>

#include "foundation/NotificationCenter.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/Scene.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/SceneNotifications.h"
#include "scene/TerrainTestSupport.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane {
namespace {

using testing::OtherRenderer;
using testing::param;
using testing::ParamMap;
using testing::TestRenderer;
using Point3 = std::array<double, 3>;

// A layer whose active water surface stands at a fixed height.
class WaterAt final : public BaseSceneLayer {
public:
    explicit WaterAt(float height) : height_(height) {}
    std::string archiveClassName() const override { return "CameraLayerTestWater"; }
    std::shared_ptr<BaseSceneLayer> copy() const override { return std::make_shared<WaterAt>(height_); }
    std::optional<float> activeWaterSurfaceHeight() const override { return height_; }

private:
    float height_;
};

class CameraLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerSceneClasses();
        scene = std::make_shared<Scene>();
        terrain = std::make_shared<TerrainLayer>(scene.get());
        camera = std::make_shared<CameraLayer>(scene.get());
        scene->addLayer(terrain);
        scene->addLayer(camera);
    }
    // The parameters the camera layer handed the engine for the camera "camera".
    ParamMap appendCamera() {
        TestRenderer renderer;
        renderer.setOutputSize({64, 48});
        camera->appendToRenderer(renderer);
        EXPECT_EQ(renderer.yi.cameras.count("camera"), 1u);
        return renderer.yi.cameras["camera"];
    }
    // Raises the terrain so that it stands `height` scene units high everywhere.
    void raiseTerrainTo(float height) {
        Bitmap& map = *terrain->heightmapImageRep();
        const auto sample = static_cast<uint16_t>(height / scene->maxTerrainHeight() * 65535.0f + 0.5f);
        for (int row = 0; row < map.height(); ++row)
            for (int column = 0; column < map.width(); ++column) map.setGray16(column, row, sample);
    }

    std::shared_ptr<Scene> scene;
    std::shared_ptr<TerrainLayer> terrain;
    std::shared_ptr<CameraLayer> camera;
};

TEST_F(CameraLayerTest, ANewCameraIsAPerspectiveWithTheDefaultPlacement) {
    EXPECT_EQ(camera->cameraType(), "perspective");
    EXPECT_EQ(camera->fromPoint(), (Point{0.5, 0.5}));
    EXPECT_EQ(camera->fromPointHeight(), 0.15f);
    EXPECT_EQ(camera->toPoint(), (Point{2.0, 2.0}));
    EXPECT_EQ(camera->toPointHeight(), 0.15f);
    EXPECT_EQ(camera->focal(), 1.0f);
    EXPECT_EQ(camera->angle(), 90.0f);
    EXPECT_EQ(camera->maxAngle(), 180.0f);
    EXPECT_EQ(camera->scale(), 5.0f);

    EXPECT_EQ(camera->name(), "Camera");
    EXPECT_EQ(camera->icon(), "CameraLayerIcon.png");
    EXPECT_EQ(camera->editLayerClassName(), "EditCameraLayerViewController");
    EXPECT_EQ(camera->orderForFunctionsList(), 50);
    EXPECT_FALSE(camera->canBeDeleted());
    ASSERT_EQ(cameraTypes().size(), 5u);
    EXPECT_STREQ(cameraTypes()[4].cameraType, "topdown");
    EXPECT_STREQ(cameraTypes()[4].menuTitle, "Bird");
    EXPECT_STREQ(cameraTypes()[4].rendererType, "orthographic");
}

TEST_F(CameraLayerTest, EachTypeAppliesItsDefaultsAndKeepsTheOtherFields) {
    auto moveEverything = [&] {
        camera->setFromPoint({7, 8});
        camera->setFromPointHeight(1.25f);
        camera->setToPoint({3, 4});
        camera->setToPointHeight(0.75f);
        camera->setFocal(1.75f);
        camera->setAngle(120);
        camera->setMaxAngle(150);
        camera->setScale(9);
    };

    moveEverything();
    camera->setCameraType("orthographic");
    EXPECT_EQ(camera->cameraType(), "orthographic");
    EXPECT_EQ(camera->fromPoint(), (Point{0.5, 0.5}));
    EXPECT_EQ(camera->fromPointHeight(), 3.0f);
    EXPECT_EQ(camera->toPoint(), (Point{2.0, 2.0}));
    EXPECT_EQ(camera->toPointHeight(), 0.15f);
    EXPECT_EQ(camera->focal(), 1.75f);  // kept
    EXPECT_EQ(camera->scale(), 5.0f);
    EXPECT_EQ(camera->angle(), 120.0f);

    moveEverything();
    camera->setCameraType("topdown");
    EXPECT_EQ(camera->fromPoint(), (Point{5.0, 5.0}));
    EXPECT_EQ(camera->scale(), 5.0f);
    EXPECT_EQ(camera->fromPointHeight(), 1.25f);
    EXPECT_EQ(camera->toPoint(), (Point{3, 4}));
    EXPECT_EQ(camera->toPointHeight(), 0.75f);
    EXPECT_EQ(camera->focal(), 1.75f);

    for (const char* type : {"perspective", "architect", "angular"}) {
        moveEverything();
        camera->setCameraType(type);
        EXPECT_EQ(camera->cameraType(), type);
        EXPECT_EQ(camera->fromPoint(), (Point{0.5, 0.5})) << type;
        EXPECT_EQ(camera->fromPointHeight(), 0.15f) << type;
        EXPECT_EQ(camera->toPoint(), (Point{2.0, 2.0})) << type;
        EXPECT_EQ(camera->toPointHeight(), 0.15f) << type;
        EXPECT_EQ(camera->focal(), 1.0f) << type;
        EXPECT_EQ(camera->scale(), 9.0f) << type;  // kept
        EXPECT_EQ(camera->angle(), 120.0f) << type;
        EXPECT_EQ(camera->maxAngle(), 150.0f) << type;
    }

    moveEverything();
    camera->setCameraType("fisheye");
    EXPECT_EQ(camera->cameraType(), "fisheye");
    EXPECT_EQ(camera->fromPoint(), (Point{7, 8}));
    EXPECT_EQ(camera->fromPointHeight(), 1.25f);
    EXPECT_EQ(camera->focal(), 1.75f);
    EXPECT_EQ(camera->scale(), 9.0f);
}

TEST_F(CameraLayerTest, SettersPostAChangeAndRegisterNoUndo) {
    auto undo = std::make_shared<UndoManager>();
    undo->setGroupsByEvent(false);
    scene->setUndoManager(undo);
    int notifications = 0;
    NotificationObservation watch(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName,
                                  scene.get(), [&](const Notification&) { ++notifications; });
    camera->setCameraType("angular");
    camera->setFromPoint({1, 1});
    camera->setFromPointHeight(1);
    camera->setToPoint({2, 1});
    camera->setToPointHeight(1);
    camera->setFocal(1.5f);
    camera->setAngle(100);
    camera->setMaxAngle(170);
    camera->setScale(3);
    EXPECT_EQ(notifications, 9);
    EXPECT_EQ(undo->undoCount(), 0u);
}

TEST_F(CameraLayerTest, ASizeChangeShiftsBothPointsByHalfTheDifference) {
    camera->setToPoint({3, 4});
    std::vector<std::string> announced;
    const auto fromToken =
        camera->addObserver("fromPoint", [&](const KeyValueChange& c) { announced.push_back(c.key); });
    const auto toToken =
        camera->addObserver("toPoint", [&](const KeyValueChange& c) { announced.push_back(c.key); });
    int notifications = 0;
    NotificationObservation watch(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName,
                                  scene.get(), [&](const Notification&) { ++notifications; });

    camera->sceneSizeDidChange({10, 10}, {20, 10});
    EXPECT_EQ(camera->fromPoint(), (Point{5.5, 0.5}));
    EXPECT_EQ(camera->toPoint(), (Point{8, 4}));
    EXPECT_EQ(announced, (std::vector<std::string>{"fromPoint", "toPoint"}));
    EXPECT_EQ(notifications, 0);  // the scene posts one after the size change

    // Through the scene: shrinking the 10 × 10 scene to 5 × 10 moves the points by (−2.5, 0).
    scene->setSize({5, 10});
    EXPECT_EQ(camera->fromPoint(), (Point{3, 0.5}));
    EXPECT_EQ(camera->toPoint(), (Point{5.5, 4}));
    // The half difference is taken in single precision.
    camera->sceneSizeDidChange({10, 10}, {10.1, 10});
    EXPECT_EQ(camera->fromPoint().x, 3 + double(static_cast<float>((10.1 - 10.0) / 2)));
    camera->removeObserver(fromToken);
    camera->removeObserver(toToken);
}

TEST_F(CameraLayerTest, DistanceWeightFallsOffOverThirtyUnitsFromTheEye) {
    camera->setFromPoint({4, 6});
    EXPECT_FLOAT_EQ(camera->distanceFromPointInScene({4, 6, 3}), 1.0f);
    EXPECT_FLOAT_EQ(camera->distanceFromPointInScene({14, 1, 0}), 0.5f);  // 10 + 5 (Manhattan)
    EXPECT_FLOAT_EQ(camera->distanceFromPointInScene({-11, 6, 0}), 0.5f);
    EXPECT_FLOAT_EQ(camera->distanceFromPointInScene({24, 16, 0}), 0.0f);  // 20 + 10
    EXPECT_FLOAT_EQ(camera->distanceFromPointInScene({40, 40, 0}), 0.0f);
    camera->setCameraType("topdown");
    for (const auto& point : {std::array<float, 3>{5, 5, 0}, {100, 100, 0}, {5, 20, 0}})
        EXPECT_EQ(camera->distanceFromPointInScene(point), 0.5f);
}

TEST_F(CameraLayerTest, PerspectiveStandsAboveTheGroundAndLooksAtTheTarget) {
    raiseTerrainTo(1.0f);
    camera->setFromPoint({2, 3});
    camera->setToPoint({6, 7});
    camera->setFromPointHeight(0.5f);
    camera->setToPointHeight(0.25f);
    camera->setFocal(1.5f);
    const ParamMap p = appendCamera();
    // Plan y counts downwards from the top: ground y = 10 − plan y.
    const Point3 from = param<Point3>(p, "from"), to = param<Point3>(p, "to"), up = param<Point3>(p, "up");
    EXPECT_EQ(from[0], 2.0);
    EXPECT_EQ(from[1], 7.0);
    EXPECT_NEAR(from[2], 1.5, 1e-4);
    EXPECT_EQ(to[0], 6.0);
    EXPECT_EQ(to[1], 3.0);
    EXPECT_NEAR(to[2], 1.25, 1e-4);
    EXPECT_EQ(up[0], 2.0);
    EXPECT_EQ(up[1], 7.0);
    EXPECT_NEAR(up[2], from[2] + 1.0, 1e-6);
    EXPECT_EQ(param<std::string>(p, "type"), "perspective");
    EXPECT_EQ(param<int>(p, "resx"), 64);
    EXPECT_EQ(param<int>(p, "resy"), 48);
    EXPECT_EQ(param<double>(p, "aspect_ratio"), 1.0);
    EXPECT_EQ(param<double>(p, "focal"), 1.5);
    EXPECT_EQ(p.count("scale"), 0u);
    EXPECT_EQ(p.count("angle"), 0u);
}

TEST_F(CameraLayerTest, HeightsCountFromActiveWaterAboveTheTerrain) {
    raiseTerrainTo(0.5f);
    scene->addLayer(std::make_shared<WaterAt>(2.0f));
    camera->setFromPointHeight(0.25f);
    camera->setToPointHeight(0.5f);
    const ParamMap p = appendCamera();
    EXPECT_NEAR(param<Point3>(p, "from")[2], 2.25, 1e-6);
    EXPECT_NEAR(param<Point3>(p, "to")[2], 2.5, 1e-6);
}

TEST_F(CameraLayerTest, EachTypeSetsItsLensParameters) {
    camera->setCameraType("angular");
    camera->setAngle(110);
    camera->setMaxAngle(160);
    ParamMap p = appendCamera();
    EXPECT_EQ(param<std::string>(p, "type"), "angular");
    EXPECT_EQ(param<double>(p, "angle"), 110.0);
    EXPECT_EQ(param<double>(p, "max_angle"), 160.0);
    ASSERT_EQ(p.count("circular"), 1u);
    EXPECT_FALSE(param<bool>(p, "circular"));
    EXPECT_EQ(p.count("focal"), 0u);

    camera->setCameraType("architect");
    camera->setFocal(0.75f);
    p = appendCamera();
    EXPECT_EQ(param<std::string>(p, "type"), "architect");
    EXPECT_EQ(param<double>(p, "focal"), 0.75);

    camera->setCameraType("orthographic");
    camera->setScale(7);
    p = appendCamera();
    EXPECT_EQ(param<std::string>(p, "type"), "orthographic");
    EXPECT_EQ(param<double>(p, "scale"), 7.0);
    EXPECT_EQ(p.count("focal"), 0u);
}

TEST_F(CameraLayerTest, ABirdCameraLooksStraightDownFromHeightHundred) {
    raiseTerrainTo(2.0f);
    camera->setCameraType("topdown");
    camera->setFromPoint({3, 4});
    camera->setFromPointHeight(9.0f);
    camera->setScale(6);
    const ParamMap p = appendCamera();
    EXPECT_EQ(param<std::string>(p, "type"), "orthographic");
    EXPECT_EQ(param<Point3>(p, "from"), (Point3{3, 6, 100}));
    EXPECT_EQ(param<Point3>(p, "to"), (Point3{3, 6, 0}));
    EXPECT_EQ(param<Point3>(p, "up"), (Point3{3, 7, 0}));
    EXPECT_EQ(param<double>(p, "scale"), 6.0);
}

TEST_F(CameraLayerTest, OtherRenderersGetNoCamera) {
    OtherRenderer other;
    camera->appendToRenderer(other);  // must not touch any engine
    TestRenderer renderer;
    auto loose = std::make_shared<CameraLayer>();
    loose->setFromPointHeight(0.5f);
    loose->appendToRenderer(renderer);  // a camera without a scene stands above plan height 0
    EXPECT_EQ(param<Point3>(renderer.yi.cameras["camera"], "from"), (Point3{0.5, -0.5, 0.5}));
}

TEST_F(CameraLayerTest, ACopyKeepsTheValuesNotTheTypeDefaults) {
    camera->setCameraType("orthographic");
    camera->setFromPoint({1, 2});
    camera->setFromPointHeight(4);
    camera->setToPoint({3, 5});
    camera->setToPointHeight(0.5f);
    camera->setFocal(1.25f);
    camera->setAngle(60);
    camera->setMaxAngle(100);
    camera->setScale(2);
    auto copy = std::dynamic_pointer_cast<CameraLayer>(camera->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->scene(), nullptr);
    EXPECT_EQ(copy->cameraType(), "orthographic");
    EXPECT_EQ(copy->fromPoint(), (Point{1, 2}));
    EXPECT_EQ(copy->fromPointHeight(), 4.0f);
    EXPECT_EQ(copy->toPoint(), (Point{3, 5}));
    EXPECT_EQ(copy->toPointHeight(), 0.5f);
    EXPECT_EQ(copy->focal(), 1.25f);
    EXPECT_EQ(copy->angle(), 60.0f);
    EXPECT_EQ(copy->maxAngle(), 100.0f);
    EXPECT_EQ(copy->scale(), 2.0f);
}

TEST_F(CameraLayerTest, ArchiveRoundTripKeepsEveryField) {
    camera->setCameraType("angular");
    camera->setFromPoint({1.5, 2.5});
    camera->setFromPointHeight(0.75f);
    camera->setToPoint({8, 9});
    camera->setToPointHeight(1.5f);
    camera->setFocal(0.5f);
    camera->setAngle(45);
    camera->setMaxAngle(135);
    camera->setScale(3);
    std::string error;
    auto decoded =
        KeyedUnarchiver::unarchiveRoot<Scene>(KeyedArchiver::archivedData(*scene), "scene", &error);
    ASSERT_TRUE(decoded) << error;
    auto cameras = decoded->layersOfClass<CameraLayer>();
    ASSERT_EQ(cameras.size(), 1u);
    const CameraLayer& c = *cameras[0];
    EXPECT_EQ(c.scene(), decoded.get());
    EXPECT_EQ(c.cameraType(), "angular");
    EXPECT_EQ(c.fromPoint(), (Point{1.5, 2.5}));
    EXPECT_EQ(c.fromPointHeight(), 0.75f);
    EXPECT_EQ(c.toPoint(), (Point{8, 9}));
    EXPECT_EQ(c.toPointHeight(), 1.5f);
    EXPECT_EQ(c.focal(), 0.5f);
    EXPECT_EQ(c.angle(), 45.0f);
    EXPECT_EQ(c.maxAngle(), 135.0f);
    EXPECT_EQ(c.scale(), 3.0f);
}

// Writes a scene holding one camera layer with only the keys a test chooses.
class PartialCameraWriter final : public Archivable {
public:
    PartialCameraWriter(const Archivable* scene, std::function<void(KeyedArchiver&)> write)
        : scene_(scene), write_(std::move(write)) {}
    std::string archiveClassName() const override { return "CameraLayer"; }
    void encode(KeyedArchiver& coder) const override {
        write_(coder);
        coder.encodeObject("scene", scene_);
    }
    void decode(KeyedUnarchiver&) override {}

private:
    const Archivable* scene_;
    std::function<void(KeyedArchiver&)> write_;
};
class SceneOfOneCameraWriter final : public Archivable {
public:
    std::string archiveClassName() const override { return "Scene"; }
    void encode(KeyedArchiver& coder) const override {
        coder.encodeObjects("layers", layers);
        coder.encodeSize("size", {10, 10});
    }
    void decode(KeyedUnarchiver&) override {}
    std::vector<std::shared_ptr<Archivable>> layers;
};

// The decoded scene (which owns the layer) and its one camera layer.
struct DecodedCamera {
    std::shared_ptr<Scene> scene;
    std::shared_ptr<CameraLayer> camera;
    const CameraLayer* operator->() const { return camera.get(); }
    explicit operator bool() const { return camera != nullptr; }
};

DecodedCamera decodeWithCameraKeys(std::function<void(KeyedArchiver&)> write) {
    SceneOfOneCameraWriter writer;
    writer.layers.push_back(std::make_shared<PartialCameraWriter>(&writer, std::move(write)));
    std::string error;
    DecodedCamera decoded;
    decoded.scene =
        KeyedUnarchiver::unarchiveRoot<Scene>(KeyedArchiver::archivedData(writer), "scene", &error);
    EXPECT_TRUE(decoded.scene) << error;
    if (!decoded.scene) return decoded;
    auto cameras = decoded.scene->layersOfClass<CameraLayer>();
    EXPECT_EQ(cameras.size(), 1u);
    if (!cameras.empty()) decoded.camera = cameras[0];
    return decoded;
}

TEST_F(CameraLayerTest, AnArchiveWithoutValuesLoadsZeroPlacementAndDefaultLenses) {
    auto empty = decodeWithCameraKeys([](KeyedArchiver&) {});
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->cameraType(), "perspective");
    EXPECT_EQ(empty->fromPoint(), (Point{0, 0}));
    EXPECT_EQ(empty->toPoint(), (Point{0, 0}));
    EXPECT_EQ(empty->fromPointHeight(), 0.0f);
    EXPECT_EQ(empty->toPointHeight(), 0.0f);
    EXPECT_EQ(empty->focal(), 1.0f);
    EXPECT_EQ(empty->angle(), 90.0f);
    EXPECT_EQ(empty->maxAngle(), 180.0f);
    EXPECT_EQ(empty->scale(), 5.0f);

    // Zero lens values are replaced; a stored type's defaults give way to the stored placement.
    auto zeros = decodeWithCameraKeys([](KeyedArchiver& c) {
        c.encodeString("cameraType", "topdown");
        c.encodePoint("fromPoint", {1, 2});
        c.encodeFloat("fromPointHeight", 0.5f);
        c.encodeFloat("focal", 0);
        c.encodeFloat("angle", 0);
        c.encodeFloat("maxAngle", 0);
        c.encodeFloat("scale", 0);
    });
    ASSERT_TRUE(zeros);
    EXPECT_EQ(zeros->cameraType(), "topdown");
    EXPECT_EQ(zeros->fromPoint(), (Point{1, 2}));
    EXPECT_EQ(zeros->fromPointHeight(), 0.5f);
    EXPECT_EQ(zeros->focal(), 1.0f);
    EXPECT_EQ(zeros->angle(), 90.0f);
    EXPECT_EQ(zeros->maxAngle(), 180.0f);
    EXPECT_EQ(zeros->scale(), 5.0f);

    auto stored = decodeWithCameraKeys([](KeyedArchiver& c) { c.encodeFloat("focal", 1.8f); });
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->focal(), 1.8f);
}

}  // namespace
}  // namespace korvane
