#include "app/render/RenderImageView.h"

#include <cmath>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "app/render/RenderImages.h"
#include "foundation/GeometryUtilities.h"
#include "renderer/RendererImage.h"

namespace korvane {

namespace {

constexpr int kRedisplayIntervalMs = 1000;
constexpr int kSideInset = 16;
constexpr int kTopInset = 16;
constexpr int kBottomInset = 48;
constexpr int kFrameWidth = 5;
constexpr int kTopShadowHeight = 8;
constexpr QPoint kFrameShadowOffset{3, 3};
constexpr int kFrameShadowBlur = 10;

// A soft drop shadow: rounded rectangles of falling opacity around `rect`.
void drawSoftShadow(QPainter& painter, const QRect& rect, int blur, int maximumAlpha) {
    painter.save();
    painter.setPen(Qt::NoPen);
    for (int step = blur; step > 0; --step) {
        const int alpha = maximumAlpha * (blur - step + 1) / (blur * blur / 2 + blur);
        painter.setBrush(QColor(0, 0, 0, alpha));
        painter.drawRoundedRect(QRectF(rect).adjusted(-step / 2.0, -step / 2.0, step / 2.0, step / 2.0),
                                step / 2.0, step / 2.0);
    }
    painter.restore();
}

}  // namespace

RenderImageView::RenderImageView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(2 * kSideInset + 32, kTopInset + kBottomInset + 32);
    redisplayTimer_.setSingleShot(true);
    redisplayTimer_.setInterval(kRedisplayIntervalMs);
    // The renderer's image is only reachable inside its callback, so a due redisplay takes the next
    // image that arrives; the completion always draws the final one.
    connect(&redisplayTimer_, &QTimer::timeout, this, [this] { redisplayDue_ = true; });
}

void RenderImageView::setBackgroundPattern(const QPixmap& pattern) {
    backgroundPattern_ = pattern;
    update();
}

void RenderImageView::setRendererImage(const RendererImage& image) {
    if (!lastUpdate_.isValid() || redisplayDue_) {
        redisplayDue_ = false;
        lastUpdate_.start();
        show(qImageFromRenderBitmap(image.imageCopy()));
        return;
    }
    if (!redisplayTimer_.isActive()) {
        const qint64 remaining = kRedisplayIntervalMs - lastUpdate_.elapsed();
        if (remaining <= 0) {
            lastUpdate_.start();
            show(qImageFromRenderBitmap(image.imageCopy()));
        } else {
            redisplayTimer_.start(int(remaining));
        }
    }
}

void RenderImageView::setCompleteRendererImage(std::shared_ptr<RendererImage> image) {
    completeImage_ = std::move(image);
    redisplayTimer_.stop();
    redisplayDue_ = false;
    redisplayImage();
}

void RenderImageView::clearImage() {
    completeImage_.reset();
    redisplayTimer_.stop();
    redisplayDue_ = false;
    lastUpdate_.invalidate();
    show(QImage());
}

void RenderImageView::redisplayImage() {
    if (!completeImage_) return;
    lastUpdate_.start();
    show(qImageFromRenderBitmap(completeImage_->modifiedImage()));
    repaint();
}

void RenderImageView::show(const QImage& image) {
    shownImage_ = image;
    update();
}

QRect RenderImageView::imageRect() const {
    if (shownImage_.isNull()) return {};
    const Rect bounds{{double(kSideInset), double(kTopInset)},
                      {double(width() - 2 * kSideInset), double(height() - kTopInset - kBottomInset)}};
    const Rect fitted = GeometryUtilities::fittedRectInBounds(
        bounds, {double(shownImage_.width()), double(shownImage_.height())});
    return QRect(int(std::floor(fitted.origin.x)), int(std::floor(fitted.origin.y)),
                 int(std::floor(fitted.size.width)), int(std::floor(fitted.size.height)));
}

void RenderImageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient background(0, height(), 0, 0);
    background.setColorAt(0, QColor::fromRgbF(0.4f, 0.4f, 0.4f));
    background.setColorAt(1, QColor::fromRgbF(0.2f, 0.2f, 0.2f));
    painter.fillRect(rect(), background);
    if (!backgroundPattern_.isNull()) painter.drawTiledPixmap(rect(), backgroundPattern_);

    QLinearGradient topShadow(0, 0, 0, kTopShadowHeight);
    topShadow.setColorAt(0, QColor(0, 0, 0, 128));
    topShadow.setColorAt(1, QColor(0, 0, 0, 0));
    painter.fillRect(QRect(0, 0, width(), kTopShadowHeight), topShadow);

    const QRect target = imageRect();
    if (target.isEmpty()) return;
    const QRect frame = target.adjusted(-kFrameWidth, -kFrameWidth, kFrameWidth, kFrameWidth);
    drawSoftShadow(painter, frame.translated(kFrameShadowOffset), kFrameShadowBlur, 160);
    painter.fillRect(frame, Qt::white);
    // Drawn over the frame's white, so transparent pixels appear white.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, shownImage_);
}

}  // namespace korvane
