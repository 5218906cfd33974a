// The desktop application's tests run inside one QApplication on the offscreen platform, with the
// settings of a private temporary folder, so no test sees or changes the user's own.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/shell/RenderWorkers.h"
#include "foundation/MainThreadDispatcher.h"
#include "foundation/QtMainThreadDispatcher.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // No request may leave the machine from a test.
    qunsetenv("KORVANE_SERVICE_URL");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    QApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
    korvane::MainThreadDispatcher::setShared(std::make_unique<korvane::QtMainThreadDispatcher>());
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    // Renders the tests started and aborted finish before the statics they use are destroyed.
    korvane::waitForRenderWorkers();
    return status;
}
