#include "app/sheets/AutoFillSheets.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/sheets/SheetControls.h"

namespace korvane {

namespace {

constexpr int kFractionSteps = 1000;

}  // namespace

MapAutoFillSheet::MapAutoFillSheet(std::unique_ptr<BaseAutoFillSheet> fill, QWidget* parent)
    : BaseSheet(parent), fill_(std::move(fill)) {}

QString MapAutoFillSheet::title() const {
    return QString::fromStdString(fill_->title());
}

void MapAutoFillSheet::buildInterface() {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    buildControls(form);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &MapAutoFillSheet::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &MapAutoFillSheet::cancel);
    layout->addWidget(buttons);
}

void MapAutoFillSheet::sheetDidAppear() {
    if (didAppear_ || closed_) return;
    didAppear_ = true;
    valueChanged();
}

void MapAutoFillSheet::valueChanged() {
    if (closed_) return;
    applyControlsToFill();
    fill_->valueChanged();
}

void MapAutoFillSheet::ok() {
    if (closed_) return;
    closed_ = true;
    // A sheet confirmed before its first preview keeps what its controls show.
    if (!didAppear_) {
        applyControlsToFill();
        fill_->valueChanged();
    }
    fill_->ok();
    close();
    deleteLater();
}

void MapAutoFillSheet::cancel() {
    if (closed_) return;
    closed_ = true;
    fill_->cancel();
    close();
    deleteLater();
}

void MapAutoFillSheet::reject() {
    cancel();
}

// Steepness

SteepnessFillSheet::SteepnessFillSheet(EditMapTarget& target, const TerrainLayer& terrain,
                                       AutoFillRedrawDelegate* redrawDelegate, QWidget* parent)
    : MapAutoFillSheet(std::make_unique<SteepnessAutoFillSheet>(target, terrain, redrawDelegate), parent) {}

void SteepnessFillSheet::buildControls(QFormLayout* form) {
    typePopUpButton_ = addTaggedPopUp(form, tr("Fill:"), "typePopUpButton",
                                      {{0, tr("Steep Areas")}, {1, tr("Flat Areas")}}, 0);
    thresholdSlider_ =
        addFloatSlider(form, tr("Threshold:"), "thresholdSlider", 0.0f, 1.0f, 0.5f, kFractionSteps);
    strengthSlider_ =
        addFloatSlider(form, tr("Strength:"), "strengthSlider", 0.0f, 1.0f, 0.5f, kFractionSteps);
    connect(typePopUpButton_, &QComboBox::currentIndexChanged, this, [this] { valueChanged(); });
    connect(thresholdSlider_, &QSlider::valueChanged, this, [this] { valueChanged(); });
    connect(strengthSlider_, &QSlider::valueChanged, this, [this] { valueChanged(); });
}

void SteepnessFillSheet::applyControlsToFill() {
    auto& steepness = static_cast<SteepnessAutoFillSheet&>(fill());
    steepness.setType(selectedTag(typePopUpButton_));
    steepness.setThreshold(floatValue(thresholdSlider_));
    steepness.setStrength(floatValue(strengthSlider_));
}

// Height

HeightFillSheet::HeightFillSheet(EditMapTarget& target, const TerrainLayer& terrain,
                                 AutoFillRedrawDelegate* redrawDelegate, QWidget* parent)
    : MapAutoFillSheet(std::make_unique<HeightAutoFillSheet>(target, terrain, redrawDelegate), parent) {}

void HeightFillSheet::buildControls(QFormLayout* form) {
    typePopUpButton_ = addTaggedPopUp(
        form, tr("Fill:"), "typePopUpButton",
        {{0, tr("Around the Height")}, {1, tr("Below the Height")}, {2, tr("Above the Height")}}, 0);
    heightSlider_ = addFloatSlider(form, tr("Height:"), "heightSlider", 0.0f, 1.0f, 0.5f, kFractionSteps);
    thresholdSlider_ = addFloatSlider(form, tr("Fade:"), "thresholdSlider", 0.0f, 1.0f, 0.1f, kFractionSteps);
    connect(typePopUpButton_, &QComboBox::currentIndexChanged, this, [this] { valueChanged(); });
    connect(heightSlider_, &QSlider::valueChanged, this, [this] { valueChanged(); });
    connect(thresholdSlider_, &QSlider::valueChanged, this, [this] { valueChanged(); });
}

void HeightFillSheet::applyControlsToFill() {
    auto& height = static_cast<HeightAutoFillSheet&>(fill());
    height.setType(selectedTag(typePopUpButton_));
    height.setHeight(floatValue(heightSlider_));
    height.setThreshold(floatValue(thresholdSlider_));
}

}  // namespace korvane
