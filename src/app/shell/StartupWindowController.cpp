#include "app/shell/StartupWindowController.h"

#include <QApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/document/MyDocument.h"
#include "app/shell/AppResources.h"
#include "app/shell/MyDocumentController.h"
#include "app/shell/StartupBackgroundView.h"

namespace korvane {

namespace {
constexpr QSize kWindowSize{760, 460};
constexpr QSize kSampleIconSize{96, 60};
constexpr int kShownRecentDocuments = 5;

QString buttonStyle(bool primary) {
    return primary ? QStringLiteral("QPushButton { background: #3d7bd9; color: white; border: none;"
                                    " border-radius: 6px; padding: 8px 14px; font-weight: 600; text-align: left; }"
                                    "QPushButton:hover { background: #4b8ae6; }")
                   : QStringLiteral("QPushButton { background: rgba(255,255,255,30); color: white;"
                                    " border: 1px solid rgba(255,255,255,60); border-radius: 6px; padding: 7px 14px;"
                                    " text-align: left; }"
                                    "QPushButton:hover { background: rgba(255,255,255,55); }"
                                    "QPushButton:disabled { color: rgba(255,255,255,90); }"
                                    "QPushButton::menu-indicator { subcontrol-position: right center; right: 10px; }");
}
}  // namespace

StartupWindowController& StartupWindowController::shared() {
    static StartupWindowController* controller = new StartupWindowController;
    return *controller;
}

StartupWindowController::StartupWindowController() = default;

StartupWindowController::~StartupWindowController() {
    TutorialsController::sharedTutorialsController().removeDelegate(this);
    delete window_;
}

void StartupWindowController::buildWindow() {
    window_ = new QWidget(nullptr, Qt::Window);
    window_->setObjectName(QStringLiteral("StartupWindow"));
    window_->setWindowTitle(QStringLiteral("Welcome to Korvane"));
    window_->setWindowIcon(korvaneIcon("Korvane"));
    window_->setFixedSize(kWindowSize);

    background_ = new StartupBackgroundView(window_);
    background_->setGeometry(window_->rect());

    auto* panel = new QWidget(window_);
    panel->setGeometry(36, 32, 300, kWindowSize.height() - 56);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto* title = new QLabel(QStringLiteral("Korvane"));
    title->setStyleSheet(QStringLiteral("color: white; font-size: 30px; font-weight: 300;"));
    auto* subtitle = new QLabel(QStringLiteral("Sculpt a landscape, light it, render it."));
    subtitle->setStyleSheet(QStringLiteral("color: rgba(255,255,255,190); font-size: 13px;"));
    column->addWidget(title);
    column->addWidget(subtitle);
    column->addSpacing(18);

    auto* newButton = new QPushButton(korvaneIcon("TerrainLayerIcon"), QStringLiteral("New Scene"));
    newButton->setObjectName(QStringLiteral("NewSceneButton"));
    newButton->setStyleSheet(buttonStyle(true));
    connect(newButton, &QPushButton::clicked, this, [] {
        if (auto* controller = MyDocumentController::shared()) controller->newDocument();
    });
    auto* openButton = new QPushButton(themeOrKorvaneIcon(QStringLiteral("document-open"), "KorvaneDocument"),
                                       QStringLiteral("Open…"));
    openButton->setStyleSheet(buttonStyle(false));
    connect(openButton, &QPushButton::clicked, this, [this] {
        if (auto* controller = MyDocumentController::shared()) controller->openDocumentWithDialog(window_);
    });

    samplesButton_ = new QPushButton(korvaneIcon("PreviewRenderToolbarIcon"), QStringLiteral("Sample Scenes…"));
    samplesButton_->setObjectName(QStringLiteral("SampleScenesButton"));
    samplesButton_->setStyleSheet(buttonStyle(false));
    sampleScenesMenu_ = new QMenu(samplesButton_);
    sampleScenesMenu_->setStyleSheet(QStringLiteral("QMenu { icon-size: 96px; } QMenu::item { padding: 6px 18px 6px 8px; }"));
    samplesButton_->setMenu(sampleScenesMenu_);
    connect(sampleScenesMenu_, &QMenu::triggered, this, [](QAction* action) {
        if (auto* controller = MyDocumentController::shared()) controller->openSampleScene(action->data().toString());
    });

    tutorialsButton_ = new QPushButton(korvaneIcon("EditToolbarIcon"), QStringLiteral("Tutorials"));
    tutorialsButton_->setObjectName(QStringLiteral("TutorialsButton"));
    tutorialsButton_->setStyleSheet(buttonStyle(false));
    tutorialsButton_->setEnabled(false);
    tutorialsButton_->setToolTip(QStringLiteral("Tutorials are available when a Korvane service is configured"));

    for (QWidget* button : {static_cast<QWidget*>(newButton), static_cast<QWidget*>(openButton),
                            static_cast<QWidget*>(samplesButton_), static_cast<QWidget*>(tutorialsButton_)}) {
        button->setMinimumHeight(34);
        column->addWidget(button);
    }

    column->addSpacing(14);
    auto* recentTitle = new QLabel(QStringLiteral("Recent Scenes"));
    recentTitle->setStyleSheet(QStringLiteral("color: rgba(255,255,255,170); font-size: 11px; font-weight: 600;"));
    column->addWidget(recentTitle);
    recentList_ = new QListWidget;
    recentList_->setObjectName(QStringLiteral("RecentDocumentsList"));
    recentList_->setStyleSheet(QStringLiteral(
        "QListWidget { background: transparent; border: none; color: white; }"
        "QListWidget::item { padding: 3px 2px; } QListWidget::item:hover { background: rgba(255,255,255,35); }"));
    recentList_->setFocusPolicy(Qt::NoFocus);
    connect(recentList_, &QListWidget::itemActivated, this, [](QListWidgetItem* item) {
        if (auto* controller = MyDocumentController::shared()) controller->openDocument(item->data(Qt::UserRole).toString());
    });
    connect(recentList_, &QListWidget::itemClicked, recentList_, &QListWidget::itemActivated);
    column->addWidget(recentList_, 1);

    auto* quitButton = new QPushButton(QStringLiteral("Quit"), window_);
    quitButton->setStyleSheet(buttonStyle(false));
    quitButton->adjustSize();
    quitButton->move(kWindowSize.width() - quitButton->width() - 20, kWindowSize.height() - quitButton->height() - 18);
    connect(quitButton, &QPushButton::clicked, this, [] {
        if (auto* controller = MyDocumentController::shared()) controller->quit();
        else QApplication::quit();
    });
    window_->installEventFilter(this);

    TutorialsController::sharedTutorialsController().addDelegate(this);
}

void StartupWindowController::fillSampleScenes() {
    sampleScenesMenu_->clear();
    QList<QImage> previews;
    const QString folder = sampleScenesFolder();
    QStringList scenes;
    if (!folder.isEmpty()) {
        QDirIterator files(folder, {QStringLiteral("*.%1").arg(MyDocument::kExtension)}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) scenes.append(files.next());
    }
    scenes.sort(Qt::CaseInsensitive);
    for (const QString& path : scenes) {
        const QFileInfo info(path);
        const QString previewPath = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".png");
        QImage preview(previewPath);
        QAction* item = sampleScenesMenu_->addAction(info.completeBaseName());
        item->setData(path);
        if (!preview.isNull()) {
            item->setIcon(QIcon(QPixmap::fromImage(preview.scaled(kSampleIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation))));
            previews.append(preview);
        }
    }
    samplesButton_->setEnabled(!scenes.isEmpty());
    background_->setImages(previews);
}

