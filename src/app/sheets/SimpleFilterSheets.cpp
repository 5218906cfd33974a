#include "app/sheets/SimpleFilterSheets.h"

#include <QComboBox>
#include <QFormLayout>
#include <QSlider>

#include "app/sheets/SheetControls.h"

namespace korvane {

namespace {

// Fractions from 0 to 1 in thousandths.
constexpr int kFractionSteps = 1000;

}  // namespace

// Clamp

ClampSheet::ClampSheet(Bitmap& map, FilterRedrawDelegate* redrawDelegate, QWidget* parent)
    : MapFilterSheet(std::make_unique<ClampFilterSheet>(map, redrawDelegate), parent) {}

void ClampSheet::buildControls(QFormLayout* form) {
    topClampSlider_ = addFloatSlider(form, tr("Top:"), "topClampSlider", 0.0f, 1.0f, 0.9f, kFractionSteps);
    bottomClampSlider_ =
        addFloatSlider(form, tr("Bottom:"), "bottomClampSlider", 0.0f, 1.0f, 0.1f, kFractionSteps);
    connect(topClampSlider_, &QSlider::valueChanged, this, [this] { valueChanged(); });
    connect(bottomClampSlider_, &QSlider::valueChanged, this, [this] { valueChanged(); });
}

void ClampSheet::applyControlsToFilter() {
    auto& clamp = static_cast<ClampFilterSheet&>(filter());
    clamp.setTopClamp(floatValue(topClampSlider_));
    clamp.setBottomClamp(floatValue(bottomClampSlider_));
}

// Equalize

EqualizeSheet::EqualizeSheet(Bitmap& map, FilterRedrawDelegate* redrawDelegate, QWidget* parent)
    : MapFilterSheet(std::make_unique<EqualizeFilterSheet>(map, redrawDelegate), parent) {}

void EqualizeSheet::buildControls(QFormLayout* form) {
    strengthSlider_ =
        addFloatSlider(form, tr("Strength:"), "strengthSlider", 0.0f, 1.0f, 0.2f, kFractionSteps);
    connect(strengthSlider_, &QSlider::valueChanged, this, [this] { valueChanged(); });
}

void EqualizeSheet::applyControlsToFilter() {
    static_cast<EqualizeFilterSheet&>(filter()).setStrength(floatValue(strengthSlider_));
}

// Flats

FlatsSheet::FlatsSheet(Bitmap& map, FilterRedrawDelegate* redrawDelegate, QWidget* parent)
    : MapFilterSheet(std::make_unique<FlatsFilterSheet>(map, redrawDelegate), parent) {}

void FlatsSheet::buildControls(QFormLayout* form) {
    strengthSlider_ =
        addFloatSlider(form, tr("Strength:"), "strengthSlider", 0.0f, 1.0f, 0.2f, kFractionSteps);
    connect(strengthSlider_, &QSlider::valueChanged, this, [this] { valueChanged(); });
}

void FlatsSheet::applyControlsToFilter() {
    static_cast<FlatsFilterSheet&>(filter()).setStrength(floatValue(strengthSlider_));
}

// Add Noise

NoiseSheet::NoiseSheet(Bitmap& map, FilterRedrawDelegate* redrawDelegate, QWidget* parent)
    : MapFilterSheet(std::make_unique<NoiseFilterSheet>(map, redrawDelegate), parent) {}

void NoiseSheet::buildControls(QFormLayout* form) {
    modePopUp_ = addTaggedPopUp(form, tr("Mode:"), "modePopUp",
                                {{static_cast<int>(NoiseMode::Blend), tr("Blend")},
                                 {static_cast<int>(NoiseMode::Add), tr("Add")},
                                 {static_cast<int>(NoiseMode::Subtract), tr("Subtract")}},
                                static_cast<int>(NoiseMode::Blend));
    strengthSlider_ =
        addFloatSlider(form, tr("Strength:"), "strengthSlider", 0.0f, 1.0f, 0.3f, kFractionSteps);
    frequencySlider_ = addFloatSlider(form, tr("Frequency:"), "frequencySlider", 1.0f, 32.0f, 4.0f, 310, 1);
    octavesSlider_ = addFloatSlider(form, tr("Octaves:"), "octavesSlider", 0.0f, 10.0f, 4.0f, 10, 0);
    connect(modePopUp_, &QComboBox::currentIndexChanged, this, [this] { valueChanged(); });
    for (QSlider* slider : {strengthSlider_, frequencySlider_, octavesSlider_}) {
        connect(slider, &QSlider::valueChanged, this, [this] { valueChanged(); });
    }
}

void NoiseSheet::applyControlsToFilter() {
    auto& noise = static_cast<NoiseFilterSheet&>(filter());
    noise.setMode(selectedTag(modePopUp_));
    noise.setStrength(floatValue(strengthSlider_));
    noise.setFrequency(floatValue(frequencySlider_));
    noise.setOctaves(floatValue(octavesSlider_));
}

}  // namespace korvane
