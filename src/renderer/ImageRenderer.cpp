#include "renderer/ImageRenderer.h"

#include "renderer/PreviewScene.h"
#include "renderer/RendererImage.h"
#include "renderer/YafarayRenderer.h"
#include "scene/Scene.h"

namespace korvane {

namespace {

// The fixed quality of every off-screen render: coarse geometry, few samples, shallow rays.
constexpr int kDetailsMode = 1;
constexpr int kPathSamples = 12;
constexpr int kPathBounces = 2;
constexpr int kAaSamples = 2;
constexpr int kAaPasses = 1;
constexpr float kVolumeAccuracy = 0.8f;
constexpr int kRayDepth = 8;

}  // namespace

ImageRenderer::ImageRenderer() = default;

ImageRenderer::~ImageRenderer() {
    abort();
}

void ImageRenderer::startPreview(ImageRendererDelegate* delegate) {
    abort();
    delegate_ = delegate;

    std::shared_ptr<Scene> scene = makePreviewScene(layersToPreview_);
    auto renderer = YafarayRenderer::create();
    renderer->setOutputSize(imageSize_);
    renderer->setDetailsMode(kDetailsMode);
    renderer->setPathSamples(kPathSamples);
    renderer->setPathBounces(kPathBounces);
    renderer->setAaSamples(kAaSamples);
    renderer->setAaPasses(kAaPasses);
    renderer->setVolumeAccuracy(kVolumeAccuracy);
    renderer->setRayDepth(kRayDepth);
    renderer->setUseBackgroundAsLightSource(false);
    renderer_ = renderer;
    // From here on the scene is held by the renderer only, for the duration of the render.
    renderer->renderScene(std::move(scene), this);
}

void ImageRenderer::abort() {
    if (!renderer_) return;
    renderer_->abort();
    renderer_.reset();
}

void ImageRenderer::rendererDidComplete(BaseRenderer& renderer, RendererImage& image) {
    // Only the current renderer still has this object as its delegate (abort clears it), but a
    // stale callback must never reach the new render's delegate.
    if (&renderer != renderer_.get() || !delegate_) return;
    // The delegate may drop this object: nothing of it is touched after the call.
    delegate_->imageRendererDidCompleteImage(*this, image.image());
}

void ImageRenderer::rendererDidFail(BaseRenderer& renderer, const std::string& message) {
    if (&renderer != renderer_.get() || !delegate_) return;
    delegate_->imageRendererDidFail(*this, message);
}

}  // namespace korvane
