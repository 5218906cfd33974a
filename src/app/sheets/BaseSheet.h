#pragma once

#include <QDialog>
#include <QString>

namespace korvane {

class BaseSheet;

// Told when a sheet is about to close, whether it was confirmed or cancelled.
class BaseSheetDelegate {
public:
    virtual ~BaseSheetDelegate() = default;
    virtual void sheetWillClose(BaseSheet& sheet) { (void)sheet; }
};

// The base of every modal panel over a document window (render settings, filters, auto-fill,
// material, texture, light, cloud and mesh sheets): a window-modal dialog. The subclass builds its
// widgets in buildInterface(), called once before the sheet first shows, and applies its first
// preview in sheetDidAppear(). Main thread.
class BaseSheet : public QDialog {
    Q_OBJECT
public:
    explicit BaseSheet(QWidget* parent = nullptr);

    BaseSheetDelegate* delegate() const { return delegate_; }
    void setDelegate(BaseSheetDelegate* delegate) { delegate_ = delegate; }

    // Builds the interface if needed and shows the sheet window-modally over `window`; returns at once.
    void openAsSheetModalForWindow(QWidget* window);
    // Tells the delegate sheetWillClose, then hides the sheet. Confirm and cancel end here.
    void close();

    // The title shown in the sheet's window.
    virtual QString title() const = 0;

protected:
    // Creates the widgets; called once.
    virtual void buildInterface() = 0;
    // Called each time the sheet has been shown.
    virtual void sheetDidAppear() {}
    // Escape and the window's close button cancel through close().
    void reject() override;
    void showEvent(QShowEvent* event) override;

private:
    void ensureInterface();
    BaseSheetDelegate* delegate_ = nullptr;
    bool interfaceBuilt_ = false;
};

}  // namespace korvane
