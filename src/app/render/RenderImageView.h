#pragma once

#include <memory>

#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace korvane {

class RendererImage;

// Shows a render in the render views: the image being filled while the renderer works (redrawn at
// most once a second), then the finished, post-processed image, framed in white on a dark gradient.
// Main thread.
class RenderImageView : public QWidget {
    Q_OBJECT
public:
    explicit RenderImageView(QWidget* parent = nullptr);

    // A tiled pattern over the background gradient (none when null).
    void setBackgroundPattern(const QPixmap& pattern);

    // The image of a render in progress. The first image after clearImage() is drawn at once; later
    // ones at most once a second. `image` is only read during the call.
    void setRendererImage(const RendererImage& image);
    // The finished render (the view keeps it); drawn at once, post-processed if it has been.
    void setCompleteRendererImage(std::shared_ptr<RendererImage> image);
    const std::shared_ptr<RendererImage>& completeRendererImage() const { return completeImage_; }
    // Shows nothing, and lets the next image draw at once.
    void clearImage();
    // Draws the complete image now (after post-processing changed it).
    void redisplayImage();

    // Where the image is drawn: its size shrunk to fit the view inset by 16 at the sides and top
    // and 48 at the bottom (room for the progress area), centred, in whole points.
    QRect imageRect() const;
    // What the view shows (null when nothing).
    const QImage& shownImage() const { return shownImage_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void show(const QImage& image);

    QPixmap backgroundPattern_;
    std::shared_ptr<RendererImage> completeImage_;
    QImage shownImage_;
    QElapsedTimer lastUpdate_;  // invalid until the first image was drawn
    QTimer redisplayTimer_;
    bool redisplayDue_ = false;
};

}  // namespace korvane
