#pragma once

#include "app/sheets/MapFilterSheet.h"
#include "editing/ErodeFilterSheet.h"

class QLabel;
class QPushButton;
class QSlider;

namespace korvane {

// "Erode": many rain drops run over the whole heightmap. Opened by the terrain editor's "Erode…" on
// the heightmap, which must stay at its address while the sheet is open. Many drops take long, so the
// simulation runs in the background with a progress bar; Cancel stops it at once. While a slider is
// dragged the preview is only marked stale (a line says so); it is recomputed when the slider is let
// go, when the value changes by keyboard, and by "Preview" (each run places its drops anew). OK keeps
// a result computed from the current settings, recomputing a stale preview first. Main thread.
class ErodeSheet final : public MapFilterSheet {
    Q_OBJECT
public:
    ErodeSheet(Bitmap& map, FilterRedrawDelegate* redrawDelegate, QWidget* parent = nullptr);

    // Recomputes with the current settings (the "Preview" button).
    void preview() { valueChanged(); }

protected:
    void buildControls(QFormLayout* form) override;
    void applyControlsToFilter() override;
    bool reportsProgress() const override { return true; }
    void stateChanged() override;

private:
    // A slider's change: stale while it is dragged, recomputed otherwise.
    void sliderChanged(QSlider* slider);

    QSlider* numberOfDropsSlider_ = nullptr;
    QSlider* strengthSlider_ = nullptr;
    QPushButton* previewButton_ = nullptr;
    QLabel* staleLabel_ = nullptr;
};

}  // namespace korvane
