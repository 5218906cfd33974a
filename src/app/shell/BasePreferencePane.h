#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

namespace korvane {

// One pane of the preferences window: a name and icon for the window's toolbar, the view that
// edits its user-defaults keys, and the defaults it registers. Main thread.
class BasePreferencePane {
public:
    virtual ~BasePreferencePane() = default;

    virtual QString name() const = 0;
    virtual QString identifier() const = 0;
    virtual QIcon icon() const = 0;
    // The pane's view, made on first use and owned by the caller (the preferences window).
    virtual QWidget* createContentView() = 0;
    // Registers the pane's defaults where they are absent; called when the pane is added.
    virtual void setDefaultPreferences() {}
    virtual void paneWillBeShown() {}
    virtual void paneWillBeRemoved() {}
};

}  // namespace korvane
