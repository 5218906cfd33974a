// The window that shows a tutorial's web page, with a pull-down of all available tutorials.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QUrl>

#include "app/shell/TutorialsController.h"

class QToolBar;
class QToolButton;
class QWebEngineView;

namespace korvane {

// One shared window. Its interface (toolbar and web view) is built on first open, so creating the
// window costs no web engine. Follows the shared tutorials controller to keep its pull-down's menu
// current. Main thread only.
class TutorialsWindow final : public QMainWindow, public TutorialsControllerDelegate {
    Q_OBJECT

public:
    // The shared window, created on first use; it is destroyed when the application is about to
    // quit (a web view must not outlive the application object).
    static TutorialsWindow& sharedTutorialsWindow();

    explicit TutorialsWindow(QWidget* parent = nullptr);
    ~TutorialsWindow() override;

    // Builds the interface on first use; centres the window when it is not visible; shows the
    // placeholder page while no tutorial has been loaded; brings the window to the front.
    void openTutorialWindow();
    // openTutorialWindow(), then loads the tutorial's page (http and https addresses only).
    void openTutorialWithDictionary(const QString& name, const QUrl& url);

    // TutorialsControllerDelegate: the pull-down follows the list.
    void tutorialsHaveBeenUpdated() override;
    void tutorialsUpdateFailed() override;

private:
    void buildInterface();
    void updateTutorialsPopUp();

    QToolBar* toolbar_ = nullptr;            // "TutorialsWindow"
    QToolButton* tutorialsPopUp_ = nullptr;  // "TutorialsPopUp"
    QWebEngineView* webView_ = nullptr;      // created with the interface
    bool hasLoadedPage_ = false;
};

}  // namespace korvane
