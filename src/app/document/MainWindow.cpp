#include "app/document/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPropertyAnimation>
#include <QScreen>
#include <QToolBar>

#include "app/document/MyDocument.h"
#include "app/editor/EditViewController.h"
#include "app/render/PreviewRenderViewController.h"
#include "app/render/RenderViewController.h"
#include "app/shell/AppResources.h"
#include "app/shell/MyDocumentController.h"
#include "app/shell/TutorialsController.h"
#include "app/views/BaseSceneView.h"

namespace korvane {

namespace {
constexpr int kFadeDurationMs = 500;
constexpr QSize kPreferredSize{1280, 800};
constexpr QSize kMinimumSize{960, 620};
constexpr int kFixedSpaceWidth = 16;
}  // namespace

MainWindow::MainWindow(std::unique_ptr<MyDocument> document) : document_(std::move(document)) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    document_->setMainWindow(this);
    setWindowIcon(korvaneIcon("Korvane"));
    setMinimumSize(kMinimumSize);
    QSize size = kPreferredSize;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        size = size.boundedTo(available.size() - QSize(40, 60));
        resize(size);
        move(available.center() - rect().center());
    } else {
        resize(size);
    }
    container_ = new QWidget;
    container_->setObjectName(QStringLiteral("ViewControllerContainer"));
    setCentralWidget(container_);
    container_->installEventFilter(this);
    setUnifiedTitleAndToolBarOnMac(true);

    buildMenus();
    connect(document_.get(), &MyDocument::editedChanged, this, [this] {
        updateWindowTitle();
        validateMenus();
    });
    connect(document_.get(), &MyDocument::fileNameChanged, this, &MainWindow::updateWindowTitle);
    connect(document_.get(), &MyDocument::sceneReplaced, this, &MainWindow::rebuildViewControllers);
    rebuildViewControllers();
    updateWindowTitle();
}

