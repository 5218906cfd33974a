#pragma once

#include "app/sheets/MapFilterSheet.h"
#include "editing/FractalFilterSheet.h"

class QComboBox;
class QPushButton;
class QSlider;

namespace korvane {

// "Fractal Terrain": a new terrain grown from a start shape, with a coarse and a fine roughness and
// "New Random Seed". Opened by the terrain editor's "Fractal Terrain…" on the heightmap, which must stay
// at its address while the sheet is open. On a large map the generation takes a while; it runs in the
// background and a change of the settings restarts it. Main thread.
class FractalSheet final : public MapFilterSheet {
    Q_OBJECT
public:
    FractalSheet(Bitmap& map, FilterRedrawDelegate* redrawDelegate, QWidget* parent = nullptr);

    // The seed of the current settings.
    int64_t seed() const { return seed_; }
    // Picks a new seed and previews again.
    void newRandomSeed();

protected:
    void buildControls(QFormLayout* form) override;
    void applyControlsToFilter() override;

private:
    QComboBox* presetPopup_ = nullptr;
    QSlider* largeErosionSlider_ = nullptr;
    QSlider* smallErosionSlider_ = nullptr;
    QPushButton* newRandomSeedButton_ = nullptr;
    // The controls' seed; the filter takes it when a computation starts.
    int64_t seed_ = 0;
};

}  // namespace korvane
