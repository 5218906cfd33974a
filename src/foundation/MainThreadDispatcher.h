#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace korvane {

// Runs work on the main thread, where the model changes and notifications are posted. The app and the
// CLI install a QtMainThreadDispatcher; tests and simple tools use the SynchronousDispatcher, which
// is also the default.
class MainThreadDispatcher {
public:
    virtual ~MainThreadDispatcher();

    // Queues task to run later on the main thread; tasks run in the order they were posted, never inside
    // this call. The dispatcher owns task until it ran. Any thread.
    virtual void post(std::function<void()> task) = 0;

    // Runs task on the main thread and returns after it ran: inline when called on the main thread,
    // otherwise queued behind what was posted before, blocking the caller meanwhile. Returns early, with
    // task not run, only if the dispatcher drops it unrun (destroyed or shut down). Any thread, but a
    // main thread that waits for the calling thread deadlocks.
    virtual void postAndWait(std::function<void()> task) = 0;

    // The process-wide dispatcher (a SynchronousDispatcher owned by the main thread until one is
    // installed). Returns a reference to an object owned by this class that stays valid until the
    // process ends, even across setShared. Any thread.
    static MainThreadDispatcher& shared();

    // Installs dispatcher as the process-wide one and takes ownership (null installs a fresh
    // SynchronousDispatcher owned by the calling thread). The one it replaces is kept alive, not
    // destroyed, because other threads may still hold it; it runs nothing more unless someone drives it.
    // Any thread; usually the main thread at start-up.
    static void setShared(std::unique_ptr<MainThreadDispatcher> dispatcher);
};

// A dispatcher without an event loop, for tests and simple tools. The thread that creates it is its
// main thread. post only queues; runPending runs the queue on the calling thread. postAndWait from the
// main thread runs inline; from another thread it queues the task and blocks until a runPending ran it.
// Destroying the dispatcher drops what is still queued and releases the threads waiting on it.
class SynchronousDispatcher final : public MainThreadDispatcher {
public:
    // Makes the calling thread this dispatcher's main thread. Any thread.
    SynchronousDispatcher();
    // Drops the queued tasks unrun; no other thread may be inside a call on it. Main thread.
    ~SynchronousDispatcher() override;

    // Queues task (owned by the dispatcher until it ran). Any thread.
    void post(std::function<void()> task) override;
    // Inline on the main thread; elsewhere queues task and waits until runPending ran it. Any thread.
    void postAndWait(std::function<void()> task) override;

    // Runs queued tasks in order on the calling thread, including tasks they post, until the queue is
    // empty. Returns how many ran. Main thread (from any other thread the tasks would run off the main
    // thread).
    size_t runPending();
    // Number of tasks queued and not yet started; a snapshot. Any thread.
    size_t pendingCount() const;
    // Whether the calling thread is this dispatcher's main thread. Any thread.
    bool isMainThread() const;

private:
    const std::thread::id mainThread_;
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
};

}  // namespace korvane
