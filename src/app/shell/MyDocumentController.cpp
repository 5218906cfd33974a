#include "app/shell/MyDocumentController.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

#include "app/document/MainWindow.h"
#include "app/document/MyDocument.h"
#include "app/shell/AppResources.h"
#include "app/shell/PreferencePanes.h"
#include "app/shell/PreferenceWindowController.h"
#include "app/shell/ServiceConfiguration.h"
#include "app/shell/StartupWindowController.h"
#include "app/shell/TutorialsController.h"
#include "app/shell/TutorialsWindow.h"
#include "foundation/UserDefaults.h"
#include "renderer/YafarayRenderer.h"

namespace korvane {

namespace {
MyDocumentController* sharedController = nullptr;

// The folder name under which the design keeps its sample scenes; ours also counts.
constexpr const char* kSampleSceneLibraryFolder = "SampleSceneLibrary";

void completeRenderSettings(const char* key, int level) {
    UserDefaults& defaults = UserDefaults::standard();
    DefaultsDictionary stored = defaults.dictionaryForKey(key);
    defaults.setDictionary(key, YafarayRenderer::updateSettingsInDictionary(&stored, level, false));
}
}  // namespace

MyDocumentController::MyDocumentController() { sharedController = this; }

MyDocumentController::~MyDocumentController() {
    // Windows still open when the controller goes (tests) close without asking.
    for (MainWindow* window : QList<MainWindow*>(windows_)) {
        disconnect(window, nullptr, this, nullptr);
        delete window;
    }
    if (sharedController == this) sharedController = nullptr;
}

MyDocumentController* MyDocumentController::shared() { return sharedController; }

void MyDocumentController::applicationDidFinishLaunching(const QStringList& filesToOpen) {
    TutorialsController::sharedTutorialsController().startQueryTutorials();
    completeRenderSettings("fullRenderSettings", 3);
    completeRenderSettings("previewRenderSettings", 1);

    PreferenceWindowController& preferences = PreferenceWindowController::shared();
    if (!preferences.paneForIdentifier(PreferencePaneEditor::kIdentifier)) {
        preferences.addPreferencePane(std::make_unique<PreferencePaneEditor>());
        preferences.addPreferencePane(std::make_unique<PreferencePanePreview>());
    }

    const QStringList recent = recentDocuments();
    if (UserDefaults::standard().integerForKey(kStartupActionKey) == 1) {
        if (!recent.isEmpty()) openDocument(recent.first());
        else if (filesToOpen.isEmpty()) newDocument();
    }
    for (const QString& path : filesToOpen) openDocument(path);
    if (windows_.isEmpty()) StartupWindowController::shared().show();

    runFirstLaunchCheck();
}

bool MyDocumentController::applicationShouldOpenUntitledFile() {
    if (UserDefaults::standard().integerForKey(kStartupActionKey) != 1) return false;
    return !sharedController || sharedController->recentDocuments().isEmpty();
}

MainWindow* MyDocumentController::adoptWindow(MainWindow* window) {
    windows_.append(window);
    connect(window, &MainWindow::documentClosed, this, &MyDocumentController::windowClosed);
    StartupWindowController::shared().hide();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

MainWindow* MyDocumentController::newDocument() {
    return adoptWindow(new MainWindow(std::make_unique<MyDocument>()));
}

MainWindow* MyDocumentController::openDocument(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    for (MainWindow* window : windows_) {
        if (!window->document().fileName().isEmpty() &&
            QFileInfo(window->document().fileName()).absoluteFilePath() == absolute) {
            window->raise();
            window->activateWindow();
            return window;
        }
    }
    auto document = std::make_unique<MyDocument>();
    QString error;
    if (!document->readFromFile(absolute, &error)) {
        lastOpenError_ = error;
        std::fprintf(stdout, "Could not open %s\n", qPrintable(error));
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Korvane"),
                                    QStringLiteral("The document “%1” could not be opened.")
                                        .arg(QFileInfo(absolute).fileName()),
                                    QMessageBox::Ok);
        box->setInformativeText(error);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
        if (windows_.isEmpty()) checkIfStartupWindowNeedsReopen();
        return nullptr;
    }
    noteNewRecentDocument(absolute);
    const std::vector<std::string> repairs = document->document().repairs();
    MainWindow* window = adoptWindow(new MainWindow(std::move(document)));
    // Values the file stored out of range, or damaged maps, were repaired while opening: tell the
    // user which, before they save over the file.
    if (!repairs.empty()) {
        QStringList lines;
        for (const std::string& repair : repairs) lines.append(QString::fromStdString(repair));
        auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Korvane"),
                                    QStringLiteral("“%1” was repaired while opening.").arg(QFileInfo(absolute).fileName()),
                                    QMessageBox::Ok, window);
        box->setInformativeText(QStringLiteral("The file itself is unchanged until you save the document."));
        box->setDetailedText(lines.join(QLatin1Char('\n')));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->show();
    }
    return window;
}

