#pragma once

#include <functional>
#include <memory>

#include "foundation/MainThreadDispatcher.h"

class QObject;

namespace korvane {

// A dispatcher that runs tasks on the thread of the QCoreApplication's event loop, for the app and the
// CLI. Tasks are delivered as queued calls to a context object living in that thread, in posting order,
// when the event loop runs. postAndWait on the main thread runs inline; from another thread it blocks
// until the event loop ran the task, or until the task was dropped because the context object went
// away (the dispatcher destroyed, or the application quitting without delivering it).
class QtMainThreadDispatcher final : public MainThreadDispatcher {
public:
    // Binds to the QCoreApplication's thread; without an application, to the calling thread. Create it
    // after the QCoreApplication. Any thread, best the main thread.
    QtMainThreadDispatcher();
    // Drops undelivered tasks (their waiters are released). Main thread, with no other thread inside a call.
    ~QtMainThreadDispatcher() override;

    // Queues task for the main thread's event loop; the dispatcher owns task until it ran. Any thread.
    void post(std::function<void()> task) override;
    // Inline on the main thread; elsewhere queues task and waits until the event loop ran it. Any thread.
    void postAndWait(std::function<void()> task) override;

    // Whether the calling thread is the thread the tasks run on. Any thread.
    bool isMainThread() const;

private:
    std::unique_ptr<QObject> context_;
};

}  // namespace korvane
