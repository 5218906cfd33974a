#pragma once

#include <memory>

#include <QString>

#include "app/sheets/BaseSheet.h"
#include "editing/AutoFillSheetController.h"

class QComboBox;
class QFormLayout;
class QSlider;

namespace korvane {

// The desktop side of the auto-fill sheets: an 8-bit map (a material mask, a density map) filled from
// the terrain and previewed live in the map on every control change. OK keeps the last preview as one
// undo step of the target, Cancel puts the map back byte for byte. The fills are quick per-pixel
// passes, so they run on the main thread. The sheet deletes itself once it has closed. Main thread.
class MapAutoFillSheet : public BaseSheet {
    Q_OBJECT
public:
    QString title() const override;

    // Keeps the last preview as one undo step and closes.
    void ok();
    // Restores the map as it was when the sheet opened and closes.
    void cancel();

protected:
    explicit MapAutoFillSheet(std::unique_ptr<BaseAutoFillSheet> fill, QWidget* parent);

    BaseAutoFillSheet& fill() { return *fill_; }
    // Adds the sheet's controls to the form; their changes call valueChanged.
    virtual void buildControls(QFormLayout* form) = 0;
    // Copies the controls' values into the fill.
    virtual void applyControlsToFill() = 0;
    // A control changed: preview again.
    void valueChanged();

    void buildInterface() final;
    void sheetDidAppear() override;
    void reject() override;

private:
    std::unique_ptr<BaseAutoFillSheet> fill_;
    bool didAppear_ = false;
    bool closed_ = false;
};

// "Steepness Auto Fill": the steep areas (rock) or the flat ones (grass).
class SteepnessFillSheet final : public MapAutoFillSheet {
    Q_OBJECT
public:
    // The target's map must stay at its address while the sheet is open; the target and the terrain
    // must outlive the sheet; the delegate (not owned, may be null) is told after every change.
    SteepnessFillSheet(EditMapTarget& target, const TerrainLayer& terrain,
                       AutoFillRedrawDelegate* redrawDelegate, QWidget* parent = nullptr);

protected:
    void buildControls(QFormLayout* form) override;
    void applyControlsToFill() override;

private:
    QComboBox* typePopUpButton_ = nullptr;
    QSlider* thresholdSlider_ = nullptr;
    QSlider* strengthSlider_ = nullptr;
};

// "Height Auto Fill": a band around a height, everything below it or everything above it.
class HeightFillSheet final : public MapAutoFillSheet {
    Q_OBJECT
public:
    // As SteepnessFillSheet.
    HeightFillSheet(EditMapTarget& target, const TerrainLayer& terrain,
                    AutoFillRedrawDelegate* redrawDelegate, QWidget* parent = nullptr);

protected:
    void buildControls(QFormLayout* form) override;
    void applyControlsToFill() override;

private:
    QComboBox* typePopUpButton_ = nullptr;
    QSlider* heightSlider_ = nullptr;
    QSlider* thresholdSlider_ = nullptr;
};

}  // namespace korvane
