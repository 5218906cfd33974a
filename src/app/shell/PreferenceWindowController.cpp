#include "app/shell/PreferenceWindowController.h"

#include <QAction>
#include <QActionGroup>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QStackedWidget>
#include <QToolBar>

namespace korvane {

namespace {
constexpr QSize kEmptyWindowSize{400, 400};
constexpr QSize kPaneSize{460, 220};
}  // namespace

PreferenceWindowController& PreferenceWindowController::shared() {
    static PreferenceWindowController* controller = new PreferenceWindowController;
    return *controller;
}

void PreferenceWindowController::addPreferencePane(std::unique_ptr<BasePreferencePane> pane) {
    pane->setDefaultPreferences();
    panes_.push_back(std::move(pane));
}

BasePreferencePane* PreferenceWindowController::paneForIdentifier(const QString& identifier) const {
    for (const auto& pane : panes_) {
        if (pane->identifier() == identifier) return pane.get();
    }
    return nullptr;
}

void PreferenceWindowController::buildWindow() {
    window_ = new QMainWindow;
    window_->setWindowTitle(QStringLiteral("Preferences"));
    window_->setAttribute(Qt::WA_DeleteOnClose, false);
    toolBar_ = new QToolBar(QStringLiteral("PreferenceWindowToolbar"));
    toolBar_->setObjectName(QStringLiteral("PreferenceWindowToolbar"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar_->setIconSize(QSize(32, 32));
    toolBar_->toggleViewAction()->setVisible(false);
    window_->addToolBar(toolBar_);
    window_->setContextMenuPolicy(Qt::NoContextMenu);
    stack_ = new QStackedWidget;
    window_->setCentralWidget(stack_);
    paneActions_ = new QActionGroup(window_);
    paneActions_->setExclusive(true);
    for (const auto& pane : panes_) {
        QAction* action = toolBar_->addAction(pane->icon(), pane->name());
        action->setCheckable(true);
        action->setData(pane->identifier());
        paneActions_->addAction(action);
        QWidget* view = pane->createContentView();
        view->setObjectName(pane->identifier());
        view->setContentsMargins(16, 12, 16, 12);
        stack_->addWidget(view);
        const QString identifier = pane->identifier();
        QObject::connect(action, &QAction::triggered, window_, [this, identifier] { showPaneWithIdentifier(identifier); });
    }
    window_->resize(panes_.empty() ? kEmptyWindowSize : kPaneSize);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        window_->move(screen->availableGeometry().center() - window_->rect().center());
    }
    if (!panes_.empty()) showPaneWithIdentifier(panes_.front()->identifier());
}

void PreferenceWindowController::showPaneWithIdentifier(const QString& identifier) {
    if (!window_) buildWindow();
    for (int index = 0; index < stack_->count(); ++index) {
        if (stack_->widget(index)->objectName() != identifier) continue;
        if (BasePreferencePane* old = paneForIdentifier(shownPane_); old && shownPane_ != identifier) {
            old->paneWillBeRemoved();
        }
        paneForIdentifier(identifier)->paneWillBeShown();
        stack_->setCurrentIndex(index);
        shownPane_ = identifier;
        for (QAction* action : paneActions_->actions()) action->setChecked(action->data().toString() == identifier);
        // Keep the window's top edge and horizontal centre while it takes the pane's size.
        const QRect before = window_->geometry();
        window_->adjustSize();
        const QSize size = window_->size().expandedTo(kPaneSize);
        window_->setGeometry(before.center().x() - size.width() / 2, before.top(), size.width(), size.height());
        return;
    }
}

void PreferenceWindowController::showPreferenceWindow() {
    if (!window_) buildWindow();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace korvane
