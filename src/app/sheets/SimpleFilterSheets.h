#pragma once

#include "app/sheets/MapFilterSheet.h"
#include "editing/HeightmapFilters.h"
#include "editing/NoiseFilterSheet.h"

class QComboBox;
class QSlider;

namespace korvane {

// The filters of the editors' "Filters…" pull-down. Each works on the map it is given (a 16-bit
// heightmap or an 8-bit mask or density map), which must stay at its address while the sheet is open;
// the delegate (not owned, may be null) brackets every change of the map. Main thread.

// "Clamp": top and bottom limits.
class ClampSheet final : public MapFilterSheet {
    Q_OBJECT
public:
    ClampSheet(Bitmap& map, FilterRedrawDelegate* redrawDelegate, QWidget* parent = nullptr);

protected:
    void buildControls(QFormLayout* form) override;
    void applyControlsToFilter() override;

private:
    QSlider* topClampSlider_ = nullptr;
    QSlider* bottomClampSlider_ = nullptr;
};

// "Equalize": a gain towards full scale.
class EqualizeSheet final : public MapFilterSheet {
    Q_OBJECT
public:
    EqualizeSheet(Bitmap& map, FilterRedrawDelegate* redrawDelegate, QWidget* parent = nullptr);

protected:
    void buildControls(QFormLayout* form) override;
    void applyControlsToFilter() override;

private:
    QSlider* strengthSlider_ = nullptr;
};

// "Flats": flat polygonal cells.
class FlatsSheet final : public MapFilterSheet {
    Q_OBJECT
public:
    FlatsSheet(Bitmap& map, FilterRedrawDelegate* redrawDelegate, QWidget* parent = nullptr);

protected:
    void buildControls(QFormLayout* form) override;
    void applyControlsToFilter() override;

private:
    QSlider* strengthSlider_ = nullptr;
};

// "Add Noise": gradient noise blended into, added to or subtracted from the map.
class NoiseSheet final : public MapFilterSheet {
    Q_OBJECT
public:
    NoiseSheet(Bitmap& map, FilterRedrawDelegate* redrawDelegate, QWidget* parent = nullptr);

protected:
    void buildControls(QFormLayout* form) override;
    void applyControlsToFilter() override;

private:
    QComboBox* modePopUp_ = nullptr;
    QSlider* strengthSlider_ = nullptr;
    QSlider* frequencySlider_ = nullptr;
    QSlider* octavesSlider_ = nullptr;
};

}  // namespace korvane
