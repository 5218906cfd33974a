#pragma once

#include <atomic>
#include <string>

#include "foundation/Bitmap.h"

namespace korvane {

// Told by a filter before and after it changes the live map; isFinal is true only for the confirmed,
// undoable change (EditMapSceneController implements it for the editor views).
class FilterRedrawDelegate {
public:
    virtual ~FilterRedrawDelegate();
    virtual void filterSheetWillAlterBitmapImageRep(bool isFinal) = 0;
    virtual void filterSheetAlteredBitmapImageRep(bool isFinal) = 0;
};

// The UI-free model of a filter sheet: a whole-map filter previewed live in the document's map and
// confirmed as one undoable change or cancelled without a trace. Every preview starts again from the
// map as it was when the filter was created, so moving a control back and forth does not accumulate.
// Subclasses hold the controls' values and implement applyFunctionToImageRep. The desktop sheet calls
// sheetDidAppear when shown, valueChanged on every control change, and ok or cancel. Main thread only.
class BaseFilterSheet {
public:
    // Keeps two copies of directImageRep (the working copy and the original) and a reference to the live
    // map itself, which must outlive the filter and stay at its address. The delegate (not owned, may be
    // null) is told about every change of the live map.
    BaseFilterSheet(Bitmap& directImageRep, FilterRedrawDelegate* redrawDelegate);
    virtual ~BaseFilterSheet();
    BaseFilterSheet(const BaseFilterSheet&) = delete;
    BaseFilterSheet& operator=(const BaseFilterSheet&) = delete;

    virtual std::string title() const { return {}; }

    const Bitmap& imageRep() const { return imageRep_; }
    const Bitmap& originalImageRep() const { return originalImageRep_; }
    const Bitmap& directImageRep() const { return directImageRep_; }

    // Preview: recompute from the original and show the result in the live map, leaving no undo step.
    virtual void valueChanged();
    // Keep the last preview's result as one undoable change (the filter is not run again). Closes.
    virtual void ok();
    // Put the original back; no undo step remains. Closes.
    void cancel();
    // Previews once, as the sheet does when it is shown.
    void sheetDidAppear() { valueChanged(); }
    // Whether ok or cancel has run; a closed filter ignores every further call.
    bool isClosed() const { return closed_; }

    // The preview in two halves, for a sheet that computes off the main thread. computePreview sets the
    // working copy back to the original and runs the filter on it; it touches neither the live map nor
    // the delegate, so it may run on a worker thread as long as nobody else calls the filter meanwhile.
    // Raising `stop` (from any thread) cuts a long filter short; computePreview then returns false and
    // the working copy is incomplete: compute again before showing or confirming it. showPreview (main
    // thread) shows the working copy in the live map, bracketed as a preview like valueChanged.
    bool computePreview(const std::atomic<bool>* stop = nullptr);
    virtual void showPreview();
    // The share of the running computation done, 0 to 1, for filters that report it. Any thread.
    float progress() const { return progress_.load(std::memory_order_relaxed); }

protected:
    // The filter proper: reads originalImageRep() and the controls, writes imageRep(). Base: nothing.
    virtual void applyFunctionToImageRep() {}
    Bitmap& mutableImageRep() { return imageRep_; }

    // The working copy set back to the original.
    void reset();
    // Copies bitmap into the live map (scaled by nearest sample if the sizes differ).
    void applyImageRepToDirect(const Bitmap& bitmap);
    void sendWillApplyToDelegate(bool isFinal);
    void sendDidApplyToDelegate(bool isFinal);
    // For long filters: whether the caller of computePreview asked to stop (checked from any of the
    // filter's tasks), and how far the computation has come.
    bool stopRequested() const { return stop_ && stop_->load(std::memory_order_relaxed); }
    void reportProgress(float fraction) { progress_.store(fraction, std::memory_order_relaxed); }

private:
    Bitmap imageRep_;
    Bitmap originalImageRep_;
    Bitmap& directImageRep_;
    FilterRedrawDelegate* redrawDelegate_;
    bool closed_ = false;
    const std::atomic<bool>* stop_ = nullptr;
    std::atomic<float> progress_{0.0f};
};

}  // namespace korvane
