// Before any Qt header: the ray tracer's headers use the word emit, which Qt defines as a macro.
#include "renderer/YafarayRenderer.h"

#include "app/render/RenderPreviewView.h"

#include <algorithm>
#include <cmath>

#include <QLinearGradient>
#include <QPainter>
#include <QResizeEvent>

#include "app/render/RenderImages.h"
#include "foundation/GeometryUtilities.h"
#include "renderer/PreviewScene.h"
#include "renderer/RendererImage.h"
#include "scene/Scene.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/lighting/LightingLayer.h"
#include "scene/layers/sky/SkyLayer.h"

namespace korvane {

namespace {

constexpr int kSpinnerSide = 32;
constexpr int kSpinnerStepMs = 80;
constexpr int kSpinnerSpokes = 12;
constexpr int kRedrawDelayMs = 200;
constexpr int kFramePadding = 4;
// The preview quality: coarse geometry, few samples, shallow rays.
constexpr int kPreviewDetailsMode = 1;
constexpr int kPreviewPathSamples = 12;
constexpr int kPreviewPathBounces = 2;
constexpr int kPreviewRayDepth = 8;
// The sky of a layer preview: a soft sun, so small swatches are not dominated by its glare.
constexpr float kPreviewCircumsolar = 1.0f;
constexpr const char* kFullRenderSettingsKey = "fullRenderSettings";
constexpr const char* kAntiAliasingSamplesKey = "preview_antiAliasingSamples";
constexpr const char* kAntiAliasingPassesKey = "preview_antiAliasingPasses";
// The full render size when none is stored (the render settings' own default).
constexpr Size kDefaultFullRenderSize{320, 240};

// The turning spokes shown while a preview waits for its first pixels.
class SpinningProgressIndicator final : public QWidget {
public:
    explicit SpinningProgressIndicator(QWidget* parent) : QWidget(parent) {
        setFixedSize(kSpinnerSide, kSpinnerSide);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        timer_.setInterval(kSpinnerStepMs);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            step_ = (step_ + 1) % kSpinnerSpokes;
            update();
        });
        hide();
    }
    void setSpinning(bool spinning) {
        if (spinning) {
            timer_.start();
            show();
            raise();
        } else {
            timer_.stop();
            hide();
        }
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(width() / 2.0, height() / 2.0);
        for (int spoke = 0; spoke < kSpinnerSpokes; ++spoke) {
            const int age = (step_ - spoke + kSpinnerSpokes) % kSpinnerSpokes;
            QPen pen(QColor(40, 40, 40, 255 - age * 200 / kSpinnerSpokes), 2.5, Qt::SolidLine, Qt::RoundCap);
            painter.setPen(pen);
            painter.save();
            painter.rotate(spoke * 360.0 / kSpinnerSpokes);
            painter.drawLine(QPointF(0, -kSpinnerSide * 0.22), QPointF(0, -kSpinnerSide * 0.42));
            painter.restore();
        }
    }

private:
    QTimer timer_;
    int step_ = 0;
};

QRectF toQRectF(const Rect& rect) { return {rect.origin.x, rect.origin.y, rect.size.width, rect.size.height}; }

}  // namespace

RenderPreviewView::RenderPreviewView(QWidget* parent) : QWidget(parent) {
    spinningProgressIndicator_ = new SpinningProgressIndicator(this);
    delayedStartTimer_.setSingleShot(true);
    connect(&delayedStartTimer_, &QTimer::timeout, this, &RenderPreviewView::startRendering);
    redrawTimer_.setSingleShot(true);
    redrawTimer_.setInterval(kRedrawDelayMs);
    connect(&redrawTimer_, &QTimer::timeout, this, [this] { update(); });
}

RenderPreviewView::~RenderPreviewView() { dropRenderer(); }

void RenderPreviewView::setLayersToPreview(std::vector<std::shared_ptr<BaseSceneLayer>> layers) {
    layersToPreview_ = std::move(layers);
    if (!layersToPreview_.empty()) startPreview();
}

void RenderPreviewView::setSceneToPreview(std::shared_ptr<Scene> scene) {
    sceneToPreview_ = std::move(scene);
    if (sceneToPreview_) startPreview();
}

void RenderPreviewView::setStartDelay(double seconds) { startDelay_ = std::max(0.0, seconds); }

void RenderPreviewView::setBorderSize(int points) {
    borderSize_ = points;
    update();
}

