#pragma once

#include <atomic>
#include <memory>

#include <QString>

#include "app/sheets/BaseSheet.h"
#include "editing/BaseFilterSheet.h"

class QDialogButtonBox;
class QFormLayout;
class QProgressBar;
class QTimer;
class QWidget;

namespace korvane {

// The desktop side of a whole-map filter: a sheet that drives one of src/editing's filters. Every
// control change recomputes the filter from the unfiltered map and shows it live in the map; OK keeps
// the result of the current settings as one undo step, Cancel puts the map back byte for byte.
//
// The filter runs on a worker thread, so a large map or many erosion drops never freeze the window:
// the worker computes into the filter's private working copy, and only the main thread copies the
// result into the live map (and tells the redraw delegate). A control change while a computation runs
// stops it and starts again with the latest settings, so changes never pile up. While a computation
// runs, the sheet shows a progress bar (or a busy bar for filters that cannot tell their progress).
// OK waits for the result of the current settings before keeping it; Cancel stops the worker at its
// next check and restores the map. The sheet deletes itself once it has closed. Main thread.
class MapFilterSheet : public BaseSheet {
    Q_OBJECT
public:
    // Stops a running computation; the live map is left as it is (the sheet closes through ok or
    // cancel in normal use; this covers a window closed under an open sheet).
    ~MapFilterSheet() override;

    QString title() const override;

    // Keeps the result of the current settings as one undoable change and closes; when that result is
    // not shown yet, it is computed first and kept when it arrives (the controls are locked meanwhile).
    void ok();
    // Stops the computation, restores the map as it was when the sheet opened, leaves no undo step,
    // closes.
    void cancel();

    // Whether a computation runs on the worker now.
    bool isComputing() const { return computation_ != nullptr; }
    // Whether the live map shows the result of the current settings.
    bool isPreviewUpToDate() const { return shownVersion_ == settingsVersion_; }
    // Whether OK has been pressed and waits for its result.
    bool isConfirming() const { return okPending_; }
    // Worker threads of all filter sheets that have not finished yet (a worker counts itself out as
    // its last step). Any thread.
    static int runningComputations();

protected:
    // Takes the filter, which works on the map the opener passed.
    MapFilterSheet(std::unique_ptr<BaseFilterSheet> filter, QWidget* parent);

    BaseFilterSheet& filter() { return *filter_; }
    // Adds the sheet's own controls to the form; their changes call valueChanged (or, for controls
    // that only mark the preview stale, valueChangedWithoutRedisplay).
    virtual void buildControls(QFormLayout* form) = 0;
    // Copies the controls' values into the filter. Called on the main thread only while no
    // computation runs, right before one starts.
    virtual void applyControlsToFilter() = 0;
    // Whether the filter reports how far it has come (a progress bar) or not (a busy bar).
    virtual bool reportsProgress() const { return false; }
    // Tells a subclass that the computing or up-to-date state changed (to update its own controls).
    virtual void stateChanged() {}

    // A control changed: recompute with the new settings (restarting a running computation).
    void valueChanged();
    // A control changed, but the preview is only marked stale; OK recomputes it before keeping it.
    void valueChangedWithoutRedisplay();
    // Recompute with the same settings (filters whose every run differs show a fresh one).
    void recompute();

    void buildInterface() final;
    void sheetDidAppear() override;
    // Escape and the window's close button cancel.
    void reject() override;

private:
    struct Computation;

    void startComputation();
    void stopComputation();
    // The timer's tick: progress, and taking over a finished computation.
    void pollComputation();
    void finishOk();
    void updateState();

    std::unique_ptr<BaseFilterSheet> filter_;
    std::unique_ptr<Computation> computation_;
    // Settings are versioned: every control change counts up; a computation remembers the version it
    // started with, and the preview shown is up to date when its version is the current one.
    int settingsVersion_ = 0;
    int shownVersion_ = -1;
    bool wantsComputation_ = false;
    bool okPending_ = false;
    bool didAppear_ = false;
    bool closed_ = false;
    QWidget* controls_ = nullptr;
    QProgressBar* progressIndicator_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
    QTimer* pollTimer_ = nullptr;
};

}  // namespace korvane
