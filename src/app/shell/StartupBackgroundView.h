#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QTimer>
#include <QWidget>

namespace korvane {

// The start-up window's background: the sample scenes' previews, each drifting slowly across the
// window and dissolving into the next one. Animates only while shown. Main thread.
class StartupBackgroundView : public QWidget {
    Q_OBJECT
public:
    explicit StartupBackgroundView(QWidget* parent = nullptr);
    void setImages(QList<QImage> images);
    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Draws image i scaled to cover the view, moved along its drift by phase 0…1.
    void drawDrifting(QPainter& painter, int index, double phase, double opacity);

    QList<QImage> images_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 elapsedBeforeStop_ = 0;
};

}  // namespace korvane
