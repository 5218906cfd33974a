#pragma once

#include <QPointer>
#include <QWidget>

#include "app/shell/TutorialsController.h"

class QListWidget;
class QMenu;
class QPushButton;

namespace korvane {

class StartupBackgroundView;

// The window shown when no document is open: new scene, open, the sample scenes with their
// previews, recent documents and tutorials over a slowly moving background of sample renders.
// One per application. Main thread.
class StartupWindowController final : public QObject, public TutorialsControllerDelegate {
    Q_OBJECT
public:
    static StartupWindowController& shared();
    ~StartupWindowController() override;

    // Centres and shows the window, starts the background, fills the sample and recent lists.
    void show();
    // Stops the background and closes the window.
    void hide();
    bool isVisible() const;
    QWidget* window() const { return window_; }

    // The "Sample Scenes…" pop-up's menu: one item per sample scene document, titled by its file
    // name without extension, with its PNG preview as image and the path as data.
    QMenu* sampleScenesMenu() const { return sampleScenesMenu_; }
    QPushButton* tutorialsButton() const { return tutorialsButton_; }

    void tutorialsHaveBeenUpdated() override;
    void tutorialsUpdateFailed() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    StartupWindowController();
    void buildWindow();
    void fillSampleScenes();
    void fillRecentDocuments();

    QPointer<QWidget> window_;
    StartupBackgroundView* background_ = nullptr;
    QPushButton* samplesButton_ = nullptr;
    QMenu* sampleScenesMenu_ = nullptr;
    QPushButton* tutorialsButton_ = nullptr;
    QListWidget* recentList_ = nullptr;
};

}  // namespace korvane
