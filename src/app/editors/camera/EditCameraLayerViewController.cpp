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
struct SliderRange {
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

const std::vector<SliderRange>& sliderRanges() {
    static const std::vector<SliderRange> ranges = {
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
    return ranges;
}

const SliderRange& rangeFor(Control control) {
    return *std::find_if(sliderRanges().begin(), sliderRanges().end(),
                         [control](const SliderRange& range) { return range.control == control; });
}

float sliderValue(const SliderRange& range, int position) {
    return range.minimum +
           (range.maximum - range.minimum) * static_cast<float>(position) / static_cast<float>(range.steps);
}

int sliderPosition(const SliderRange& range, float value) {
    const long position = std::lround((value - range.minimum) / (range.maximum - range.minimum) * range.steps);
    return static_cast<int>(std::clamp(position, 0L, static_cast<long>(range.steps)));
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

    for (const SliderRange& range : sliderRanges()) {
        ControlRow row{range.control};
        row.row = new QWidget;
        auto* rowColumn = new QVBoxLayout(row.row);
        rowColumn->setContentsMargins(0, 4, 0, 4);
        rowColumn->addWidget(new QLabel(QString::fromUtf8(range.title)));
        auto* line = new QHBoxLayout;
        row.slider = new QSlider(Qt::Horizontal);
        row.slider->setObjectName(QString::fromLatin1(range.objectName));
        row.slider->setRange(0, range.steps);
        row.slider->setPageStep(std::max(1, range.steps / 10));
        row.value = new QLabel;
        row.value->setObjectName(QString::fromLatin1(range.objectName) + QStringLiteral("Value"));
        row.value->setMinimumWidth(44);
        row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        line->addWidget(row.slider, 1);
        line->addWidget(row.value);
        rowColumn->addLayout(line);
        const Control control = range.control;
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
        const SliderRange& range = rangeFor(row.control);
        const float value = (camera.*range.get)();
        const QSignalBlocker blocker(row.slider);
        row.slider->setValue(sliderPosition(range, value));
        row.value->setText(range.shown(value));
    }
}

void EditCameraLayerViewController::sliderMoved(Control control) {
    const SliderRange& range = rangeFor(control);
    const float value = sliderValue(range, slider(control)->value());
    if ((cameraLayer().*range.get)() == value) return;
    // The setter posts scene-did-change, which brings the label up to date.
    (cameraLayer().*range.set)(value);
}

}  // namespace korvane
