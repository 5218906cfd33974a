#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QAction;
class QPrinter;

namespace korvane {

class MainWindow;
class MyDocument;

// One entry of a view controller's toolbar: an action, or a space between actions.
struct ToolbarItem {
    enum class Kind { Action, Space, FlexibleSpace };
    QString identifier;
    Kind kind = Kind::Action;
    QAction* action = nullptr;  // owned by the controller; null for spaces

    static ToolbarItem space() { return {QStringLiteral("Space"), Kind::Space, nullptr}; }
    static ToolbarItem flexibleSpace() { return {QStringLiteral("FlexibleSpace"), Kind::FlexibleSpace, nullptr}; }
};

// The content of a document window: the editor, the full render view or the preview render view.
// The window shows one at a time, tells it when it will and did show or hide, and builds its
// toolbar from the controller's items. Main thread.
class BaseViewController : public QWidget {
    Q_OBJECT
public:
    // document is not owned and outlives the controller.
    explicit BaseViewController(MyDocument* document, QWidget* parent = nullptr);

    MyDocument* myDocument() const { return document_; }
    // The window that hosts the document (null while the controller has no window, in tests).
    MainWindow* mainWindow() const;

    virtual void viewControllerWillShow() {}
    virtual void viewControllerDidShow() {}
    virtual void viewControllerWillHide() {}
    virtual void viewControllerDidHide() {}

    // The toolbar, in order; the actions belong to the controller.
    virtual QList<ToolbarItem> defaultToolbarItems() { return {}; }
    // Enables or disables the toolbar's actions for the controller's present state.
    virtual void validateToolbarItems() {}
    // The action of a toolbar item by identifier (null when the controller has none).
    QAction* toolbarAction(const QString& identifier);

    // Whether the File menu's Print applies to what this controller shows, and the printing itself.
    virtual bool canBePrinted() const { return false; }
    // Prints onto an already configured printer; false when there is nothing to print.
    virtual bool printTo(QPrinter& printer) {
        (void)printer;
        return false;
    }

signals:
    // The controller's printability or toolbar state changed; the window revalidates its menus.
    void stateChanged();

private:
    MyDocument* document_;
};

}  // namespace korvane
