#include "app/render/PostProcessingOptionsWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "scene/Scene.h"
#include "scene/SceneNotifications.h"

namespace korvane {

namespace {

constexpr int kColorSwatchSide = 16;

QColor toQColor(const Color& color) {
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

QIcon swatchIcon(const QColor& color) {
    QPixmap swatch(kColorSwatchSide, kColorSwatchSide);
    swatch.fill(color);
    return QIcon(swatch);
}

}  // namespace

PostProcessingOptionsWindow::PostProcessingOptionsWindow(Scene* scene, QWidget* parent)
    : QWidget(parent, Qt::Tool), scene_(scene) {
    setWindowTitle(tr("Post Processing"));
    buildInterface();
    updateControls();
    postProcessDidChange_ = NotificationObservation(NotificationCenter::defaultCenter(),
                                                    ScenePostProcessDidChangeNotificationName, scene_,
                                                    [this](const Notification&) { updateControls(); });
}

PostProcessingOptionsWindow::~PostProcessingOptionsWindow() = default;

QCheckBox* PostProcessingOptionsWindow::addSwitch(QGridLayout* grid, int row, const QString& title,
                                                  bool (Scene::*getter)() const, void (Scene::*setter)(bool)) {
    auto* box = new QCheckBox(title);
    grid->addWidget(box, row, 0, 1, 2);
    connect(box, &QCheckBox::toggled, this, [this, setter](bool on) {
        if (!updatingControls_) (scene_->*setter)(on);
    });
    controlUpdaters_.push_back([this, box, getter] { box->setChecked((scene_->*getter)()); });
    return box;
}

QDoubleSpinBox* PostProcessingOptionsWindow::addValue(QGridLayout* grid, int row, const QString& title,
                                                      double minimum, double maximum, double step,
                                                      float (Scene::*getter)() const, void (Scene::*setter)(float)) {
    auto* field = new QDoubleSpinBox;
    field->setRange(minimum, maximum);
    field->setSingleStep(step);
    field->setDecimals(2);
    field->setKeyboardTracking(false);
    grid->addWidget(new QLabel(title), row, 0);
    grid->addWidget(field, row, 1);
    connect(field, &QDoubleSpinBox::valueChanged, this, [this, setter](double value) {
        if (!updatingControls_) (scene_->*setter)(float(value));
    });
    controlUpdaters_.push_back([this, field, getter] { field->setValue((scene_->*getter)()); });
    return field;
}

void PostProcessingOptionsWindow::buildInterface() {
    auto* layout = new QVBoxLayout(this);
    auto group = [layout](const QString& title) {
        auto* box = new QGroupBox(title);
        auto* grid = new QGridLayout(box);
        layout->addWidget(box);
        return grid;
    };

    QGridLayout* tint = group(tr("Depth Tint"));
    addSwitch(tint, 0, tr("Add depth tint"), &Scene::depthTint, &Scene::setDepthTint);
    tint->addWidget(new QLabel(tr("Color:")), 1, 0);
    tintColorButton_ = new QPushButton(tr("Choose…"));
    tintColorButton_->setObjectName(QStringLiteral("depthTintColor"));
    tint->addWidget(tintColorButton_, 1, 1);
    connect(tintColorButton_, &QPushButton::clicked, this, &PostProcessingOptionsWindow::chooseTintColor);
    controlUpdaters_.push_back([this] { tintColorButton_->setIcon(swatchIcon(toQColor(scene_->depthTintColor()))); });
    addValue(tint, 2, tr("Start:"), 0, 10000, 0.5, &Scene::depthTintStart, &Scene::setDepthTintStart);
    addValue(tint, 3, tr("Bias:"), 0, 100, 0.05, &Scene::depthTintBias, &Scene::setDepthTintBias);
    addValue(tint, 4, tr("Opacity:"), 0, 1, 0.05, &Scene::depthTintOpacity, &Scene::setDepthTintOpacity);

    QGridLayout* farBlur = group(tr("Far Depth of Field"));
    addSwitch(farBlur, 0, tr("Blur the distance"), &Scene::farDepthOfField, &Scene::setFarDepthOfField);
    addValue(farBlur, 1, tr("Start:"), 0, 10000, 0.5, &Scene::farDepthOfFieldStart, &Scene::setFarDepthOfFieldStart);
    addValue(farBlur, 2, tr("Bias:"), 0, 100, 0.1, &Scene::farDepthOfFieldBias, &Scene::setFarDepthOfFieldBias);
    addValue(farBlur, 3, tr("Maximum strength:"), 0, 100, 1, &Scene::farDepthOfFieldMaximumStrength,
             &Scene::setFarDepthOfFieldMaximumStrength);

    QGridLayout* nearBlur = group(tr("Near Depth of Field"));
    addSwitch(nearBlur, 0, tr("Blur the foreground"), &Scene::nearDepthOfField, &Scene::setNearDepthOfField);
    addValue(nearBlur, 1, tr("End:"), 0, 10000, 0.5, &Scene::nearDepthOfFieldEnd, &Scene::setNearDepthOfFieldEnd);
    addValue(nearBlur, 2, tr("Bias:"), 0, 100, 0.1, &Scene::nearDepthOfFieldBias, &Scene::setNearDepthOfFieldBias);
    addValue(nearBlur, 3, tr("Maximum strength:"), 0, 100, 1, &Scene::nearDepthOfFieldMaximumStrength,
             &Scene::setNearDepthOfFieldMaximumStrength);

    QGridLayout* bloom = group(tr("Bloom"));
    addSwitch(bloom, 0, tr("Add bloom"), &Scene::bloomFilter, &Scene::setBloomFilter);
    addValue(bloom, 1, tr("Radius:"), 0, 100, 1, &Scene::bloomRadius, &Scene::setBloomRadius);
    addValue(bloom, 2, tr("Intensity:"), 0, 2, 0.05, &Scene::bloomIntensity, &Scene::setBloomIntensity);

    QGridLayout* vibrance = group(tr("Vibrance"));
    addSwitch(vibrance, 0, tr("Add vibrance"), &Scene::vibranceFilter, &Scene::setVibranceFilter);
    addValue(vibrance, 1, tr("Strength:"), -1, 1, 0.05, &Scene::vibranceStrength, &Scene::setVibranceStrength);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* applyButton = new QPushButton(tr("Apply"));
    applyButton->setObjectName(QStringLiteral("apply"));
    connect(applyButton, &QPushButton::clicked, this, &PostProcessingOptionsWindow::apply);
    buttons->addWidget(applyButton);
    layout->addLayout(buttons);
}

void PostProcessingOptionsWindow::updateControls() {
    updatingControls_ = true;
    for (const auto& update : controlUpdaters_) update();
    updatingControls_ = false;
}

void PostProcessingOptionsWindow::chooseTintColor() {
    const QColor chosen = QColorDialog::getColor(toQColor(scene_->depthTintColor()), this, tr("Depth Tint Color"));
    if (!chosen.isValid()) return;
    scene_->setDepthTintColor(Color::calibratedRGB(chosen.redF(), chosen.greenF(), chosen.blueF(), chosen.alphaF()));
}

void PostProcessingOptionsWindow::makeKeyAndOrderFront() {
    show();
    raise();
    activateWindow();
}

void PostProcessingOptionsWindow::apply() {
    if (!delegate_) return;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    delegate_->postProcessingOptionsWindowWantsToApplyEffects(*this);
    QApplication::restoreOverrideCursor();
}

}  // namespace korvane
