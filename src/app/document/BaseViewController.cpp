#include "app/document/BaseViewController.h"

#include <QAction>

#include "app/document/MainWindow.h"

namespace korvane {

BaseViewController::BaseViewController(MyDocument* document, QWidget* parent)
    : QWidget(parent), document_(document) {}

MainWindow* BaseViewController::mainWindow() const {
    return qobject_cast<MainWindow*>(window());
}

QAction* BaseViewController::toolbarAction(const QString& identifier) {
    for (const ToolbarItem& item : defaultToolbarItems()) {
        if (item.identifier == identifier) return item.action;
    }
    return nullptr;
}

}  // namespace korvane