void MyDocumentController::openDocumentWithDialog(QWidget* parent) {
    const QString path = QFileDialog::getOpenFileName(parent, QStringLiteral("Open Scene"), QString(),
                                                      QStringLiteral("Korvane scenes (*.%1)").arg(MyDocument::kExtension));
    if (!path.isEmpty()) openDocument(path);
}

MainWindow* MyDocumentController::openSampleScene(const QString& path) {
    auto document = std::make_unique<MyDocument>();
    QString error;
    if (!document->readFromFile(path, &error)) {
        lastOpenError_ = error;
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Korvane"),
                                    QStringLiteral("The sample scene could not be opened."), QMessageBox::Ok);
        box->setInformativeText(error);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
        return nullptr;
    }
    // An untitled copy: saving asks for a new place instead of writing into the samples.
    document->setFileName(QString());
    return adoptWindow(new MainWindow(std::move(document)));
}

bool MyDocumentController::isSampleScene(const QString& path) {
    if (path.contains(QLatin1String(kSampleSceneLibraryFolder))) return true;
    const QString samples = sampleScenesFolder();
    if (samples.isEmpty()) return false;
    const QString folder = QDir(QFileInfo(samples).canonicalFilePath()).absolutePath() + QLatin1Char('/');
    return QFileInfo(path).canonicalFilePath().startsWith(folder);
}

QStringList MyDocumentController::recentDocuments() const {
    const QString stored = QString::fromStdString(UserDefaults::standard().stringForKey(kRecentDocumentsKey));
    QStringList recent;
    for (const QString& path : stored.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (QFileInfo::exists(path)) recent.append(path);
    }
    return recent;
}

void MyDocumentController::noteNewRecentDocument(const QString& path) {
    if (isSampleScene(path)) return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList recent = recentDocuments();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    while (recent.size() > kMaximumRecentDocuments) recent.removeLast();
    UserDefaults::standard().setString(kRecentDocumentsKey, recent.join(QLatin1Char('\n')).toStdString());
    Q_EMIT recentDocumentsChanged();
}

void MyDocumentController::clearRecentDocuments() {
    UserDefaults::standard().removeObjectForKey(kRecentDocumentsKey);
    Q_EMIT recentDocumentsChanged();
}

void MyDocumentController::windowClosed(MainWindow* window) {
    windows_.removeAll(window);
    window->deleteLater();
    QTimer::singleShot(kStartupWindowReopenDelayMs, this, &MyDocumentController::checkIfStartupWindowNeedsReopen);
}

void MyDocumentController::checkIfStartupWindowNeedsReopen() {
    if (windows_.isEmpty()) StartupWindowController::shared().show();
}

void MyDocumentController::quit() {
    for (MainWindow* window : QList<MainWindow*>(windows_)) {
        if (!window->close()) return;
    }
    StartupWindowController::shared().hide();
    QApplication::quit();
}

void MyDocumentController::openPreferences() { PreferenceWindowController::shared().showPreferenceWindow(); }

void MyDocumentController::openTutorials() { TutorialsWindow::sharedTutorialsWindow().openTutorialWindow(); }

}  // namespace korvane
