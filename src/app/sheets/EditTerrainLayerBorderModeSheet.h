#pragma once

#include <cstdint>

#include <QString>

#include "app/sheets/BaseSheet.h"

class QComboBox;
class QSlider;

namespace korvane {

class TerrainLayer;

// "Border & Smoothing Options": the terrain layer's border mode and smoothing angle, edited live (each
// change is stored in the layer at once, which announces it; the layer records no undo for them). OK
// closes; Cancel puts back the values the sheet opened with. The sheet deletes itself once closed. Main
// thread.
class EditTerrainLayerBorderModeSheet final : public BaseSheet {
    Q_OBJECT
public:
    // The layer must outlive the sheet.
    explicit EditTerrainLayerBorderModeSheet(TerrainLayer& layer, QWidget* parent = nullptr);

    QString title() const override;

    // The smoothing angle's range, in degrees.
    static constexpr float kMaximumSmoothingFactor = 90.0f;

    void ok();
    void cancel();

protected:
    void buildInterface() override;
    void reject() override;

private:
    TerrainLayer& layer_;
    int32_t initialBorderMode_;
    float initialSmoothingFactor_;
    QComboBox* borderModePopUp_ = nullptr;
    QSlider* smoothingFactorSlider_ = nullptr;
    bool closed_ = false;
};

// Opens the sheet window-modally over `window` and returns it (it deletes itself once closed).
BaseSheet* openBorderSmoothingSheet(TerrainLayer& layer, QWidget* window);

}  // namespace korvane
