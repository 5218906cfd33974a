#include "renderer/YafarayRenderer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "app/shell/RenderWorkers.h"

namespace korvane {

void waitForRenderWorkers(int limitMs) {
    QElapsedTimer timer;
    timer.start();
    while (YafarayRenderer::activeWorkerCount() > 0 && timer.elapsed() < limitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    QCoreApplication::processEvents();
}

}  // namespace korvane
