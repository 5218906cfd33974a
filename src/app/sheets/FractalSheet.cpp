#include "app/sheets/FractalSheet.h"

#include <algorithm>
#include <ctime>

#include <QComboBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSlider>

#include "app/sheets/SheetControls.h"

namespace korvane {

namespace {

constexpr int kRoughnessSteps = 1000;

}  // namespace

FractalSheet::FractalSheet(Bitmap& map, FilterRedrawDelegate* redrawDelegate, QWidget* parent)
    : MapFilterSheet(std::make_unique<FractalFilterSheet>(map, redrawDelegate), parent) {
    seed_ = static_cast<FractalFilterSheet&>(filter()).seed();
}

void FractalSheet::buildControls(QFormLayout* form) {
    presetPopup_ =
        addTaggedPopUp(form, tr("Start Shape:"), "presetPopup",
                       {{static_cast<int>(FractalPreset::CentralPeak), tr("Central Peak")},
                        {static_cast<int>(FractalPreset::TwoPeaks), tr("Two Peaks")},
                        {static_cast<int>(FractalPreset::RaisedBand), tr("Raised Side")},
                        {static_cast<int>(FractalPreset::MeanderingValley), tr("Meandering Valley")},
                        {static_cast<int>(FractalPreset::ValleyToPlateau), tr("Valley to Plateau")},
                        {static_cast<int>(FractalPreset::CurrentTerrain), tr("Current Terrain")}},
                       static_cast<int>(FractalPreset::CentralPeak));
    largeErosionSlider_ = addFloatSlider(form, tr("Coarse Roughness:"), "largeErosionSlider", 0.0f, 1.0f,
                                         0.5f, kRoughnessSteps);
    smallErosionSlider_ =
        addFloatSlider(form, tr("Fine Roughness:"), "smallErosionSlider", 0.0f, 1.0f, 0.5f, kRoughnessSteps);
    newRandomSeedButton_ = new QPushButton(tr("New Random Seed"));
    newRandomSeedButton_->setObjectName(QStringLiteral("newRandomSeed"));
    newRandomSeedButton_->setAutoDefault(false);
    form->addRow(QString(), newRandomSeedButton_);

    connect(presetPopup_, &QComboBox::currentIndexChanged, this, [this] { valueChanged(); });
    connect(largeErosionSlider_, &QSlider::valueChanged, this, [this] { valueChanged(); });
    connect(smallErosionSlider_, &QSlider::valueChanged, this, [this] { valueChanged(); });
    connect(newRandomSeedButton_, &QPushButton::clicked, this, &FractalSheet::newRandomSeed);
}

void FractalSheet::newRandomSeed() {
    // Seeds are the time in seconds; a second press within the same second still gets a new terrain.
    seed_ = std::max(static_cast<int64_t>(std::time(nullptr)), seed_ + 1);
    valueChanged();
}

void FractalSheet::applyControlsToFilter() {
    auto& fractal = static_cast<FractalFilterSheet&>(filter());
    fractal.setSeed(seed_);
    fractal.setPreset(selectedTag(presetPopup_));
    fractal.setLargeErosion(floatValue(largeErosionSlider_));
    fractal.setSmallErosion(floatValue(smallErosionSlider_));
}

}  // namespace korvane
