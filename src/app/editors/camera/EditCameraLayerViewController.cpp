#include "app/editors/camera/EditCameraLayerViewController.h"

#include <algorithm>
#include <cmath>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "app/editors/camera/EditCameraLayerSceneView.h"
#include "scene/Scene.h"
#include "scene/SceneNotifications.h"
#include "scene/layers/camera/CameraLayer.h"

namespace korvane {

namespace {

using Control = EditCameraLayerViewController::Control;

// A slider of the inspector: the camera value it stands for, its range cut into even steps, and how
// the value is shown to the user.
struct ControlSpec {
    Control control;
    const char* title;
    const char* objectName;
    float minimum;
    float maximum;
    int steps;
    float (CameraLayer::*get)() const;
    void (CameraLayer::*set)(float);
    QString (*shown)(float);
};

// Heights are scene units, which the user reads as tens of metres.
QString shownHeight(float height) {
    return QString::asprintf("%.1fm", height * 10.0);
}
// The focal length read as the horizontal angle it roughly gives: 1.0 reads 68°.
QString shownFieldOfView(float focal) {
    return QString::asprintf("%.0f°", (2.5 - focal) * 45.0);
}
QString shownAngle(float degrees) {
    return QString::asprintf("%.0f°", degrees);
}
QString shownScale(float scale) {
    return QString::asprintf("%.0fx", scale);
}

const std::vector<ControlSpec>& controlSpecs() {
    static const std::vector<ControlSpec> specs = {
        {Control::CameraHeight, "Camera Height", "cameraHeight", 0.1f, 10.0f, 990,
         &CameraLayer::fromPointHeight, &CameraLayer::setFromPointHeight, shownHeight},
        {Control::TargetHeight, "Target Height", "targetHeight", 0.1f, 10.0f, 990,
         &CameraLayer::toPointHeight, &CameraLayer::setToPointHeight, shownHeight},
        {Control::FieldOfView, "Field of View", "fieldOfView", 0.5f, 2.0f, 150, &CameraLayer::focal,
         &CameraLayer::setFocal, shownFieldOfView},
        {Control::ViewAngle, "View Angle", "viewAngle", 45.0f, 145.0f, 100, &CameraLayer::angle,
         &CameraLayer::setAngle, shownAngle},
        {Control::Scale, "Scale", "scale", 1.0f, 10.0f, 90, &CameraLayer::scale, &CameraLayer::setScale,
         shownScale},
    };
    return specs;
}

const ControlSpec& specFor(Control control) {
    return *std::find_if(controlSpecs().begin(), controlSpecs().end(),
                         [control](const ControlSpec& spec) { return spec.control == control; });
}

float sliderValue(const ControlSpec& spec, int position) {
    return spec.minimum +
           (spec.maximum - spec.minimum) * static_cast<float>(position) / static_cast<float>(spec.steps);
}

int sliderPosition(const ControlSpec& spec, float value) {
    const long position = std::lround((value - spec.minimum) / (spec.maximum - spec.minimum) * spec.steps);
    return static_cast<int>(std::clamp(position, 0L, static_cast<long>(spec.steps)));
}

}  // namespace

std::vector<Control> EditCameraLayerViewController::controlsForCameraType(const std::string& type) {
    if (type == "topdown") return {Control::Scale};
    if (type == "perspective" || type == "architect") {
        return {Control::CameraHeight, Control::TargetHeight, Control::FieldOfView};
    }
    if (type == "angular") return {Control::CameraHeight, Control::TargetHeight, Control::ViewAngle};
    if (type == "orthographic") return {Control::CameraHeight, Control::TargetHeight, Control::Scale};
    return {Control::CameraHeight, Control::TargetHeight};
}

EditCameraLayerViewController::EditCameraLayerViewController(std::shared_ptr<BaseSceneLayer> layer,
                                                             MyDocument* document, QWidget* parent)
    : BaseSplittedEditLayerViewController(layer, document, parent),
      sceneView_(new EditCameraLayerSceneView(scene(), static_cast<CameraLayer&>(*layer))) {
    setPanes(sceneView_, buildInspector());
    refreshControls();
    // Type defaults move the heights, and the map changes the points: the inspector follows the camera.
    sceneDidChange_ =
        NotificationObservation(NotificationCenter::defaultCenter(), SceneDidChangeNotificationName, &scene(),
                                [this](const Notification&) { refreshControls(); });
}

CameraLayer& EditCameraLayerViewController::cameraLayer() const {
    return static_cast<CameraLayer&>(*layer());
}

QWidget* EditCameraLayerViewController::buildInspector() {
    auto* side = new QWidget;
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(8, 8, 8, 8);
    auto* typeTitle = new QLabel(QStringLiteral("Camera Type"));
    typeTitle->setStyleSheet(QStringLiteral("font-weight: 600;"));
    column->addWidget(typeTitle);
    typePopUp_ = new QComboBox;
    typePopUp_->setObjectName(QStringLiteral("cameraType"));
    for (const CameraTypeInfo& type : cameraTypes()) {
        typePopUp_->addItem(QString::fromUtf8(type.menuTitle), QString::fromUtf8(type.cameraType));
    }
    connect(typePopUp_, &QComboBox::activated, this, &EditCameraLayerViewController::chooseCameraType);
    column->addWidget(typePopUp_);
    column->addSpacing(8);

    for (const ControlSpec& spec : controlSpecs()) {
        ControlRow row{spec.control};
        row.row = new QWidget;
        auto* rowColumn = new QVBoxLayout(row.row);
        rowColumn->setContentsMargins(0, 4, 0, 4);
        rowColumn->addWidget(new QLabel(QString::fromUtf8(spec.title)));
        auto* line = new QHBoxLayout;
        row.slider = new QSlider(Qt::Horizontal);
        row.slider->setObjectName(QString::fromLatin1(spec.objectName));
        row.slider->setRange(0, spec.steps);
        row.slider->setPageStep(std::max(1, spec.steps / 10));
        row.value = new QLabel;
        row.value->setObjectName(QString::fromLatin1(spec.objectName) + QStringLiteral("Value"));
        row.value->setMinimumWidth(44);
        row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        line->addWidget(row.slider, 1);
        line->addWidget(row.value);
        rowColumn->addLayout(line);
        const Control control = spec.control;
        connect(row.slider, &QSlider::valueChanged, this, [this, control] { sliderMoved(control); });
        column->addWidget(row.row);
        rows_.push_back(row);
    }
    column->addStretch(1);
    return side;
}

QSlider* EditCameraLayerViewController::slider(Control control) const {
    for (const ControlRow& row : rows_) {
        if (row.control == control) return row.slider;
    }
    return nullptr;
}

QLabel* EditCameraLayerViewController::valueLabel(Control control) const {
    for (const ControlRow& row : rows_) {
        if (row.control == control) return row.value;
    }
    return nullptr;
}

void EditCameraLayerViewController::chooseCameraType(int index) {
    if (index < 0 || index >= typePopUp_->count()) return;
    cameraLayer().setCameraType(typePopUp_->itemData(index).toString().toStdString());
    // Also lays the controls out again (the camera may have no scene to announce the change).
    refreshControls();
}

void EditCameraLayerViewController::layOutControlsForType() {
    const std::vector<Control> shown = controlsForCameraType(cameraLayer().cameraType());
    for (const ControlRow& row : rows_) {
        row.row->setVisible(std::find(shown.begin(), shown.end(), row.control) != shown.end());
    }
}

void EditCameraLayerViewController::refreshControls() {
    const CameraLayer& camera = cameraLayer();
    layOutControlsForType();
    {
        const QSignalBlocker blocker(typePopUp_);
        typePopUp_->setCurrentIndex(typePopUp_->findData(QString::fromStdString(camera.cameraType())));
    }
    for (const ControlRow& row : rows_) {
        const ControlSpec& spec = specFor(row.control);
        const float value = (camera.*spec.get)();
        const QSignalBlocker blocker(row.slider);
        row.slider->setValue(sliderPosition(spec, value));
        row.value->setText(spec.shown(value));
    }
}

void EditCameraLayerViewController::sliderMoved(Control control) {
    const ControlSpec& spec = specFor(control);
    const float value = sliderValue(spec, slider(control)->value());
    if ((cameraLayer().*spec.get)() == value) return;
    // The setter posts scene-did-change, which brings the label up to date.
    (cameraLayer().*spec.set)(value);
}

}  // namespace korvane