void RenderPreviewView::setDrawGrayBackground(bool draw) {
    drawGrayBackground_ = draw;
    update();
}

void RenderPreviewView::setSizeMode(int mode) { sizeMode_ = mode; }

bool RenderPreviewView::isProgressIndicatorVisible() const { return !spinningProgressIndicator_->isHidden(); }

void RenderPreviewView::setSpinning(bool spinning) {
    static_cast<SpinningProgressIndicator*>(spinningProgressIndicator_)->setSpinning(spinning);
}

void RenderPreviewView::dropRenderer() {
    if (!renderer_) return;
    renderer_->abort();
    renderer_.reset();
}

void RenderPreviewView::startPreview() {
    delayedStartTimer_.stop();
    dropRenderer();
    if (!currentImage_.empty()) {
        currentImage_ = Bitmap();
        update();
    }
    needsRender_ = true;
    failureMessage_.clear();
    setSpinning(true);
    // Restarting the countdown on every change lets a burst of edits render once.
    delayedStartTimer_.start(int(std::lround(startDelay_ * 1000)));
}

void RenderPreviewView::abortRendering() {
    delayedStartTimer_.stop();
    dropRenderer();
}

void RenderPreviewView::abortRenderingAndHideProgressIndicator() {
    abortRendering();
    setSpinning(false);
}

void RenderPreviewView::forceRedraw() {
    redrawTimer_.stop();
    repaint();
}

QSize RenderPreviewView::previewOutputSize() const {
    const Size area{double(width() - 2 * borderSize_), double(height() - 2 * borderSize_)};
    if (area.width < 1 || area.height < 1) return {0, 0};
    switch (sizeMode_) {
        case 0:
            return {int(area.width), int(area.height)};
        case 1: {
            const DefaultsDictionary full = UserDefaults::standard().dictionaryForKey(kFullRenderSettingsKey);
            auto side = [&full](const char* key) {
                auto found = full.find(key);
                return found == full.end() ? 0.0 : double(found->second.toInteger());
            };
            Size fullSize{side("rendererOutputSizeWidth"), side("rendererOutputSizeHeight")};
            if (fullSize.width < 1 || fullSize.height < 1) fullSize = kDefaultFullRenderSize;
            const Size scaled = GeometryUtilities::proportionallyScaleSize(fullSize, area);
            // Rounded, not truncated: the single-precision aspect leaves 47.99… for 48 pixels.
            return {int(std::lround(scaled.width)), int(std::lround(scaled.height))};
        }
        default:
            return {0, 0};
    }
}

std::shared_ptr<const Scene> RenderPreviewView::sceneForRender() const {
    if (layersToPreview_.empty()) return sceneToPreview_;
    std::shared_ptr<Scene> scene = makePreviewScene(layersToPreview_);
    // Layers shown on their own still need a camera to look through, light and a sky.
    if (scene->layersOfClass<CameraLayer>().empty()) scene->addLayer(std::make_shared<CameraLayer>(scene.get()));
    if (scene->layersOfClass<LightingLayer>().empty())
        scene->addLayer(std::make_shared<LightingLayer>(scene.get()));
    if (scene->layersOfClass<SkyLayer>().empty()) {
        auto sky = std::make_shared<SkyLayer>(scene.get());
        sky->setCircumsolarIntensity(kPreviewCircumsolar);
        sky->setCircumsolarWidth(kPreviewCircumsolar);
        scene->addLayer(std::move(sky));
    }
    return scene;
}

void RenderPreviewView::startRendering() {
    delayedStartTimer_.stop();
    std::shared_ptr<const Scene> scene = sceneForRender();
    const QSize size = previewOutputSize();
    // Nothing to show, or no room to show it (too small a view, or an unknown size mode).
    if (!scene || size.isEmpty()) {
        needsRender_ = false;
        setSpinning(false);
        return;
    }
    auto renderer = YafarayRenderer::create();
    renderer->setOutputSize({double(size.width()), double(size.height())});
    renderer->setRendererType(rendererType_);
    renderer->setDetailsMode(kPreviewDetailsMode);
    renderer->setPathSamples(kPreviewPathSamples);
    renderer->setPathBounces(kPreviewPathBounces);
    renderer->setLightSamples(lightSamples_);
    // Until the preferences have registered their defaults, a missing value means one.
    UserDefaults& defaults = UserDefaults::standard();
    renderer->setAaSamples(int(std::max<int64_t>(1, defaults.integerForKey(kAntiAliasingSamplesKey))));
    renderer->setAaPasses(int(std::max<int64_t>(1, defaults.integerForKey(kAntiAliasingPassesKey))));
    renderer->setVolumeAccuracy(volumeAccuracy_);
    renderer->setRayDepth(kPreviewRayDepth);
    renderer->setUseBackgroundAsLightSource(useBackgroundAsLightSource_);
    renderer_ = renderer;
    Q_EMIT previewRenderStarted();
    renderer->renderScene(scene, this);
}

