#include "editing/BaseFilterSheet.h"

#include <algorithm>

#include "editing/MapSamples.h"

namespace korvane {

FilterRedrawDelegate::~FilterRedrawDelegate() = default;

BaseFilterSheet::BaseFilterSheet(Bitmap& directImageRep, FilterRedrawDelegate* redrawDelegate)
    : imageRep_(directImageRep),
      originalImageRep_(directImageRep),
      directImageRep_(directImageRep),
      redrawDelegate_(redrawDelegate) {}

BaseFilterSheet::~BaseFilterSheet() = default;

void BaseFilterSheet::valueChanged() {
    if (closed_) return;
    sendWillApplyToDelegate(false);
    reset();
    applyFunctionToImageRep();
    applyImageRepToDirect(imageRep_);
    sendDidApplyToDelegate(false);
}

bool BaseFilterSheet::computePreview(const std::atomic<bool>* stop) {
    if (closed_) return false;
    stop_ = stop;
    reportProgress(0.0f);
    reset();
    applyFunctionToImageRep();
    stop_ = nullptr;
    return !(stop && stop->load());
}

void BaseFilterSheet::showPreview() {
    if (closed_) return;
    sendWillApplyToDelegate(false);
    applyImageRepToDirect(imageRep_);
    sendDidApplyToDelegate(false);
}

void BaseFilterSheet::ok() {
    if (closed_) return;
    // The live map is unfiltered again before the undoable change starts, so that its snapshot is the
    // map as it was before the filter.
    applyImageRepToDirect(originalImageRep_);
    sendWillApplyToDelegate(true);
    applyImageRepToDirect(imageRep_);
    sendDidApplyToDelegate(true);
    closed_ = true;
}

void BaseFilterSheet::cancel() {
    if (closed_) return;
    sendWillApplyToDelegate(false);
    applyImageRepToDirect(originalImageRep_);
    sendDidApplyToDelegate(false);
    closed_ = true;
}

void BaseFilterSheet::reset() {
    imageRep_ = originalImageRep_;
}

void BaseFilterSheet::applyImageRepToDirect(const Bitmap& bitmap) {
    if (bitmap.width() == directImageRep_.width() && bitmap.height() == directImageRep_.height() &&
        bitmap.format() == directImageRep_.format()) {
        directImageRep_ = bitmap;
        return;
    }
    // The live map changed its size or depth behind the filter's back: draw the result scaled into it.
    if (!isEditableGreyMap(bitmap) || !isEditableGreyMap(directImageRep_)) return;
    const int width = directImageRep_.width(), height = directImageRep_.height();
    for (int y = 0; y < height; ++y) {
        const int sy = std::min(bitmap.height() - 1, static_cast<int>(int64_t(y) * bitmap.height() / height));
        for (int x = 0; x < width; ++x) {
            const int sx =
                std::min(bitmap.width() - 1, static_cast<int>(int64_t(x) * bitmap.width() / width));
            writeFractionTruncated(directImageRep_, x, y, readFraction(bitmap, sx, sy));
        }
    }
}

void BaseFilterSheet::sendWillApplyToDelegate(bool isFinal) {
    if (redrawDelegate_) redrawDelegate_->filterSheetWillAlterBitmapImageRep(isFinal);
}

void BaseFilterSheet::sendDidApplyToDelegate(bool isFinal) {
    if (redrawDelegate_) redrawDelegate_->filterSheetAlteredBitmapImageRep(isFinal);
}

}  // namespace korvane
