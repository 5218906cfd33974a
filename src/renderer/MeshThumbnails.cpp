#include "renderer/MeshThumbnails.h"

#include <cstdio>

#include "foundation/Bitmap.h"
#include "foundation/NotificationCenter.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/mesh/MeshLayer.h"
#include "scene/layers/mesh/MeshObject.h"

namespace korvane {

namespace {

constexpr float kSunPower = 1.25f;
constexpr Point kTopDownEye{0.0, 0.1};
constexpr float kTopDownEyeHeight = 10.0f;
constexpr float kTopDownScale = 1.0f;
constexpr Point kIsometricEye{-1.25, 1.25};
constexpr float kIsometricScale = 1.5f;
// The target sits a little above the middle of the object's height; the eye 1.25 above it.
constexpr float kIsometricTargetHeightDivisor = 2.1f;
constexpr float kIsometricEyeLift = 1.25f;
constexpr Point kIsometricSunDirection{-0.3, 0.7};

}  // namespace

std::vector<std::shared_ptr<BaseSceneLayer>> meshThumbnailLayers(const MeshObject& object,
                                                                 MeshThumbnailKind kind) {
    std::shared_ptr<MeshObject> placed = object.copy();
    placed->setPosition({0.0, 0.0});
    placed->setHeightOverTerrain(0.0f);
    placed->setScale(1.0f);
    placed->setZRotation(0.0f);
    auto meshLayer = std::make_shared<MeshLayer>();
    meshLayer->addMeshObject(std::move(placed));

    auto camera = std::make_shared<CameraLayer>();
    camera->setCameraType("orthographic");
    auto lighting = std::make_shared<LightingLayer>();
    lighting->sunLight()->setPower(kSunPower);
    if (kind == MeshThumbnailKind::TopDown) {
        camera->setFromPoint(kTopDownEye);
        camera->setFromPointHeight(kTopDownEyeHeight);
        camera->setToPoint({0.0, 0.0});
        camera->setToPointHeight(0.0f);
        camera->setScale(kTopDownScale);
    } else {
        const Box& bounds = object.bounds();
        const float targetHeight = (bounds.end.y - bounds.start.y) / kIsometricTargetHeightDivisor;
        camera->setScale(kIsometricScale);
        camera->setFromPoint(kIsometricEye);
        camera->setToPoint({0.0, 0.0});
        camera->setToPointHeight(targetHeight);
        camera->setFromPointHeight(targetHeight + kIsometricEyeLift);
        lighting->sunLight()->setDirection(kIsometricSunDirection);
    }
    return {meshLayer, camera, lighting};
}

MeshObjectThumbnailer::MeshObjectThumbnailer(std::weak_ptr<MeshObject> object) : object_(std::move(object)) {}

MeshObjectThumbnailer::~MeshObjectThumbnailer() = default;  // each image renderer aborts its render

void MeshObjectThumbnailer::generateThumbnail(MeshThumbnailKind kind) {
    std::unique_ptr<ImageRenderer>& renderer = rendererFor(kind);
    renderer.reset();
    std::shared_ptr<MeshObject> object = object_.lock();
    if (!object) return;
    renderer = std::make_unique<ImageRenderer>();
    renderer->setLayersToPreview(meshThumbnailLayers(*object, kind));
    renderer->startPreview(this);
}

void MeshObjectThumbnailer::generateAllThumbnails() {
    generateThumbnail(MeshThumbnailKind::TopDown);
    generateThumbnail(MeshThumbnailKind::Isometric);
}

void MeshObjectThumbnailer::imageRendererDidCompleteImage(ImageRenderer& imageRenderer, const Bitmap& image) {
    const MeshThumbnailKind kind =
        &imageRenderer == topDownRenderer_.get() ? MeshThumbnailKind::TopDown : MeshThumbnailKind::Isometric;
    std::shared_ptr<MeshObject> object = object_.lock();
    if (object) {
        auto thumbnail = std::make_shared<const Bitmap>(image);
        if (kind == MeshThumbnailKind::TopDown) {
            object->setTopDownThumbnail(std::move(thumbnail));
        } else {
            object->setIsometricThumbnail(std::move(thumbnail));
        }
    }
    // The render's image has been copied: the renderer can go.
    rendererFor(kind).reset();
    if (object) {
        NotificationCenter::defaultCenter().post(kind == MeshThumbnailKind::TopDown
                                                     ? kGenerateTopDownThumbnailDidFinishNotification
                                                     : kGenerateIsometricThumbnailDidFinishNotification,
                                                 object.get());
    }
}

void MeshObjectThumbnailer::imageRendererDidFail(ImageRenderer& imageRenderer, const std::string& message) {
    const bool topDown = &imageRenderer == topDownRenderer_.get();
    std::fprintf(stderr, "korvane: the %s thumbnail was not rendered: %s\n",
                 topDown ? "top-down" : "isometric", message.c_str());
    rendererFor(topDown ? MeshThumbnailKind::TopDown : MeshThumbnailKind::Isometric).reset();
}

}  // namespace korvane
