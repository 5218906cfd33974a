#pragma once

#include <memory>
#include <vector>

#include "app/editor/BaseEditLayerViewController.h"
#include "foundation/NotificationCenter.h"

namespace korvane {

class BoundControls;
class ExpandableRenderPreviewView;
class SkyLayer;

// The editor of the sky: the sky model's coefficients, whether the sky lights the scene, the night
// sky, and a live preview of the edited sky over a small landscape with the sun placed high to the
// side. Main thread.
class EditSkyLayerViewController final : public BaseEditLayerViewController {
    Q_OBJECT
public:
    EditSkyLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document, QWidget* parent = nullptr);

    ExpandableRenderPreviewView* previewView() const { return previewView_; }
    BoundControls* controls() const { return controls_; }

    // The layers the preview shows, in order: the edited sky, a camera looking over the landscape,
    // a terrain, its materials, and a lighting layer with its sun at (0.45, 0.35).
    std::vector<std::shared_ptr<BaseSceneLayer>> layersToPreview() const;
    // Hands the preview its layers again; it renders after its short delay.
    void valueChanged();

    void viewControllerWillHide() override;

private:
    SkyLayer& skyLayer() const;

    BoundControls* controls_;
    ExpandableRenderPreviewView* previewView_;
    NotificationObservation sceneDidChange_;
};

}  // namespace korvane
