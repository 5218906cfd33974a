#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace korvane {

class MainWindow;

// The application controller: starts the application, owns the document windows, keeps the
// recent-documents list and brings the start-up window back when the last document closes.
// One instance, made by main (or a test) after the QApplication. Main thread.
class MyDocumentController : public QObject {
    Q_OBJECT
public:
    // The user-defaults keys the shell reads and writes.
    static constexpr const char* kStartupActionKey = "startupAction";
    static constexpr const char* kRecentDocumentsKey = "recentDocuments";
    static constexpr int kMaximumRecentDocuments = 10;
    // The delay after a window closes before the start-up window may come back, in milliseconds.
    static constexpr int kStartupWindowReopenDelayMs = 100;

    MyDocumentController();
    ~MyDocumentController() override;
    // The one controller, or null before it was made.
    static MyDocumentController* shared();

    // Start-up: tutorials, render settings completed (full at level 3, preview at level 1), the
    // preference panes, the most recent document when startupAction asks for it, the files given on
    // the command line, the start-up window when no document is open, then the first-launch notice.
    void applicationDidFinishLaunching(const QStringList& filesToOpen = {});
    // Whether launching should open a new untitled document: only when startupAction is 1 and there
    // is no recent document to reopen.
    static bool applicationShouldOpenUntitledFile();

    // A new untitled document in its own window, shown.
    MainWindow* newDocument();
    // Opens the file in a window (or brings its window forward when it is open already). A file
    // that fails to open shows its name and the reason, and no window is left; null then.
    MainWindow* openDocument(const QString& path);
    // Asks for a scene file and opens it.
    void openDocumentWithDialog(QWidget* parent = nullptr);
    // Opens a sample scene as an untitled copy: saving asks for a place, and it never enters the
    // recent documents.
    MainWindow* openSampleScene(const QString& path);

    const QList<MainWindow*>& documentWindows() const { return windows_; }
    // The most recent first; files that no longer exist are left out.
    QStringList recentDocuments() const;
    // Puts path first in the recent documents; sample scenes are ignored.
    void noteNewRecentDocument(const QString& path);
    void clearRecentDocuments();
    // The message of the last failure to open a file (for the tests and the log).
    QString lastOpenError() const { return lastOpenError_; }

    // Shows the start-up window when no document is open.
    void checkIfStartupWindowNeedsReopen();
    // Closes every document window (each may ask to save, and cancelling stops the quit), then
    // ends the application.
    void quit();
    void openPreferences();
    void openTutorials();

signals:
    void recentDocumentsChanged();

private:
    MainWindow* adoptWindow(MainWindow* window);
    void windowClosed(MainWindow* window);
    static bool isSampleScene(const QString& path);

    QList<MainWindow*> windows_;
    QString lastOpenError_;
};

}  // namespace korvane
