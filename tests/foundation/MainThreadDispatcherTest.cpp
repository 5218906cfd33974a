#include "foundation/MainThreadDispatcher.h"
#include "foundation/QtMainThreadDispatcher.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

namespace korvane {
namespace {

using namespace std::chrono_literals;

// Waits up to a few seconds for condition; true when it became true.
template <typename Condition>
bool eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------
// SynchronousDispatcher

TEST(SynchronousDispatcherTest, PostQueuesUntilRunPendingRunsInOrder) {
    SynchronousDispatcher dispatcher;
    std::vector<int> order;
    for (int i = 0; i < 3; ++i) dispatcher.post([&order, i] { order.push_back(i); });
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(dispatcher.pendingCount(), 3u);
    EXPECT_EQ(dispatcher.runPending(), 3u);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(dispatcher.pendingCount(), 0u);
}

TEST(SynchronousDispatcherTest, RunPendingAlsoRunsWhatTasksPost) {
    SynchronousDispatcher dispatcher;
    std::vector<int> order;
    dispatcher.post([&] {
        order.push_back(1);
        dispatcher.post([&] { order.push_back(3); });
    });
    dispatcher.post([&] { order.push_back(2); });
    EXPECT_EQ(dispatcher.runPending(), 3u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(SynchronousDispatcherTest, PostAndWaitOnTheMainThreadRunsInline) {
    SynchronousDispatcher dispatcher;
    bool ran = false;
    dispatcher.postAndWait([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(dispatcher.pendingCount(), 0u);
}

TEST(SynchronousDispatcherTest, PostAndWaitFromAWorkerBlocksUntilTheMainThreadRanIt) {
    SynchronousDispatcher dispatcher;
    std::thread::id ranOn;
    std::atomic<bool> returned = false;
    std::thread worker([&] {
        EXPECT_FALSE(dispatcher.isMainThread());
        dispatcher.postAndWait([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
    });
    ASSERT_TRUE(eventually([&] { return dispatcher.pendingCount() == 1; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(returned.load());
    EXPECT_EQ(dispatcher.runPending(), 1u);
    worker.join();
    EXPECT_TRUE(returned.load());
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(SynchronousDispatcherTest, DestroyingTheDispatcherReleasesAWaitingWorkerWithoutRunningItsTask) {
    auto dispatcher = std::make_unique<SynchronousDispatcher>();
    std::atomic<bool> ran = false;
    std::thread worker([&, raw = dispatcher.get()] { raw->postAndWait([&] { ran = true; }); });
    ASSERT_TRUE(eventually([&] { return dispatcher->pendingCount() == 1; }));
    dispatcher.reset();
    worker.join();
    EXPECT_FALSE(ran.load());
}

TEST(SynchronousDispatcherTest, ManyWorkersPostingLoseNothing) {
    SynchronousDispatcher dispatcher;
    constexpr int kWorkers = 4;
    constexpr int kPerWorker = 500;
    std::vector<std::vector<int>> seen(kWorkers);
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < kPerWorker; ++i) dispatcher.post([&seen, w, i] { seen[w].push_back(i); });
        });
    }
    for (std::thread& worker : workers) worker.join();
    dispatcher.runPending();
    for (const std::vector<int>& values : seen) {
        ASSERT_EQ(values.size(), static_cast<size_t>(kPerWorker));
        for (int i = 0; i < kPerWorker; ++i)
            ASSERT_EQ(values[i], i) << "tasks of one thread ran out of order";
    }
}

// ---------------------------------------------------------------------------------------------------
// The shared dispatcher

TEST(SharedDispatcherTest, ResettingInstallsASynchronousDispatcher) {
    MainThreadDispatcher::setShared(nullptr);
    auto* synchronous = dynamic_cast<SynchronousDispatcher*>(&MainThreadDispatcher::shared());
    ASSERT_NE(synchronous, nullptr);
    EXPECT_TRUE(synchronous->isMainThread());
}

TEST(SharedDispatcherTest, ReplacedDispatcherStaysUsable) {
    auto installed = std::make_unique<SynchronousDispatcher>();
    SynchronousDispatcher* first = installed.get();
    MainThreadDispatcher::setShared(std::move(installed));
    MainThreadDispatcher& before = MainThreadDispatcher::shared();
    EXPECT_EQ(&before, first);
    MainThreadDispatcher::setShared(std::make_unique<SynchronousDispatcher>());
    EXPECT_NE(&MainThreadDispatcher::shared(), first);
    // A reference taken before the swap still works.
    bool ran = false;
    before.post([&] { ran = true; });
    first->runPending();
    EXPECT_TRUE(ran);
}

TEST(SharedDispatcherTest, ThreadsAskingAtOnceSeeTheSameDispatcher) {
    MainThreadDispatcher::setShared(nullptr);
    std::vector<MainThreadDispatcher*> seen(8);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < seen.size(); ++t) {
        threads.emplace_back([&seen, t] { seen[t] = &MainThreadDispatcher::shared(); });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(std::set<MainThreadDispatcher*>(seen.begin(), seen.end()).size(), 1u);
    EXPECT_EQ(seen.front(), &MainThreadDispatcher::shared());
}

// ---------------------------------------------------------------------------------------------------
// QtMainThreadDispatcher

class QtMainThreadDispatcherTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!QCoreApplication::instance()) application_ = new QCoreApplication(argc_, argv_);
    }
    static void TearDownTestSuite() {
        delete application_;
        application_ = nullptr;
    }

    // Runs the event loop until a task posted by some thread calls quit, or times out; true on quit.
    static bool runEventLoopUntilQuit(QEventLoop& loop) {
        bool timedOut = false;
        QTimer::singleShot(10000, &loop, [&] {
            timedOut = true;
            loop.quit();
        });
        loop.exec();
        return !timedOut;
    }

private:
    static inline int argc_ = 1;
    static inline char name_[] = "foundation_tests";
    static inline char* argv_[] = {name_, nullptr};
    static inline QCoreApplication* application_ = nullptr;
};

TEST_F(QtMainThreadDispatcherTest, PostedTasksRunInOrderWhenTheEventLoopRuns) {
    QtMainThreadDispatcher dispatcher;
    std::vector<int> order;
    for (int i = 0; i < 3; ++i) dispatcher.post([&order, i] { order.push_back(i); });
    EXPECT_TRUE(order.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST_F(QtMainThreadDispatcherTest, PostAndWaitOnTheMainThreadRunsInline) {
    QtMainThreadDispatcher dispatcher;
    EXPECT_TRUE(dispatcher.isMainThread());
    bool ran = false;
    dispatcher.postAndWait([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST_F(QtMainThreadDispatcherTest, PostAndWaitFromAWorkerRunsOnTheMainThreadBeforeReturning) {
    QtMainThreadDispatcher dispatcher;
    QEventLoop loop;
    const std::thread::id mainThread = std::this_thread::get_id();
    std::thread::id ranOn;
    int valueSeenByWorker = 0;
    std::thread worker([&] {
        int value = 0;
        dispatcher.postAndWait([&] {
            ranOn = std::this_thread::get_id();
            value = 42;
        });
        valueSeenByWorker = value;
        dispatcher.post([&] { loop.quit(); });
    });
    const bool quit = runEventLoopUntilQuit(loop);
    worker.join();
    EXPECT_TRUE(quit);
    EXPECT_EQ(ranOn, mainThread);
    EXPECT_EQ(valueSeenByWorker, 42);
}

TEST_F(QtMainThreadDispatcherTest, TasksPostedByAWorkerKeepTheirOrder) {
    QtMainThreadDispatcher dispatcher;
    QEventLoop loop;
    std::vector<int> order;
    bool allOnMainThread = true;
    const std::thread::id mainThread = std::this_thread::get_id();
    std::thread worker([&] {
        EXPECT_FALSE(dispatcher.isMainThread());
        for (int i = 0; i < 200; ++i) {
            dispatcher.post([&, i] {
                allOnMainThread = allOnMainThread && std::this_thread::get_id() == mainThread;
                order.push_back(i);
            });
        }
        dispatcher.post([&] { loop.quit(); });
    });
    const bool quit = runEventLoopUntilQuit(loop);
    worker.join();
    ASSERT_TRUE(quit);
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(order[i], i);
    EXPECT_TRUE(allOnMainThread);
}

TEST_F(QtMainThreadDispatcherTest, DispatcherCreatedOnAWorkerStillTargetsTheApplicationThread) {
    std::unique_ptr<QtMainThreadDispatcher> dispatcher;
    std::thread([&] { dispatcher = std::make_unique<QtMainThreadDispatcher>(); }).join();
    EXPECT_TRUE(dispatcher->isMainThread());
    bool ran = false;
    dispatcher->post([&] { ran = true; });
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
}

TEST_F(QtMainThreadDispatcherTest, DestroyingTheDispatcherDropsUndeliveredTasks) {
    auto dispatcher = std::make_unique<QtMainThreadDispatcher>();
    bool ran = false;
    dispatcher->post([&] { ran = true; });
    dispatcher.reset();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace korvane
