#include "editing/ErodeFilterSheet.h"

#include <algorithm>

namespace korvane {

namespace {

// More drops than this would keep the main thread busy for hours; the slider never asks for so many.
constexpr float kMaxDrops = 1.0e8f;

}  // namespace

void ErodeFilterSheet::setNumberOfDrops(float drops) {
    numberOfDrops_ = drops > 0 ? static_cast<int>(std::min(drops, kMaxDrops)) : 0;
}

void ErodeFilterSheet::valueChanged() {
    if (isClosed()) return;
    isUpToDate_ = true;
    BaseFilterSheet::valueChanged();
}

void ErodeFilterSheet::ok() {
    if (isClosed()) return;
    if (!isUpToDate_) valueChanged();
    BaseFilterSheet::ok();
}

void ErodeFilterSheet::showPreview() {
    if (isClosed()) return;
    isUpToDate_ = true;
    BaseFilterSheet::showPreview();
}

void ErodeFilterSheet::applyFunctionToImageRep() {
    Bitmap& map = mutableImageRep();
    const Rect whole{{0, 0}, {double(map.width()), double(map.height())}};
    const int drops = numberOfDrops_;
    lastStatistics_ = ErodeFilter::applyErosionToBitmap(map, whole, whole, drops, strength_, [&](int done) {
        reportProgress(static_cast<float>(done) / static_cast<float>(drops));
        return !stopRequested();
    });
}

}  // namespace korvane
