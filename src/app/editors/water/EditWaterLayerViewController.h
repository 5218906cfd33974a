#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/editor/BaseEditLayerViewController.h"
#include "foundation/NotificationCenter.h"

class QToolButton;

namespace korvane {

class BoundControls;
class ExpandableRenderPreviewView;
class WaterLayer;

// The editor of the water: its switch and level, the look of the water (absorption, waves, index of
// refraction, water and mirror colours), the presets menu that sets the whole look at once, and a
// live preview of the water over a small landscape. Main thread.
class EditWaterLayerViewController final : public BaseEditLayerViewController {
    Q_OBJECT
public:
    EditWaterLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document, QWidget* parent = nullptr);

    ExpandableRenderPreviewView* previewView() const { return previewView_; }
    BoundControls* controls() const { return controls_; }
    // The presets pop-up: "Assign Preset…" (no action), then one item per preset, its data the
    // preset's key.
    QToolButton* presetButton() const { return presetButton_; }

    // The layers the preview shows, in order: the edited water, a terrain and its materials.
    std::vector<std::shared_ptr<BaseSceneLayer>> layersToPreview() const;
    // Hands the preview its layers again; it renders after its short delay.
    void valueChanged();
    // Gives the water the look of the preset with that key (level and switch stay), then previews it.
    void applyPreset(const std::string& presetKey);

    void viewControllerWillHide() override;

private:
    WaterLayer& waterLayer() const;

    BoundControls* controls_;
    ExpandableRenderPreviewView* previewView_;
    QToolButton* presetButton_ = nullptr;
    NotificationObservation sceneDidChange_;
};

}  // namespace korvane
