#include "renderer/MeshThumbnails.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Bitmap.h"
#include "foundation/MainThreadDispatcher.h"
#include "foundation/NotificationCenter.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/mesh/MeshObject.h"

namespace korvane {
namespace {

SynchronousDispatcher& dispatcher() {
    return dynamic_cast<SynchronousDispatcher&>(MainThreadDispatcher::shared());
}

template <typename Condition>
void pumpUntil(Condition done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done() && std::chrono::steady_clock::now() < until) {
        dispatcher().runPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    dispatcher().runPending();
}

// A box of the given extents centred at the origin, y up, in one textured material; placed away from
// the origin, scaled, turned and lifted, as an object on a terrain would be.
std::shared_ptr<MeshObject> boxObject(float width, float height, float depth) {
    auto object = std::make_shared<MeshObject>();
    auto material = std::make_shared<DiffuseMaterial>();
    material->configureWithPresetKey("redrocks3");
    object->setMaterials({material});
    auto mesh = std::make_shared<Mesh>(object.get());
    const float x = width / 2, y = height / 2, z = depth / 2;
    for (int corner = 0; corner < 8; ++corner) {
        const MeshVertex v{corner & 1 ? x : -x, corner & 2 ? y : -y, corner & 4 ? z : -z};
        mesh->addVertex(v, {v.x + v.y, v.z - v.y});
    }
    const uint32_t faces[12][3] = {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
                                   {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};
    for (const auto& f : faces) mesh->addFace({f[0], f[1], f[2], 0});
    object->beginChangingGeometry();
    object->addMesh(mesh);
    object->endChangingGeometry();
    object->setPosition({3, 4});
    object->setScale(2.5f);
    object->setZRotation(30);
    object->setHeightOverTerrain(0.7f);
    return object;
}

template <class T>
std::shared_ptr<T> layerOf(const std::vector<std::shared_ptr<BaseSceneLayer>>& layers) {
    std::shared_ptr<T> found;
    for (const auto& layer : layers) {
        if (auto typed = std::dynamic_pointer_cast<T>(layer)) {
            EXPECT_FALSE(found) << "one layer of each kind";
            found = typed;
        }
    }
    return found;
}

TEST(MeshThumbnailsTest, TheObjectIsCopiedToTheOriginUnderAnOrthographicCamera) {
    const auto object = boxObject(0.5f, 0.8f, 0.3f);
    for (MeshThumbnailKind kind : {MeshThumbnailKind::TopDown, MeshThumbnailKind::Isometric}) {
        const auto layers = meshThumbnailLayers(*object, kind);
        ASSERT_EQ(layers.size(), 3u);
        const auto meshLayer = layerOf<MeshLayer>(layers);
        ASSERT_TRUE(meshLayer);
        ASSERT_EQ(meshLayer->meshObjects().size(), 1u);
        const MeshObject& copy = *meshLayer->meshObjects()[0];
        EXPECT_NE(&copy, object.get());
        EXPECT_EQ(copy.position(), (Point{0, 0}));
        EXPECT_EQ(copy.scale(), 1.0f);
        EXPECT_EQ(copy.zRotation(), 0.0f);
        EXPECT_EQ(copy.heightOverTerrain(), 0.0f);
        EXPECT_EQ(copy.meshs(), object->meshs()) << "the geometry is shared, not duplicated";
        EXPECT_EQ(copy.bounds(), object->bounds());
        const auto camera = layerOf<CameraLayer>(layers);
        ASSERT_TRUE(camera);
        EXPECT_EQ(camera->cameraType(), "orthographic");
        const auto lighting = layerOf<LightingLayer>(layers);
        ASSERT_TRUE(lighting);
        EXPECT_FLOAT_EQ(lighting->sunLight()->power(), 1.25f);
    }
    // The object itself keeps its placement.
    EXPECT_EQ(object->position(), (Point{3, 4}));
    EXPECT_EQ(object->scale(), 2.5f);
    EXPECT_EQ(object->zRotation(), 30.0f);
    EXPECT_EQ(object->heightOverTerrain(), 0.7f);
}

TEST(MeshThumbnailsTest, TopDownAndIsometricCameras) {
    const auto object = boxObject(0.5f, 0.84f, 0.3f);
    const Point defaultSun = LightingLayer().sunLight()->direction();

    const auto top = meshThumbnailLayers(*object, MeshThumbnailKind::TopDown);
    const auto topCamera = layerOf<CameraLayer>(top);
    EXPECT_EQ(topCamera->fromPoint(), (Point{0, 0.1}));
    EXPECT_FLOAT_EQ(topCamera->fromPointHeight(), 10.0f);
    EXPECT_EQ(topCamera->toPoint(), (Point{0, 0}));
    EXPECT_FLOAT_EQ(topCamera->toPointHeight(), 0.0f);
    EXPECT_FLOAT_EQ(topCamera->scale(), 1.0f);
    EXPECT_EQ(layerOf<LightingLayer>(top)->sunLight()->direction(), defaultSun);

    const auto iso = meshThumbnailLayers(*object, MeshThumbnailKind::Isometric);
    const auto isoCamera = layerOf<CameraLayer>(iso);
    EXPECT_FLOAT_EQ(isoCamera->scale(), 1.5f);
    EXPECT_EQ(isoCamera->fromPoint(), (Point{-1.25, 1.25}));
    EXPECT_EQ(isoCamera->toPoint(), (Point{0, 0}));
    EXPECT_FLOAT_EQ(isoCamera->toPointHeight(), 0.84f / 2.1f) << "aimed a little above half the height";
    EXPECT_FLOAT_EQ(isoCamera->fromPointHeight(), 0.84f / 2.1f + 1.25f);
    EXPECT_EQ(layerOf<LightingLayer>(iso)->sunLight()->direction(), (Point{-0.3, 0.7}));
}

// Records the thumbnail notifications of one object.
struct ThumbnailNotifications {
    explicit ThumbnailNotifications(const MeshObject* object)
        : topDown(NotificationCenter::defaultCenter(), kGenerateTopDownThumbnailDidFinishNotification, object,
                  [this](const Notification&) { order.push_back("top-down"); }),
          isometric(NotificationCenter::defaultCenter(), kGenerateIsometricThumbnailDidFinishNotification,
                    object, [this](const Notification&) { order.push_back("isometric"); }) {}
    std::vector<std::string> order;
    NotificationObservation topDown, isometric;
};

// Share of the pixels that are not transparent.
double coverage(const Bitmap& image) {
    long opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) opaque += image.pixel(x, y)[3] > 0;
    return double(opaque) / (double(image.width()) * image.height());
}

TEST(MeshThumbnailsTest, BothThumbnailsAreRenderedAt256AndStoredInTheObject) {
    const auto object = boxObject(0.5f, 0.5f, 0.5f);
    ThumbnailNotifications notifications(object.get());
    MeshObjectThumbnailer thumbnailer(object);
    thumbnailer.generateAllThumbnails();
    EXPECT_TRUE(thumbnailer.isGenerating(MeshThumbnailKind::TopDown));
    EXPECT_TRUE(thumbnailer.isGenerating(MeshThumbnailKind::Isometric));
    pumpUntil([&] { return notifications.order.size() == 2; });
    // Renders take turns in the ray tracer, so either may finish first.
    std::sort(notifications.order.begin(), notifications.order.end());
    ASSERT_EQ(notifications.order, (std::vector<std::string>{"isometric", "top-down"}));
    EXPECT_FALSE(thumbnailer.isGenerating(MeshThumbnailKind::TopDown)) << "the renderer is released";
    EXPECT_FALSE(thumbnailer.isGenerating(MeshThumbnailKind::Isometric));
    ASSERT_TRUE(object->topDownThumbnail());
    ASSERT_TRUE(object->isometricThumbnail());
    for (const Bitmap* image : {object->topDownThumbnail().get(), object->isometricThumbnail().get()}) {
        EXPECT_EQ(image->width(), 256);
        EXPECT_EQ(image->height(), 256);
        // The object shows against a transparent background (the scene has no sky).
        const double covered = coverage(*image);
        EXPECT_GT(covered, 0.05);
        EXPECT_LT(covered, 0.95);
        EXPECT_EQ(image->pixel(0, 0)[3], 0);
    }
    // Seen from above, the box's square top sits in the middle.
    EXPECT_EQ(object->topDownThumbnail()->pixel(128, 128)[3], 255);
}

TEST(MeshThumbnailsTest, StartingAThumbnailAgainDiscardsTheRunningRender) {
    const auto object = boxObject(0.5f, 0.5f, 0.5f);
    ThumbnailNotifications notifications(object.get());
    MeshObjectThumbnailer thumbnailer(object);
    thumbnailer.generateThumbnail(MeshThumbnailKind::TopDown);
    thumbnailer.generateThumbnail(MeshThumbnailKind::TopDown);
    pumpUntil([&] { return !notifications.order.empty(); });
    // Give a stray completion of the first render every chance to arrive.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    dispatcher().runPending();
    EXPECT_EQ(notifications.order, (std::vector<std::string>{"top-down"}));
    EXPECT_TRUE(object->topDownThumbnail());
    EXPECT_FALSE(object->isometricThumbnail());
}

TEST(MeshThumbnailsTest, AnObjectGoneBeforeTheRenderEndsReceivesNothing) {
    auto object = boxObject(0.5f, 0.5f, 0.5f);
    const MeshObject* address = object.get();
    ThumbnailNotifications notifications(address);
    MeshObjectThumbnailer thumbnailer(object);
    thumbnailer.generateAllThumbnails();
    object.reset();
    pumpUntil([&] {
        return !thumbnailer.isGenerating(MeshThumbnailKind::TopDown) &&
               !thumbnailer.isGenerating(MeshThumbnailKind::Isometric);
    });
    EXPECT_TRUE(notifications.order.empty());
    // Dropping the thumbnailer of a running render aborts it.
    auto another = boxObject(0.5f, 0.5f, 0.5f);
    ThumbnailNotifications anotherNotifications(another.get());
    {
        MeshObjectThumbnailer dropped(another);
        dropped.generateAllThumbnails();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    dispatcher().runPending();
    EXPECT_TRUE(anotherNotifications.order.empty());
    EXPECT_FALSE(another->topDownThumbnail());
}

}  // namespace
}  // namespace korvane
