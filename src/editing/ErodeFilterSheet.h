#pragma once

#include <string>

#include "editing/BaseFilterSheet.h"
#include "editing/ErodeFilter.h"

namespace korvane {

// "Erode": many erosion drops over the whole map. Runs on the main thread; the process-wide generator
// is not reseeded, so each preview differs. Controls that are expensive to follow live may only mark
// the preview stale (valueChangedWithoutRedisplay); ok recomputes a stale preview first, so the result
// kept always comes from the current settings.
class ErodeFilterSheet final : public BaseFilterSheet {
public:
    using BaseFilterSheet::BaseFilterSheet;
    std::string title() const override { return "Erode"; }

    // The drops slider is read as an integer.
    void setNumberOfDrops(float drops);
    void setStrength(float strength) { strength_ = strength; }
    int numberOfDrops() const { return numberOfDrops_; }

    // Recomputes and previews; the preview is up to date afterwards.
    void valueChanged() override;
    // Marks the preview stale without recomputing.
    void valueChangedWithoutRedisplay() { isUpToDate_ = false; }
    void ok() override;
    // A preview computed with computePreview is up to date once shown.
    void showPreview() override;
    bool isUpToDate() const { return isUpToDate_; }
    // What the last recomputation did.
    const ErosionStatistics& lastStatistics() const { return lastStatistics_; }

protected:
    void applyFunctionToImageRep() override;

private:
    int numberOfDrops_ = 0;
    float strength_ = 0.5f;
    bool isUpToDate_ = false;
    ErosionStatistics lastStatistics_;
};

}  // namespace korvane
