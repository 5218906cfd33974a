#include "app/sheets/ErodeSheet.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "app/sheets/SheetControls.h"

namespace korvane {

namespace {

// The drop count runs from none to this many, in steps of a hundred.
constexpr float kMaxDrops = 200000.0f;
constexpr int kDropSteps = 2000;
constexpr float kDefaultDrops = 5000.0f;
constexpr int kStrengthSteps = 1000;

}  // namespace

ErodeSheet::ErodeSheet(Bitmap& map, FilterRedrawDelegate* redrawDelegate, QWidget* parent)
    : MapFilterSheet(std::make_unique<ErodeFilterSheet>(map, redrawDelegate), parent) {}

void ErodeSheet::buildControls(QFormLayout* form) {
    numberOfDropsSlider_ = addFloatSlider(form, tr("Drops:"), "numberOfDropsSlider", 0.0f, kMaxDrops,
                                          kDefaultDrops, kDropSteps, 0);
    strengthSlider_ =
        addFloatSlider(form, tr("Strength:"), "strengthSlider", 0.0f, 1.0f, 0.5f, kStrengthSteps);
    for (QSlider* slider : {numberOfDropsSlider_, strengthSlider_}) {
        connect(slider, &QSlider::valueChanged, this, [this, slider] { sliderChanged(slider); });
        connect(slider, &QSlider::sliderReleased, this, [this] { valueChanged(); });
    }

    previewButton_ = new QPushButton(tr("Preview"));
    previewButton_->setObjectName(QStringLiteral("preview"));
    previewButton_->setAutoDefault(false);
    connect(previewButton_, &QPushButton::clicked, this, &ErodeSheet::preview);
    staleLabel_ = new QLabel(tr("The preview does not show the current settings."));
    staleLabel_->setObjectName(QStringLiteral("stalePreview"));
    QSizePolicy policy = staleLabel_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    staleLabel_->setSizePolicy(policy);
    auto* row = new QHBoxLayout;
    row->addWidget(previewButton_);
    row->addWidget(staleLabel_, 1);
    form->addRow(QString(), row);
}

void ErodeSheet::sliderChanged(QSlider* slider) {
    // Following a drag live would restart the simulation at every step; the drop runs start when the
    // slider is let go.
    if (slider->isSliderDown()) {
        valueChangedWithoutRedisplay();
    } else {
        valueChanged();
    }
}

void ErodeSheet::applyControlsToFilter() {
    auto& erode = static_cast<ErodeFilterSheet&>(filter());
    erode.setNumberOfDrops(floatValue(numberOfDropsSlider_));
    erode.setStrength(floatValue(strengthSlider_));
}

void ErodeSheet::stateChanged() {
    if (staleLabel_) staleLabel_->setVisible(!isPreviewUpToDate() && !isComputing());
}

}  // namespace korvane
