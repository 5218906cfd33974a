#pragma once

#include <memory>

#include <QMainWindow>
#include <QPointer>

class QAction;
class QMenu;
class QToolBar;
class QPropertyAnimation;

namespace korvane {

class BaseViewController;
class EditViewController;
class MyDocument;
class PreviewRenderViewController;
class RenderViewController;

// One window per document. It owns the document and its three view controllers (the editor, the
// full render view and the preview render view), shows one of them at a time with a short fade,
// and always shows the toolbar of the controller shown. Its menus offer the document commands
// (new, open, recent, save, save as, revert, print, close), undo and redo, and the views.
// Main thread.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Takes the document (which may already have been read from a file).
    explicit MainWindow(std::unique_ptr<MyDocument> document);
    ~MainWindow() override;

    MyDocument& document() const { return *document_; }

    // Drops the three controllers, makes new ones for the document's scene and shows the editor.
    void rebuildViewControllers();
    // Will-hide / did-hide the shown controller (its view fades out over 0.5 s), then will-show /
    // did-show the new one, and the toolbar becomes the new controller's. Null shows nothing.
    void setCurrentViewController(BaseViewController* controller);
    BaseViewController* currentViewController() const { return currentViewController_; }
    EditViewController* editViewController() const { return editViewController_; }
    RenderViewController* renderViewController() const { return renderViewController_; }
    PreviewRenderViewController* previewRenderViewController() const { return previewRenderViewController_; }
    // The toolbar of the controller shown.
    QToolBar* currentToolBar() const { return toolBar_; }

    // The document commands; each answers whether it did what it says (false when cancelled or failed).
    bool saveDocument();
    bool saveDocumentAs();
    // Saves to path without asking (the same as Save As with path chosen).
    bool saveDocumentTo(const QString& path);
    void revertDocument();
    // Prints what the shown controller shows, after the print dialog.
    void printDocument();
    // Undo and redo of the document's undo manager.
    void undo();
    void redo();

    // The menu actions, for the application controller and the tests.
    QAction* printAction() const { return printAction_; }
    QAction* undoAction() const { return undoAction_; }
    QAction* redoAction() const { return redoAction_; }
    QAction* revertAction() const { return revertAction_; }

    // Revalidates the menu items (undo names, print, revert) and the shown controller's toolbar.
    void validateMenus();

signals:
    // The window has closed; the application controller forgets it.
    void documentClosed(MainWindow* window);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void rebuildToolBar();
    void updateWindowTitle();
    // Asks whether to save a changed document; false when the user cancels.
    bool confirmClose();
    void finishFade();

    std::unique_ptr<MyDocument> document_;
    QWidget* container_ = nullptr;
    EditViewController* editViewController_ = nullptr;
    RenderViewController* renderViewController_ = nullptr;
    PreviewRenderViewController* previewRenderViewController_ = nullptr;
    BaseViewController* currentViewController_ = nullptr;
    QPointer<BaseViewController> fadingViewController_;
    QPointer<QPropertyAnimation> fadeAnimation_;
    QToolBar* toolBar_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QAction* printAction_ = nullptr;
    QAction* revertAction_ = nullptr;
    QAction* saveAction_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    bool closing_ = false;
};

}  // namespace korvane
