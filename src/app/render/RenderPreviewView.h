#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QSize>
#include <QTimer>
#include <QWidget>

#include "foundation/Bitmap.h"
#include "scene/BaseRenderer.h"

namespace korvane {

class BaseSceneLayer;
class Scene;
class YafarayRenderer;

// A small live preview of a few layers (rendered from copies, in a scene of their own completed
// with a camera, light and sky where they have none) or of a whole scene. Every change of what it
// shows, and every change of its size, restarts the preview after startDelay seconds, so a burst of
// edits renders once. A spinner turns until the first pixels arrive. Main thread.
class RenderPreviewView : public QWidget, public RendererDelegate {
    Q_OBJECT
public:
    explicit RenderPreviewView(QWidget* parent = nullptr);
    ~RenderPreviewView() override;

    // Layers to preview; copied for each render. A non-empty list restarts the preview; an empty
    // one only stores.
    const std::vector<std::shared_ptr<BaseSceneLayer>>& layersToPreview() const { return layersToPreview_; }
    virtual void setLayersToPreview(std::vector<std::shared_ptr<BaseSceneLayer>> layers);
    // The scene to preview while there are no layers. A scene restarts the preview; null only stores.
    // The renderer snapshots the scene, so it may change as soon as the render has started.
    const std::shared_ptr<Scene>& sceneToPreview() const { return sceneToPreview_; }
    virtual void setSceneToPreview(std::shared_ptr<Scene> scene);

    // Drops the image and the render in progress and starts a new render after startDelay.
    void startPreview();
    // Cancels a pending start and aborts the render in progress (the spinner keeps turning). A
    // preview stopped before its image was complete starts again when the view is shown again.
    void abortRendering();
    // The same, and the spinner stops.
    void abortRenderingAndHideProgressIndicator();
    // Redraws now, cancelling a pending throttled redraw.
    void forceRedraw();

    // The unprocessed image of the current preview render (empty before its first pixels).
    const Bitmap& currentImage() const { return currentImage_; }
    bool isRendering() const { return renderer_ != nullptr; }
    bool isStartPending() const { return delayedStartTimer_.isActive(); }
    bool isProgressIndicatorVisible() const;
    // The reason the last render failed (empty when it did not).
    const QString& failureMessage() const { return failureMessage_; }

    // The size the next render is made at, from sizeMode, the view's size and borderSize.
    QSize previewOutputSize() const;
    QSize lastKnownImageSize() const { return lastKnownImageSize_; }

    // Seconds between a change and the start of its render (0.1 by default).
    double startDelay() const { return startDelay_; }
    void setStartDelay(double seconds);
    // Margin around the rendered area, in points (8 by default).
    int borderSize() const { return borderSize_; }
    void setBorderSize(int points);
    // A light grey gradient behind the image (off by default).
    bool drawGrayBackground() const { return drawGrayBackground_; }
    void setDrawGrayBackground(bool draw);
    // 0: render at the view's size less the borders; 1: at the full render's aspect ratio fitted
    // into that area; any other value renders nothing.
    int sizeMode() const { return sizeMode_; }
    void setSizeMode(int mode);
    // Passed to the renderer: 0 direct lighting, 1 path tracing.
    int rendererType() const { return rendererType_; }
    void setRendererType(int type) { rendererType_ = type; }
    bool useBackgroundAsLightSource() const { return useBackgroundAsLightSource_; }
    void setUseBackgroundAsLightSource(bool use) { useBackgroundAsLightSource_ = use; }
    int lightSamples() const { return lightSamples_; }
    void setLightSamples(int samples) { lightSamples_ = samples; }
    float volumeAccuracy() const { return volumeAccuracy_; }
    void setVolumeAccuracy(float accuracy) { volumeAccuracy_ = accuracy; }

signals:
    // A preview render was handed to the renderer (after the delay).
    void previewRenderStarted();
    // The preview render completed; currentImage() holds its image.
    void previewImageCompleted();
    // The preview could not be rendered; the message says why.
    void previewRenderFailed(const QString& message);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // RendererDelegate
    void rendererDidStart(BaseRenderer& renderer) override;
    void rendererDidUpdateImage(BaseRenderer& renderer, RendererImage& image) override;
    void rendererDidUpdateProgress(BaseRenderer& renderer, float progress, const std::string& message) override;
    void rendererDidComplete(BaseRenderer& renderer, RendererImage& image) override;
    void rendererDidFail(BaseRenderer& renderer, const std::string& message) override;

    // The delayed start: builds the scene and hands it to a new renderer.
    void startRendering();
    std::shared_ptr<const Scene> sceneForRender() const;
    void dropRenderer();
    void storeImage(const RendererImage& image);
    void setSpinning(bool spinning);

    std::vector<std::shared_ptr<BaseSceneLayer>> layersToPreview_;
    std::shared_ptr<Scene> sceneToPreview_;
    Bitmap currentImage_;
    QWidget* spinningProgressIndicator_ = nullptr;
    std::shared_ptr<YafarayRenderer> renderer_;
    QTimer delayedStartTimer_;
    QTimer redrawTimer_;
    double startDelay_ = 0.1;
    bool drawGrayBackground_ = false;
    int borderSize_ = 8;
    int sizeMode_ = 0;
    QSize lastKnownBoundsSize_{0, 0};
    QSize lastKnownImageSize_{0, 0};
    int rendererType_ = 0;
    bool useBackgroundAsLightSource_ = true;
    int lightSamples_ = 2;
    float volumeAccuracy_ = 0.1f;
    // A preview was asked for and has not completed (it restarts when the view is shown again).
    bool needsRender_ = false;
    QString failureMessage_;
};

}  // namespace korvane
