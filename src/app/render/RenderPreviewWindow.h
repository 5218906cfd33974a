#pragma once

#include <QWidget>

namespace korvane {

class ExpandableRenderPreviewView;
class RenderPreviewView;

// The floating "Live Preview" panel opened from an ExpandableRenderPreviewView: a larger preview
// of what the host shows, rendered after changes have rested for a second, at the full render's
// aspect ratio. Closing it tells the host, which drops it. Main thread.
class RenderPreviewWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kInitialWidth = 320;
    static constexpr int kInitialHeight = 240;
    static constexpr int kMaximumWidth = 480;
    static constexpr int kMaximumHeight = 320;
    static constexpr double kStartDelay = 1.0;

    // host is not owned; the panel is its child and goes with it.
    explicit RenderPreviewWindow(ExpandableRenderPreviewView* host);
    ~RenderPreviewWindow() override;

    ExpandableRenderPreviewView* hostRenderPreviewView() const { return host_; }
    RenderPreviewView* renderPreviewView() const { return renderPreviewView_; }
    // The host is going away: closing no longer reports to it.
    void detachFromHost() { host_ = nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ExpandableRenderPreviewView* host_;
    RenderPreviewView* renderPreviewView_ = nullptr;
};

}  // namespace korvane
