#include "foundation/QtMainThreadDispatcher.h"

#include <future>
#include <utility>

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace korvane {

QtMainThreadDispatcher::QtMainThreadDispatcher() : context_(std::make_unique<QObject>()) {
    if (QCoreApplication* application = QCoreApplication::instance()) {
        if (context_->thread() != application->thread()) context_->moveToThread(application->thread());
    }
}

QtMainThreadDispatcher::~QtMainThreadDispatcher() {
    // Deleting the context object drops the calls still queued for it; their tasks are destroyed unrun,
    // which releases any thread waiting in postAndWait. An object may only be deleted in its own thread.
    if (QThread::currentThread() != context_->thread()) context_.release()->deleteLater();
}

void QtMainThreadDispatcher::post(std::function<void()> task) {
    if (!task) return;
    QMetaObject::invokeMethod(context_.get(), std::move(task), Qt::QueuedConnection);
}

void QtMainThreadDispatcher::postAndWait(std::function<void()> task) {
    if (!task) return;
    if (isMainThread()) {
        task();
        return;
    }
    // Waiting on our own promise rather than a blocking queued connection: a call that is dropped
    // undelivered destroys the functor, which breaks the promise and wakes this thread.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    QMetaObject::invokeMethod(
        context_.get(),
        [task = std::move(task), done] {
            task();
            done->set_value();
        },
        Qt::QueuedConnection);
    finished.wait();
}

bool QtMainThreadDispatcher::isMainThread() const {
    return QThread::currentThread() == context_->thread();
}

}  // namespace korvane
