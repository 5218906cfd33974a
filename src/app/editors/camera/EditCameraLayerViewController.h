#pragma once

#include <string>
#include <vector>

#include "app/editor/BaseSplittedEditLayerViewController.h"
#include "foundation/NotificationCenter.h"

class QComboBox;
class QLabel;
class QSlider;

namespace korvane {

class CameraLayer;
class EditCameraLayerSceneView;

// The camera editor: the map on which the eye and the target are dragged, and an inspector with
// the camera type and the sliders of that type ("Camera Height", "Target Height", and "Field of
// View", "View Angle" or "Scale"). The sliders write the camera at once; their value labels show
// the camera's values as the user reads them. Main thread.
class EditCameraLayerViewController final : public BaseSplittedEditLayerViewController {
    Q_OBJECT
public:
    // The inspector's sliders, in the order they are laid out.
    enum class Control { CameraHeight, TargetHeight, FieldOfView, ViewAngle, Scale };

    EditCameraLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document,
                                  QWidget* parent = nullptr);

    EditCameraLayerSceneView* sceneView() const { return sceneView_; }
    QComboBox* typePopUp() const { return typePopUp_; }
    QSlider* slider(Control control) const;
    // The text beside a slider ("1.5m", "68°", "5x").
    QLabel* valueLabel(Control control) const;
    // The controls a camera type shows; an unknown type shows the two heights.
    static std::vector<Control> controlsForCameraType(const std::string& type);

    // Sets the camera type chosen in the menu and lays the inspector out for it.
    void chooseCameraType(int index);

private:
    struct ControlRow {
        Control control;
        QWidget* row = nullptr;
        QSlider* slider = nullptr;
        QLabel* value = nullptr;
    };

    CameraLayer& cameraLayer() const;
    QWidget* buildInspector();
    // Shows the rows of the camera's type and hides the others.
    void layOutControlsForType();
    // Puts the camera's values into the pop-up, the sliders and their labels without writing back.
    void refreshControls();
    void sliderMoved(Control control);

    EditCameraLayerSceneView* sceneView_;
    QComboBox* typePopUp_ = nullptr;
    std::vector<ControlRow> rows_;
    NotificationObservation sceneDidChange_;
};

}  // namespace korvane