MainWindow::~MainWindow() {
    // Controllers abort their renders when hidden; do it before the document goes.
    if (currentViewController_) setCurrentViewController(nullptr);
    finishFade();
    delete editViewController_;
    delete renderViewController_;
    delete previewRenderViewController_;
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* newAction = file->addAction(themeOrKorvaneIcon(QStringLiteral("document-new"), "KorvaneDocument"),
                                         QStringLiteral("&New Scene"), QKeySequence::New, this, [] {
                                             if (auto* c = MyDocumentController::shared()) c->newDocument();
                                         });
    newAction->setObjectName(QStringLiteral("NewAction"));
    file->addAction(QIcon::fromTheme(QStringLiteral("document-open")), QStringLiteral("&Open…"), QKeySequence::Open,
                    this, [this] {
                        if (auto* c = MyDocumentController::shared()) c->openDocumentWithDialog(this);
                    });
    recentMenu_ = file->addMenu(QStringLiteral("Open &Recent"));
    connect(recentMenu_, &QMenu::aboutToShow, this, [this] {
        recentMenu_->clear();
        auto* c = MyDocumentController::shared();
        const QStringList recent = c ? c->recentDocuments() : QStringList();
        for (const QString& path : recent) {
            QAction* item = recentMenu_->addAction(QFileInfo(path).fileName(), this, [path] {
                if (auto* c = MyDocumentController::shared()) c->openDocument(path);
            });
            item->setToolTip(path);
        }
        if (recent.isEmpty()) recentMenu_->addAction(QStringLiteral("No Recent Scenes"))->setEnabled(false);
        recentMenu_->addSeparator();
        recentMenu_->addAction(QStringLiteral("Clear Menu"), this, [] {
            if (auto* c = MyDocumentController::shared()) c->clearRecentDocuments();
        })->setEnabled(!recent.isEmpty());
    });
    file->addSeparator();
    file->addAction(QStringLiteral("&Close"), QKeySequence::Close, this, &QWidget::close);
    saveAction_ = file->addAction(QIcon::fromTheme(QStringLiteral("document-save")), QStringLiteral("&Save"),
                                  QKeySequence::Save, this, &MainWindow::saveDocument);
    file->addAction(QIcon::fromTheme(QStringLiteral("document-save-as")), QStringLiteral("Save &As…"),
                    QKeySequence::SaveAs, this, &MainWindow::saveDocumentAs);
    revertAction_ = file->addAction(QIcon::fromTheme(QStringLiteral("document-revert")), QStringLiteral("Re&vert to Saved"),
                                    this, &MainWindow::revertDocument);
    file->addSeparator();
    printAction_ = file->addAction(QIcon::fromTheme(QStringLiteral("document-print")), QStringLiteral("&Print…"),
                                   QKeySequence::Print, this, &MainWindow::printDocument);
    file->addSeparator();
    QAction* quit = file->addAction(QIcon::fromTheme(QStringLiteral("application-exit")), QStringLiteral("&Quit"),
                                    QKeySequence::Quit, this, [] {
                                        if (auto* c = MyDocumentController::shared()) c->quit();
                                    });
    quit->setMenuRole(QAction::QuitRole);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    undoAction_ = edit->addAction(QIcon::fromTheme(QStringLiteral("edit-undo")), QStringLiteral("&Undo"),
                                  QKeySequence::Undo, this, &MainWindow::undo);
    redoAction_ = edit->addAction(QIcon::fromTheme(QStringLiteral("edit-redo")), QStringLiteral("&Redo"),
                                  QKeySequence(QStringLiteral("Ctrl+Shift+Z")), this, &MainWindow::redo);
    edit->addSeparator();
    QAction* preferences = edit->addAction(QIcon::fromTheme(QStringLiteral("preferences-system")),
                                           QStringLiteral("Pre&ferences…"), QKeySequence::Preferences, this, [] {
                                               if (auto* c = MyDocumentController::shared()) c->openPreferences();
                                           });
    preferences->setMenuRole(QAction::PreferencesRole);
    connect(edit, &QMenu::aboutToShow, this, &MainWindow::validateMenus);
    connect(file, &QMenu::aboutToShow, this, &MainWindow::validateMenus);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addAction(korvaneIcon("EditToolbarIcon"), QStringLiteral("&Editor"), QKeySequence(QStringLiteral("Ctrl+1")),
                    this, [this] { setCurrentViewController(editViewController_); });
    view->addAction(korvaneIcon("PreviewRenderToolbarIcon"), QStringLiteral("&Preview Render"),
                    QKeySequence(QStringLiteral("Ctrl+2")), this,
                    [this] { setCurrentViewController(previewRenderViewController_); });
    view->addAction(korvaneIcon("RenderToolbarIcon"), QStringLiteral("&Full Render"),
                    QKeySequence(QStringLiteral("Ctrl+R")), this,
                    [this] { setCurrentViewController(renderViewController_); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* tutorials = help->addAction(QStringLiteral("&Tutorials…"), this, [] {
        if (auto* c = MyDocumentController::shared()) c->openTutorials();
    });
    connect(help, &QMenu::aboutToShow, this, [tutorials] {
        tutorials->setEnabled(TutorialsController::sharedTutorialsController().isUpToDate());
    });
    help->addAction(QStringLiteral("&About Korvane"), this, [this] {
        QMessageBox::about(this, QStringLiteral("About Korvane"),
                           QStringLiteral("<h3>Korvane %1</h3><p>Landscapes modelled and rendered as photorealistic "
                                          "stills.</p>")
                               .arg(QCoreApplication::applicationVersion()));
    });
}

void MainWindow::rebuildViewControllers() {
    setCurrentViewController(nullptr);
    finishFade();
    delete editViewController_;
    delete renderViewController_;
    delete previewRenderViewController_;
    editViewController_ = new EditViewController(document_.get(), container_);
    renderViewController_ = new RenderViewController(document_.get(), container_);
    previewRenderViewController_ = new PreviewRenderViewController(document_.get(), container_);
    for (BaseViewController* controller : {static_cast<BaseViewController*>(editViewController_),
                                           static_cast<BaseViewController*>(renderViewController_),
                                           static_cast<BaseViewController*>(previewRenderViewController_)}) {
        controller->hide();
        connect(controller, &BaseViewController::stateChanged, this, &MainWindow::validateMenus);
    }
    setCurrentViewController(editViewController_);
}

void MainWindow::finishFade() {
    if (fadeAnimation_) {
        fadeAnimation_->stop();
        delete fadeAnimation_;
    }
    if (fadingViewController_) {
        fadingViewController_->hide();
        fadingViewController_->setGraphicsEffect(nullptr);
    }
    fadingViewController_ = nullptr;
}

void MainWindow::setCurrentViewController(BaseViewController* controller) {
    if (controller == currentViewController_ && controller) return;
    finishFade();
    if (BaseViewController* old = currentViewController_) {
        old->viewControllerWillHide();
        // The old view fades out over the new one; it is hidden when the fade ends.
        if (controller && isVisible()) {
            auto* effect = new QGraphicsOpacityEffect(old);
            effect->setOpacity(1.0);
            old->setGraphicsEffect(effect);
            old->raise();
            auto* animation = new QPropertyAnimation(effect, "opacity", this);
            animation->setDuration(kFadeDurationMs);
            animation->setStartValue(1.0);
            animation->setEndValue(0.0);
            fadingViewController_ = old;
            fadeAnimation_ = animation;
            connect(animation, &QPropertyAnimation::finished, this, [this] { finishFade(); });
            animation->start();
        } else {
            old->hide();
        }
        old->viewControllerDidHide();
        currentViewController_ = nullptr;
    }
    if (controller) {
        currentViewController_ = controller;
        controller->viewControllerWillShow();
        controller->setGeometry(container_->rect());
        controller->show();
        if (fadingViewController_) controller->stackUnder(fadingViewController_);
        controller->viewControllerDidShow();
    }
    rebuildToolBar();
    validateMenus();
}

void MainWindow::rebuildToolBar() {
    if (toolBar_) {
        removeToolBar(toolBar_);
        toolBar_->deleteLater();
        toolBar_ = nullptr;
    }
    if (!currentViewController_) return;
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QString::fromLatin1(currentViewController_->metaObject()->className()).section(QStringLiteral("::"), -1));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar_->setIconSize(QSize(32, 32));
    toolBar_->toggleViewAction()->setVisible(false);
    toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
    for (const ToolbarItem& item : currentViewController_->defaultToolbarItems()) {
        switch (item.kind) {
        case ToolbarItem::Kind::Action:
            if (item.action) toolBar_->addAction(item.action);
            break;
        case ToolbarItem::Kind::Space: {
            auto* space = new QWidget;
            space->setFixedWidth(kFixedSpaceWidth);
            toolBar_->addWidget(space);
            break;
        }
        case ToolbarItem::Kind::FlexibleSpace: {
            auto* space = new QWidget;
            space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            toolBar_->addWidget(space);
            break;
        }
        }
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
    toolBar_->show();
}

void MainWindow::validateMenus() {
    UndoManager& undoManager = document_->undoManager();
    const bool canUndo = undoManager.canUndo();
    const bool canRedo = undoManager.canRedo();
    const std::string undoName = canUndo ? undoManager.undoActionName() : std::string();
    const std::string redoName = canRedo ? undoManager.redoActionName() : std::string();
    undoAction_->setEnabled(canUndo);
    undoAction_->setText(undoName.empty() ? QStringLiteral("&Undo") : QStringLiteral("&Undo %1").arg(QString::fromStdString(undoName)));
    redoAction_->setEnabled(canRedo);
    redoAction_->setText(redoName.empty() ? QStringLiteral("&Redo") : QStringLiteral("&Redo %1").arg(QString::fromStdString(redoName)));
    printAction_->setEnabled(currentViewController_ && currentViewController_->canBePrinted());
    revertAction_->setEnabled(!document_->fileName().isEmpty() && document_->isEdited());
    if (currentViewController_) currentViewController_->validateToolbarItems();
}

void MainWindow::undo() {
    document_->undoManager().undo();
    NotificationCenter::defaultCenter().post(BaseSceneView::kUndoOrRedoCalledNotificationName, &document_->undoManager());
    validateMenus();
}

void MainWindow::redo() {
    document_->undoManager().redo();
    NotificationCenter::defaultCenter().post(BaseSceneView::kUndoOrRedoCalledNotificationName, &document_->undoManager());
    validateMenus();
}

void MainWindow::updateWindowTitle() {
    setWindowTitle(document_->displayName() + QStringLiteral("[*] — Korvane"));
    setWindowFilePath(document_->fileName());
    setWindowModified(document_->isEdited());
}

bool MainWindow::saveDocument() {
    if (document_->fileName().isEmpty()) return saveDocumentAs();
    return saveDocumentTo(document_->fileName());
}

bool MainWindow::saveDocumentAs() {
    QString suggested = document_->fileName();
    if (suggested.isEmpty()) suggested = document_->displayName() + QStringLiteral(".") + MyDocument::kExtension;
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Scene"), suggested,
                                                      QStringLiteral("Korvane scenes (*.%1)").arg(MyDocument::kExtension));
    if (path.isEmpty()) return false;
    return saveDocumentTo(path);
}

bool MainWindow::saveDocumentTo(const QString& chosenPath) {
    QString path = chosenPath;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".") + MyDocument::kExtension;
    QString error;
    if (!document_->saveToFile(path, &error)) {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Korvane"),
                                    QStringLiteral("The document could not be saved as “%1”.").arg(QFileInfo(path).fileName()),
                                    QMessageBox::Ok, this);
        box->setInformativeText(error);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->show();
        return false;
    }
    if (auto* controller = MyDocumentController::shared()) controller->noteNewRecentDocument(path);
    validateMenus();
    return true;
}

