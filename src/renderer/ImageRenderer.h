#pragma once

#include <memory>
#include <string>
#include <vector>

#include "foundation/Geometry.h"
#include "scene/BaseRenderer.h"

namespace korvane {

class BaseSceneLayer;
class Bitmap;
class ImageRenderer;
class YafarayRenderer;

// Receives the image of a finished off-screen render, on the main thread.
class ImageRendererDelegate {
public:
    virtual ~ImageRendererDelegate() = default;
    // Once per completed render: the rendered image (not post-processed). The image belongs to the
    // render; copy it to keep it. The delegate may start another render or drop the image renderer
    // from here.
    virtual void imageRendererDidCompleteImage(ImageRenderer& imageRenderer, const Bitmap& image) = 0;
    // Instead of the image, when the ray tracer could not render the layers (no camera among them,
    // a refused integrator); the message says why.
    virtual void imageRendererDidFail(ImageRenderer& imageRenderer, const std::string& message) {
        (void)imageRenderer, (void)message;
    }
};

// Renders a list of layers into a square image off-screen, at a fixed low quality that ignores the
// user's render settings, and hands the finished image to a delegate: the mesh objects' thumbnails
// are made this way. At most one render at a time; starting another aborts the running one, and so
// does dropping the image renderer. Main thread only.
class ImageRenderer final : private RendererDelegate {
public:
    ImageRenderer();  // imageSize 256 × 256
    ~ImageRenderer() override;
    ImageRenderer(const ImageRenderer&) = delete;
    ImageRenderer& operator=(const ImageRenderer&) = delete;

    Size imageSize() const { return imageSize_; }
    void setImageSize(Size size) { imageSize_ = size; }
    // Copied for every render, never changed.
    const std::vector<std::shared_ptr<BaseSceneLayer>>& layersToPreview() const { return layersToPreview_; }
    void setLayersToPreview(std::vector<std::shared_ptr<BaseSceneLayer>> layers) {
        layersToPreview_ = std::move(layers);
    }

    // Aborts a running render, then renders copies of layersToPreview in a scene of their own. The
    // delegate is not owned and must outlive the render or abort it.
    void startPreview(ImageRendererDelegate* delegate);
    // Aborts the running render, if any, and drops the renderer. Idle: nothing.
    void abort();

    ImageRendererDelegate* delegate() const { return delegate_; }
    // The renderer of the running render, or of the last completed one; null when idle after an
    // abort or before the first start.
    const std::shared_ptr<YafarayRenderer>& renderer() const { return renderer_; }

private:
    void rendererDidStart(BaseRenderer&) override {}
    void rendererDidUpdateImage(BaseRenderer&, RendererImage&) override {}
    void rendererDidUpdateProgress(BaseRenderer&, float, const std::string&) override {}
    void rendererDidComplete(BaseRenderer& renderer, RendererImage& image) override;
    void rendererDidFail(BaseRenderer& renderer, const std::string& message) override;

    Size imageSize_{256, 256};
    std::vector<std::shared_ptr<BaseSceneLayer>> layersToPreview_;
    ImageRendererDelegate* delegate_ = nullptr;
    std::shared_ptr<YafarayRenderer> renderer_;
};

}  // namespace korvane
