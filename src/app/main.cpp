// korvane-app: the desktop application. Files named on the command line open as documents.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <unistd.h>

#include "app/shell/AppResources.h"
#include "app/shell/MyDocumentController.h"
#include "app/shell/RenderWorkers.h"
#include "foundation/MemoryReuse.h"
#include "foundation/QtMainThreadDispatcher.h"
#include "foundation/SettingsUserDefaults.h"
#include "scene/SceneLayerRegistry.h"

int main(int argc, char** argv) {
    korvane::keepFreedMemoryForReuse();
    // The tutorials window's web engine shares OpenGL contexts with the widgets, and its sandbox
    // cannot start for the root user.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX") && geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    QApplication::setOrganizationName(QStringLiteral("Korvane"));
    QApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("korvane"));
    QApplication::setWindowIcon(korvane::korvaneIcon("Korvane"));
    // The last document window closing brings the start-up window back instead of quitting.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Models landscapes and renders them as photorealistic stills."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Scene documents (.korvane) to open."),
                                 QStringLiteral("[FILE...]"));
    parser.process(application);

    korvane::MainThreadDispatcher::setShared(std::make_unique<korvane::QtMainThreadDispatcher>());
    korvane::UserDefaults::setStandard(std::make_unique<korvane::SettingsUserDefaults>());
    korvane::registerSceneClasses();

    korvane::MyDocumentController controller;
    QStringList files;
    for (const QString& file : parser.positionalArguments()) files.append(QFileInfo(file).absoluteFilePath());
    controller.applicationDidFinishLaunching(files);
    const int status = application.exec();
    korvane::waitForRenderWorkers();
    return status;
}