void StartupWindowController::fillRecentDocuments() {
    recentList_->clear();
    const QStringList recent = MyDocumentController::shared() ? MyDocumentController::shared()->recentDocuments() : QStringList();
    for (const QString& path : recent.mid(0, kShownRecentDocuments)) {
        auto* item = new QListWidgetItem(korvaneIcon("KorvaneDocument"), QFileInfo(path).completeBaseName(), recentList_);
        item->setData(Qt::UserRole, path);
        item->setToolTip(path);
    }
    if (recent.isEmpty()) {
        auto* item = new QListWidgetItem(QStringLiteral("No recent scenes"), recentList_);
        item->setFlags(Qt::NoItemFlags);
    }
}

bool StartupWindowController::eventFilter(QObject* watched, QEvent* event) {
    // Closing the start-up window while no document is open ends the application.
    if (watched == window_ && event->type() == QEvent::Close) {
        background_->stopAnimation();
        auto* controller = MyDocumentController::shared();
        if (controller && controller->documentWindows().isEmpty()) {
            QTimer::singleShot(0, controller, &MyDocumentController::quit);
        }
    }
    return QObject::eventFilter(watched, event);
}

void StartupWindowController::show() {
    if (!window_) buildWindow();
    fillSampleScenes();
    fillRecentDocuments();
    TutorialsController& tutorials = TutorialsController::sharedTutorialsController();
    if (tutorials.isUpToDate()) tutorialsHaveBeenUpdated();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        window_->move(screen->availableGeometry().center() - window_->rect().center());
    }
    background_->startAnimation();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void StartupWindowController::hide() {
    if (!window_) return;
    background_->stopAnimation();
    window_->hide();
}

bool StartupWindowController::isVisible() const { return window_ && window_->isVisible(); }

void StartupWindowController::tutorialsHaveBeenUpdated() {
    if (!window_) return;
    QMenu* menu = TutorialsController::sharedTutorialsController().tutorialsMenuIncludingTopLevelItem(false, tutorialsButton_);
    if (QMenu* old = tutorialsButton_->menu()) old->deleteLater();
    tutorialsButton_->setMenu(menu);
    tutorialsButton_->setEnabled(menu != nullptr);
    tutorialsButton_->setToolTip(QString());
}

void StartupWindowController::tutorialsUpdateFailed() {
    if (tutorialsButton_) tutorialsButton_->setEnabled(false);
}

}  // namespace korvane