void MainWindow::revertDocument() {
    if (document_->fileName().isEmpty()) return;
    const auto answer = QMessageBox::question(
        this, QStringLiteral("Revert to Saved"),
        QStringLiteral("Revert “%1” to the last saved version? Your current changes will be lost.").arg(document_->displayName()),
        QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Discard) return;
    QString error;
    if (!document_->revertToSaved(&error)) QMessageBox::warning(this, QStringLiteral("Revert to Saved"), error);
}

void MainWindow::printDocument() {
    if (!currentViewController_ || !currentViewController_->canBePrinted()) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(document_->displayName());
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    currentViewController_->printTo(printer);
}

bool MainWindow::confirmClose() {
    if (!document_->isEdited()) return true;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Korvane"),
                    QStringLiteral("Do you want to save the changes you made to “%1”?").arg(document_->displayName()),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setInformativeText(QStringLiteral("Your changes will be lost if you don’t save them."));
    box.setDefaultButton(QMessageBox::Save);
    box.setWindowModality(Qt::WindowModal);
    switch (box.exec()) {
    case QMessageBox::Save:
        return saveDocument();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!closing_ && !confirmClose()) {
        event->ignore();
        return;
    }
    closing_ = true;
    setCurrentViewController(nullptr);
    event->accept();
    Q_EMIT documentClosed(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The views fill the content area; the fading one keeps the same size while it fades.
    if (watched == container_ && event->type() == QEvent::Resize) {
        for (QWidget* view : container_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            view->setGeometry(container_->rect());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace korvane
