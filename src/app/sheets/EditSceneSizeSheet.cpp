#include "app/sheets/EditSceneSizeSheet.h"

#include <cmath>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/sheets/SheetControls.h"
#include "scene/Scene.h"

namespace korvane {

namespace {

// Sizes and heights move in tenths of a scene unit.
constexpr float kStep = 0.1f;

int stepsBetween(float minimum, float maximum) {
    return static_cast<int>((maximum - minimum) / kStep + 0.5f);
}

// A slider's value as the tenth it shows.
double tenths(const QSlider* slider) {
    return std::round(static_cast<double>(floatValue(slider)) * 10.0) / 10.0;
}

}  // namespace

EditSceneSizeSheet::EditSceneSizeSheet(Scene& scene, QWidget* parent) : BaseSheet(parent), scene_(scene) {}

QString EditSceneSizeSheet::title() const {
    return QStringLiteral("Scene Size");
}

void EditSceneSizeSheet::buildInterface() {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const Size size = scene_.size();
    widthSlider_ =
        addFloatSlider(form, tr("Scene Width:"), "sceneWidth", kMinimumSide, kMaximumSide,
                       static_cast<float>(size.width), stepsBetween(kMinimumSide, kMaximumSide), 1);
    heightSlider_ =
        addFloatSlider(form, tr("Scene Height:"), "sceneHeight", kMinimumSide, kMaximumSide,
                       static_cast<float>(size.height), stepsBetween(kMinimumSide, kMaximumSide), 1);
    maxTerrainHeightSlider_ = addFloatSlider(
        form, tr("Max. Terrain Height:"), "maxTerrainHeight", kMinimumTerrainHeight, kMaximumTerrainHeight,
        scene_.maxTerrainHeight(), stepsBetween(kMinimumTerrainHeight, kMaximumTerrainHeight), 1);
    initialWidth_ = widthSlider_->value();
    initialHeight_ = heightSlider_->value();
    initialMaxTerrainHeight_ = maxTerrainHeightSlider_->value();
    layout->addLayout(form);

    auto* note =
        new QLabel(tr("The terrain keeps its scale: a larger scene gains margin, a smaller one "
                      "loses the parts outside. Changing the size clears the undo history."));
    note->setWordWrap(true);
    layout->addWidget(note);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &EditSceneSizeSheet::changeSize);
    connect(buttons, &QDialogButtonBox::rejected, this, &EditSceneSizeSheet::cancel);
    layout->addWidget(buttons);
}

void EditSceneSizeSheet::changeSize() {
    if (closed_) return;
    closed_ = true;
    if (widthSlider_) {
        // A slider holds its value in tenths; a size or height the user did not touch keeps its exact
        // value instead of being rounded to a tenth (which would re-cut the maps and drop the undo
        // history for nothing).
        Size size = scene_.size();
        if (widthSlider_->value() != initialWidth_) size.width = tenths(widthSlider_);
        if (heightSlider_->value() != initialHeight_) size.height = tenths(heightSlider_);
        scene_.setSize(size);
        if (maxTerrainHeightSlider_->value() != initialMaxTerrainHeight_) {
            scene_.setMaxTerrainHeight(static_cast<float>(tenths(maxTerrainHeightSlider_)));
        }
    }
    close();
    deleteLater();
}

void EditSceneSizeSheet::cancel() {
    if (closed_) return;
    closed_ = true;
    close();
    deleteLater();
}

void EditSceneSizeSheet::reject() {
    cancel();
}

BaseSheet* openSceneSizeSheet(Scene& scene, QWidget* window) {
    auto* sheet = new EditSceneSizeSheet(scene, window);
    sheet->openAsSheetModalForWindow(window);
    return sheet;
}

}  // namespace korvane
