#pragma once

#include <QPointer>

#include "app/render/RenderPreviewView.h"

class QPropertyAnimation;
class QToolButton;

namespace korvane {

class RenderPreviewWindow;

// A preview view that offers, while the mouse is over it, a "+" button opening a larger floating
// "Live Preview" panel of the same layers or scene. What the view is given to preview is passed on
// to the panel while it is open. Dropping the view closes its panel. Main thread.
class ExpandableRenderPreviewView : public RenderPreviewView {
    Q_OBJECT
public:
    explicit ExpandableRenderPreviewView(QWidget* parent = nullptr);
    ~ExpandableRenderPreviewView() override;

    // Stores (restarting the preview as the base view does) and passes the value on to the panel.
    void setLayersToPreview(std::vector<std::shared_ptr<BaseSceneLayer>> layers) override;
    void setSceneToPreview(std::shared_ptr<Scene> scene) override;

    // Opens the panel (made once while it stays open) and brings it to the front.
    void openPreviewWindow();
    // The open panel, or null.
    RenderPreviewWindow* attachedPreviewWindow() const;
    // The "+" button, present only while the mouse is over the view (or fading out).
    QToolButton* expandButton() const { return expandButton_; }

    // Called by the panel when it closes: the view tells its observers and drops the panel.
    void previewWindowWillClose();

signals:
    void willOpenPreviewWindow();
    void willClosePreviewWindow();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showExpandButton();
    void fadeOutExpandButton();
    void removeExpandButton();
    void placeExpandButton();

    QToolButton* expandButton_ = nullptr;
    QPointer<QPropertyAnimation> fade_;
    QPointer<RenderPreviewWindow> attachedPreviewWindow_;
};

}  // namespace korvane
