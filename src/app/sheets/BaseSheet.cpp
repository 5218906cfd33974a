#include "app/sheets/BaseSheet.h"

#include <QTimer>

namespace korvane {

BaseSheet::BaseSheet(QWidget* parent) : QDialog(parent) {
    setWindowModality(Qt::WindowModal);
}

void BaseSheet::ensureInterface() {
    if (interfaceBuilt_) return;
    interfaceBuilt_ = true;
    buildInterface();
    setWindowTitle(title());
}

void BaseSheet::openAsSheetModalForWindow(QWidget* window) {
    ensureInterface();
    if (window && parentWidget() != window) setParent(window, windowFlags() | Qt::Sheet | Qt::Dialog);
    setWindowModality(Qt::WindowModal);
    open();
}

void BaseSheet::close() {
    if (delegate_) delegate_->sheetWillClose(*this);
    hide();
    setResult(QDialog::Rejected);
}

void BaseSheet::reject() { close(); }

void BaseSheet::showEvent(QShowEvent* event) {
    ensureInterface();
    QDialog::showEvent(event);
    // After the window is on screen, so a first preview renders at the sheet's real size.
    QTimer::singleShot(0, this, [this] {
        if (isVisible()) sheetDidAppear();
    });
}

}  // namespace korvane
