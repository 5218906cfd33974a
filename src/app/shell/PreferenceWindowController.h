#pragma once

#include <memory>
#include <vector>

#include <QPointer>
#include <QString>

#include "app/shell/BasePreferencePane.h"

class QActionGroup;
class QMainWindow;
class QStackedWidget;
class QToolBar;

namespace korvane {

// The "Preferences" window: a toolbar of panes and the selected pane's view. One per application,
// made on first use; the window itself is made when first shown. Main thread.
class PreferenceWindowController {
public:
    static PreferenceWindowController& shared();

    // Appends the pane and lets it register its defaults.
    void addPreferencePane(std::unique_ptr<BasePreferencePane> pane);
    BasePreferencePane* paneForIdentifier(const QString& identifier) const;
    const std::vector<std::unique_ptr<BasePreferencePane>>& panes() const { return panes_; }
    void showPaneWithIdentifier(const QString& identifier);
    // Shows the window (made on the first call, with the first pane selected), or brings it forward.
    void showPreferenceWindow();
    QMainWindow* window() const { return window_; }
    // The identifier of the pane shown.
    QString shownPaneIdentifier() const { return shownPane_; }

private:
    PreferenceWindowController() = default;
    void buildWindow();

    std::vector<std::unique_ptr<BasePreferencePane>> panes_;
    QPointer<QMainWindow> window_;
    QStackedWidget* stack_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QActionGroup* paneActions_ = nullptr;
    QString shownPane_;
};

}  // namespace korvane
