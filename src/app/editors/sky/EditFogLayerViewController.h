#pragma once

#include <memory>
#include <vector>

#include "app/editor/BaseEditLayerViewController.h"
#include "foundation/NotificationCenter.h"

namespace korvane {

class BoundControls;
class ExpandableRenderPreviewView;
class FogLayer;

// The editor of fog and haze: the ground fog's switch, density, height and scattering, the haze's
// switch, strength and distance, and a live preview of the fog over a small landscape. Main thread.
class EditFogLayerViewController final : public BaseEditLayerViewController {
    Q_OBJECT
public:
    EditFogLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document, QWidget* parent = nullptr);

    ExpandableRenderPreviewView* previewView() const { return previewView_; }
    BoundControls* controls() const { return controls_; }

    // The layers the preview shows, in order: the edited fog, a terrain and its materials.
    std::vector<std::shared_ptr<BaseSceneLayer>> layersToPreview() const;
    // Hands the preview its layers again; it renders after its short delay.
    void valueChanged();

    void viewControllerWillHide() override;

private:
    FogLayer& fogLayer() const;
    // The fog's and the haze's sliders are enabled only while their switch is on.
    void updateEnabledControls();

    BoundControls* controls_;
    ExpandableRenderPreviewView* previewView_;
    std::vector<QWidget*> fogControls_;
    std::vector<QWidget*> hazeControls_;
    NotificationObservation sceneDidChange_;
};

}  // namespace korvane
