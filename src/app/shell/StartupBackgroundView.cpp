#include "app/shell/StartupBackgroundView.h"

#include <QLinearGradient>
#include <QPainter>
#include <cmath>

namespace korvane {

namespace {
// Each picture holds for this long, the last part of it dissolving into the next.
constexpr double kSecondsPerImage = 9.0;
constexpr double kDissolveSeconds = 2.5;
// A calm frame rate: the motion is a few pixels a second.
constexpr int kFrameIntervalMs = 40;
// How much larger than the view a picture is drawn, so that it has room to drift.
constexpr double kOverscan = 1.12;
}  // namespace

StartupBackgroundView::StartupBackgroundView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_.setInterval(kFrameIntervalMs);
    connect(&timer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

void StartupBackgroundView::setImages(QList<QImage> images) {
    images_ = std::move(images);
    update();
}

void StartupBackgroundView::startAnimation() {
    if (timer_.isActive() || images_.size() < 1) return;
    clock_.start();
    timer_.start();
}

void StartupBackgroundView::stopAnimation() {
    if (!timer_.isActive()) return;
    elapsedBeforeStop_ += clock_.elapsed();
    timer_.stop();
}

void StartupBackgroundView::drawDrifting(QPainter& painter, int index, double phase, double opacity) {
    const QImage& image = images_[index % images_.size()];
    if (image.isNull()) return;
    const QSizeF view = size();
    const double scale = std::max(view.width() / image.width(), view.height() / image.height()) * kOverscan;
    const QSizeF drawn(image.width() * scale, image.height() * scale);
    const QPointF slack(drawn.width() - view.width(), drawn.height() - view.height());
    // Alternate pictures drift in opposite directions, easing in and out.
    const double eased = 0.5 - 0.5 * std::cos(phase * M_PI);
    const double along = (index % 2 == 0) ? eased : 1.0 - eased;
    const QPointF origin(-slack.x() * along, -slack.y() * (0.3 + 0.4 * along));
    painter.setOpacity(opacity);
    painter.drawImage(QRectF(origin, drawn), image);
    painter.setOpacity(1.0);
}

void StartupBackgroundView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.fillRect(rect(), QColor(24, 30, 38));
    if (!images_.isEmpty()) {
        const double seconds = (elapsedBeforeStop_ + (clock_.isValid() && timer_.isActive() ? clock_.elapsed() : 0)) / 1000.0;
        const int index = static_cast<int>(seconds / kSecondsPerImage);
        const double within = std::fmod(seconds, kSecondsPerImage);
        const double phase = (within + kDissolveSeconds) / (kSecondsPerImage + kDissolveSeconds);
        drawDrifting(painter, index, phase, 1.0);
        const double dissolveStart = kSecondsPerImage - kDissolveSeconds;
        if (within > dissolveStart && images_.size() > 1) {
            const double t = (within - dissolveStart) / kDissolveSeconds;
            drawDrifting(painter, index + 1, t * kDissolveSeconds / (kSecondsPerImage + kDissolveSeconds), t);
        }
    }
    // A dark veil on the left keeps the controls readable over any picture.
    QLinearGradient veil(0, 0, width(), 0);
    veil.setColorAt(0.0, QColor(12, 16, 22, 225));
    veil.setColorAt(0.45, QColor(12, 16, 22, 170));
    veil.setColorAt(1.0, QColor(12, 16, 22, 20));
    painter.fillRect(rect(), veil);
}

}  // namespace korvane
