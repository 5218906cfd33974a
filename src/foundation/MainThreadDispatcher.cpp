#include "foundation/MainThreadDispatcher.h"

#include <future>
#include <utility>
#include <vector>

namespace korvane {

namespace {

// The installed dispatcher and the ones it replaced. Replaced dispatchers stay alive because another
// thread may have taken a reference from shared() just before the swap. The registry itself is never
// destroyed, so shared() stays usable from static destructors and threads still running at exit.
class DispatcherRegistry {
public:
    MainThreadDispatcher& current() {
        std::lock_guard lock(mutex_);
        if (!current_) current_ = std::make_unique<SynchronousDispatcher>();
        return *current_;
    }

    void install(std::unique_ptr<MainThreadDispatcher> dispatcher) {
        if (!dispatcher) dispatcher = std::make_unique<SynchronousDispatcher>();
        std::lock_guard lock(mutex_);
        if (current_) retired_.push_back(std::move(current_));
        current_ = std::move(dispatcher);
    }

private:
    std::mutex mutex_;
    std::unique_ptr<MainThreadDispatcher> current_;
    std::vector<std::unique_ptr<MainThreadDispatcher>> retired_;
};

DispatcherRegistry& registry() {
    static DispatcherRegistry* instance = new DispatcherRegistry;
    return *instance;
}

// Creates the default dispatcher while static objects are initialised, which happens on the main
// thread, so that the default SynchronousDispatcher's main thread is the real one and not whichever
// thread happens to ask first.
[[maybe_unused]] const bool kDefaultDispatcherCreated = (registry().current(), true);

// A task that fulfils a promise once it ran. Dropping the task unrun breaks the promise, which also
// wakes the waiter, so a waiting thread is never left behind by a dispatcher that goes away.
std::function<void()> signallingTask(std::function<void()> task, std::future<void>& finished) {
    auto done = std::make_shared<std::promise<void>>();
    finished = done->get_future();
    return [task = std::move(task), done] {
        task();
        done->set_value();
    };
}

}  // namespace

MainThreadDispatcher::~MainThreadDispatcher() = default;

MainThreadDispatcher& MainThreadDispatcher::shared() {
    return registry().current();
}

void MainThreadDispatcher::setShared(std::unique_ptr<MainThreadDispatcher> dispatcher) {
    registry().install(std::move(dispatcher));
}

SynchronousDispatcher::SynchronousDispatcher() : mainThread_(std::this_thread::get_id()) {}

SynchronousDispatcher::~SynchronousDispatcher() {
    // Destroyed outside the lock: a dropped task's captures may run arbitrary destructors.
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(queue_);
    }
}

void SynchronousDispatcher::post(std::function<void()> task) {
    if (!task) return;
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
}

void SynchronousDispatcher::postAndWait(std::function<void()> task) {
    if (!task) return;
    if (isMainThread()) {
        task();
        return;
    }
    std::future<void> finished;
    post(signallingTask(std::move(task), finished));
    finished.wait();
}

size_t SynchronousDispatcher::runPending() {
    size_t ran = 0;
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) break;
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        task();
        ++ran;
    }
    return ran;
}

size_t SynchronousDispatcher::pendingCount() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

bool SynchronousDispatcher::isMainThread() const {
    return std::this_thread::get_id() == mainThread_;
}

}  // namespace korvane
