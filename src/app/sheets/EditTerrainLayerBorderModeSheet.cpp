#include "app/sheets/EditTerrainLayerBorderModeSheet.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/sheets/SheetControls.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane {

EditTerrainLayerBorderModeSheet::EditTerrainLayerBorderModeSheet(TerrainLayer& layer, QWidget* parent)
    : BaseSheet(parent),
      layer_(layer),
      initialBorderMode_(layer.borderMode()),
      initialSmoothingFactor_(layer.smoothingFactor()) {}

QString EditTerrainLayerBorderModeSheet::title() const {
    return QStringLiteral("Border & Smoothing Options");
}

void EditTerrainLayerBorderModeSheet::buildInterface() {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    // A stored mode outside the three behaves like the sloped apron, and is shown as such.
    const int32_t shownMode = initialBorderMode_ == TerrainLayer::kBorderLoweredToZero ||
                                      initialBorderMode_ == TerrainLayer::kBorderExtendedEdge
                                  ? initialBorderMode_
                                  : TerrainLayer::kBorderSlopedApron;
    borderModePopUp_ = addTaggedPopUp(form, tr("Border:"), "borderMode",
                                      {{TerrainLayer::kBorderLoweredToZero, tr("Edge lowered to the ground")},
                                       {TerrainLayer::kBorderSlopedApron, tr("Edge slopes down outside")},
                                       {TerrainLayer::kBorderExtendedEdge, tr("Edge extended outside")}},
                                      shownMode);
    smoothingFactorSlider_ =
        addFloatSlider(form, tr("Smoothing Angle:"), "smoothingFactor", 0.0f, kMaximumSmoothingFactor,
                       initialSmoothingFactor_, static_cast<int>(kMaximumSmoothingFactor), 0);
    layout->addLayout(form);
    connect(borderModePopUp_, &QComboBox::currentIndexChanged, this,
            [this] { layer_.setBorderMode(selectedTag(borderModePopUp_)); });
    connect(smoothingFactorSlider_, &QSlider::valueChanged, this,
            [this] { layer_.setSmoothingFactor(floatValue(smoothingFactorSlider_)); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &EditTerrainLayerBorderModeSheet::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &EditTerrainLayerBorderModeSheet::cancel);
    layout->addWidget(buttons);
}

void EditTerrainLayerBorderModeSheet::ok() {
    if (closed_) return;
    closed_ = true;
    close();
    deleteLater();
}

void EditTerrainLayerBorderModeSheet::cancel() {
    if (closed_) return;
    closed_ = true;
    // Only what changed is put back, so a sheet opened and cancelled announces nothing.
    if (layer_.borderMode() != initialBorderMode_) layer_.setBorderMode(initialBorderMode_);
    if (layer_.smoothingFactor() != initialSmoothingFactor_)
        layer_.setSmoothingFactor(initialSmoothingFactor_);
    close();
    deleteLater();
}

void EditTerrainLayerBorderModeSheet::reject() {
    cancel();
}

BaseSheet* openBorderSmoothingSheet(TerrainLayer& layer, QWidget* window) {
    auto* sheet = new EditTerrainLayerBorderModeSheet(layer, window);
    sheet->openAsSheetModalForWindow(window);
    return sheet;
}

}  // namespace korvane
