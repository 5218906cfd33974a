#pragma once

#include "app/render/RenderViewController.h"

namespace korvane {

// The render view at preview quality: the settings under "previewRenderSettings", the renderer's
// preview detail level, and a "Full Render" toolbar item that switches to the full render view.
// Main thread.
class PreviewRenderViewController : public RenderViewController {
    Q_OBJECT
public:
    static constexpr const char* kStartRenderItem = "StartRender";

    explicit PreviewRenderViewController(MyDocument* document, QWidget* parent = nullptr);

    std::string preferenceKey() const override;
    int rendererDetailsMode() const override;

    // Closes the post-processing window and shows the full render view.
    void switchToRenderView();

protected:
    const char* backgroundPatternName() const override;
};

}  // namespace korvane
