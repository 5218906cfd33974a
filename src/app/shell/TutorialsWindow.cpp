#include "app/shell/TutorialsWindow.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QWebEngineView>

namespace korvane {

namespace {

constexpr const char* kToolbarIdentifier = "TutorialsWindow";
constexpr const char* kTutorialsPopUpIdentifier = "TutorialsPopUp";
constexpr const char* kTutorialsPopUpLabel = "All available Tutorials";
constexpr QSize kTutorialsPopUpSize(200, 32);
constexpr QSize kWindowSize(1024, 768);

// Shown until the user picks a tutorial: one centred block of grey text below the toolbar.
constexpr const char* kPlaceholderPage =
    "<html><head><meta charset=\"utf-8\"></head><body>"
    "<div style=\"position: absolute; left: 50%; top: 200px; width: 300px; height: 150px; "
    "margin-left: -150px; text-align: center; font-size: 30px; color: #aaa;\">"
    "Please select a tutorial from the button above."
    "</div></body></html>";

QPointer<TutorialsWindow> sharedWindow;

}  // namespace

TutorialsWindow& TutorialsWindow::sharedTutorialsWindow() {
    if (!sharedWindow) {
        sharedWindow = new TutorialsWindow();
        QObject::connect(
            qApp, &QCoreApplication::aboutToQuit, qApp, [] { delete sharedWindow.data(); },
            Qt::SingleShotConnection);
    }
    return *sharedWindow;
}

TutorialsWindow::TutorialsWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(tr("Tutorials"));
    resize(kWindowSize);
    TutorialsController::sharedTutorialsController().addDelegate(this);
}

TutorialsWindow::~TutorialsWindow() {
    TutorialsController::sharedTutorialsController().removeDelegate(this);
}

void TutorialsWindow::buildInterface() {
    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName(QString::fromLatin1(kToolbarIdentifier));
    toolbar_->setWindowTitle(tr("Tutorials"));
    // A fixed toolbar: it can be neither moved, floated nor hidden from its context menu.
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->toggleViewAction()->setVisible(false);
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setContextMenuPolicy(Qt::NoContextMenu);

    tutorialsPopUp_ = new QToolButton(toolbar_);
    tutorialsPopUp_->setObjectName(QString::fromLatin1(kTutorialsPopUpIdentifier));
    tutorialsPopUp_->setText(QString::fromLatin1(kTutorialsPopUpLabel));
    tutorialsPopUp_->setToolTip(QString::fromLatin1(kTutorialsPopUpLabel));
    tutorialsPopUp_->setPopupMode(QToolButton::InstantPopup);
    tutorialsPopUp_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tutorialsPopUp_->setFixedSize(kTutorialsPopUpSize);
    toolbar_->addWidget(tutorialsPopUp_);
    addToolBar(Qt::TopToolBarArea, toolbar_);
    updateTutorialsPopUp();

    webView_ = new QWebEngineView(this);
    setCentralWidget(webView_);
}

void TutorialsWindow::updateTutorialsPopUp() {
    if (!tutorialsPopUp_) return;
    QMenu* previous = tutorialsPopUp_->menu();
    QMenu* menu = TutorialsController::sharedTutorialsController().tutorialsMenuIncludingTopLevelItem(
        true, tutorialsPopUp_);
    tutorialsPopUp_->setMenu(menu);
    // Without a list there is nothing to pull down.
    tutorialsPopUp_->setEnabled(menu != nullptr);
    if (previous) previous->deleteLater();
}

void TutorialsWindow::openTutorialWindow() {
    if (!webView_) buildInterface();
    TutorialsController& tutorials = TutorialsController::sharedTutorialsController();
    // Opened before the index arrived (or after a failed fetch): try again; the pull-down fills
    // in when the list arrives.
    if (!tutorials.isUpToDate()) tutorials.startQueryTutorials();
    if (!isVisible()) {
        if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
            setGeometry(
                QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
        }
    }
    if (!hasLoadedPage_) {
        webView_->setHtml(QString::fromLatin1(kPlaceholderPage));
        hasLoadedPage_ = true;
    }
    show();
    raise();
    activateWindow();
}

void TutorialsWindow::openTutorialWithDictionary(const QString& name, const QUrl& url) {
    Q_UNUSED(name);  // the menu's title; the window keeps its own
    openTutorialWindow();
    // The index comes from the network: only web pages are shown, never local files or scripts.
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))) {
        webView_->load(url);
    }
}

void TutorialsWindow::tutorialsHaveBeenUpdated() {
    updateTutorialsPopUp();
}

void TutorialsWindow::tutorialsUpdateFailed() {
    updateTutorialsPopUp();
}

}  // namespace korvane