void RenderPreviewView::rendererDidStart(BaseRenderer&) {
    if (!currentImage_.empty()) {
        currentImage_ = Bitmap();
        update();
    }
}

void RenderPreviewView::storeImage(const RendererImage& image) {
    currentImage_ = image.imageCopy();
    lastKnownImageSize_ = QSize(currentImage_.width(), currentImage_.height());
    if (!redrawTimer_.isActive()) redrawTimer_.start();
}

void RenderPreviewView::rendererDidUpdateImage(BaseRenderer&, RendererImage& image) {
    const bool first = currentImage_.empty();
    storeImage(image);
    if (first) forceRedraw();
}

void RenderPreviewView::rendererDidUpdateProgress(BaseRenderer&, float progress, const std::string&) {
    if (progress > 0) setSpinning(false);
}

void RenderPreviewView::rendererDidComplete(BaseRenderer&, RendererImage& image) {
    storeImage(image);
    forceRedraw();
    setSpinning(false);
    renderer_.reset();
    needsRender_ = false;
    Q_EMIT previewImageCompleted();
}

void RenderPreviewView::rendererDidFail(BaseRenderer&, const std::string& message) {
    setSpinning(false);
    renderer_.reset();
    needsRender_ = false;
    failureMessage_ = QString::fromStdString(message);
    setToolTip(failureMessage_);
    Q_EMIT previewRenderFailed(failureMessage_);
}

void RenderPreviewView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    spinningProgressIndicator_->move((width() - kSpinnerSide) / 2, (height() - kSpinnerSide) / 2);
    if (event->size() == lastKnownBoundsSize_) return;
    lastKnownBoundsSize_ = event->size();
    lastKnownImageSize_ = QSize(0, 0);
    if (!layersToPreview_.empty() || sceneToPreview_) {
        if (isVisible()) {
            startPreview();
        } else {
            // A hidden view renders once it is shown.
            abortRendering();
            needsRender_ = true;
        }
    }
}

void RenderPreviewView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (needsRender_ && !renderer_ && !delayedStartTimer_.isActive()) startPreview();
}

void RenderPreviewView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (drawGrayBackground_) {
        QLinearGradient background(0, height(), 0, 0);
        background.setColorAt(0, QColor::fromRgbF(0.5f, 0.5f, 0.5f));
        background.setColorAt(1, QColor::fromRgbF(0.75f, 0.75f, 0.75f));
        painter.fillRect(rect(), background);
        painter.setPen(QColor(64, 64, 64));
        painter.drawLine(0, 0, width(), 0);
    }
    if (lastKnownImageSize_.width() <= 0) return;
    const Rect bounds{{0, 0}, {double(width()), double(height())}};
    const Rect imageRect = GeometryUtilities::fittedRectInBounds(
        bounds, {double(lastKnownImageSize_.width()), double(lastKnownImageSize_.height())});
    const Rect frame = GeometryUtilities::roundRect(
        {{imageRect.origin.x - kFramePadding, imageRect.origin.y - kFramePadding},
         {imageRect.size.width + 2 * kFramePadding, imageRect.size.height + 2 * kFramePadding}});
    const QRectF frameRect = toQRectF(frame);
    // The frame's shadow: black at half opacity, offset down and right, softened over 3 points.
    painter.setPen(Qt::NoPen);
    for (int spread = 3; spread >= 1; --spread) {
        painter.setBrush(QColor(0, 0, 0, 128 / (spread + 1)));
        painter.drawRect(frameRect.translated(2, 2).adjusted(-spread / 2.0, -spread / 2.0, spread / 2.0, spread / 2.0));
    }
    painter.fillRect(frameRect, Qt::white);
    if (currentImage_.empty()) return;
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.drawImage(toQRectF(GeometryUtilities::roundRect(imageRect)), qImageFromRenderBitmap(currentImage_));
}

}  // namespace korvane
