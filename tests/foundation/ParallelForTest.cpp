#include "foundation/ParallelFor.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace korvane {
namespace {

// The distinct threads a loop over [0, count) ran its body on.
std::set<std::thread::id> threadsUsedBy(int count) {
    std::mutex mutex;
    std::set<std::thread::id> used;
    parallelFor(0, count, [&](int) {
        volatile double sink = 0;
        for (int i = 0; i < 2000; ++i) sink = sink + i;
        std::lock_guard lock(mutex);
        used.insert(std::this_thread::get_id());
    });
    return used;
}

TEST(ParallelForTest, EveryIndexRunsExactlyOnce) {
    constexpr int kBegin = -17;
    constexpr int kEnd = 20000;
    std::vector<std::atomic<int>> runs(kEnd - kBegin);
    parallelFor(kBegin, kEnd, [&](int i) { runs[i - kBegin].fetch_add(1, std::memory_order_relaxed); });
    for (size_t i = 0; i < runs.size(); ++i) ASSERT_EQ(runs[i].load(), 1) << "index " << (kBegin + int(i));
}

TEST(ParallelForTest, EmptyAndReversedRangesRunNothing) {
    std::atomic<int> calls = 0;
    parallelFor(5, 5, [&](int) { ++calls; });
    parallelFor(10, -10, [&](int) { ++calls; });
    parallelForRows(0, [&](int) { ++calls; });
    parallelForColumns(-3, [&](int) { ++calls; });
    EXPECT_EQ(calls.load(), 0);
}

TEST(ParallelForTest, NestedRowsAndColumnsFillTheWholeGrid) {
    constexpr int kWidth = 37;
    constexpr int kHeight = 53;
    std::vector<std::atomic<int>> grid(kWidth * kHeight);
    parallelForRows(kHeight, [&](int y) {
        parallelForColumns(kWidth, [&](int x) { grid[y * kWidth + x].fetch_add(y * kWidth + x + 1); });
    });
    for (int i = 0; i < kWidth * kHeight; ++i) ASSERT_EQ(grid[i].load(), i + 1);
}

TEST(ParallelForTest, LoopsFromManyThreadsAllCompleteOnTheSharedArena) {
    constexpr int kCallers = 4;
    constexpr int kCount = 5000;
    std::vector<long long> sums(kCallers, 0);
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c) {
        callers.emplace_back([&sums, c] {
            std::atomic<long long> sum = 0;
            parallelFor(0, kCount, [&](int i) { sum += i * (c + 1); });
            sums[c] = sum.load();
        });
    }
    for (std::thread& caller : callers) caller.join();
    for (int c = 0; c < kCallers; ++c)
        EXPECT_EQ(sums[c], (c + 1) * static_cast<long long>(kCount) * (kCount - 1) / 2);
}

TEST(ParallelForTest, NoMoreThreadsThanTheArenaAllows) {
    EXPECT_LE(threadsUsedBy(2000).size(), static_cast<size_t>(parallelThreadCount()));
}

TEST(ParallelForTest, IndicesRunConcurrently) {
    if (std::thread::hardware_concurrency() < 2 || parallelThreadCount() < 2) {
        GTEST_SKIP() << "needs at least two threads";
    }
    // Each of the two indices waits for the other; run one after the other, they would time out.
    std::mutex mutex;
    std::condition_variable changed;
    int arrived = 0;
    bool bothMet = true;
    parallelFor(0, 2, [&](int) {
        std::unique_lock lock(mutex);
        ++arrived;
        changed.notify_all();
        if (!changed.wait_for(lock, std::chrono::seconds(20), [&] { return arrived == 2; })) bothMet = false;
    });
    EXPECT_TRUE(bothMet);
}

TEST(ParallelForTest, ThreadCountIsFixedOnceTheArenaIsInUse) {
    parallelFor(0, 4, [](int) {});
    const int count = parallelThreadCount();
    EXPECT_GE(count, 1);
    EXPECT_FALSE(setParallelThreadCount(count + 1));
    EXPECT_EQ(parallelThreadCount(), count);
}

TEST(ParallelForTest, ThreadCountSetBeforeFirstUseLimitsTheLoops) {
    // Runs in a fresh process, where no loop has created the arena yet.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const bool accepted = setParallelThreadCount(2) && parallelThreadCount() == 2;
            const bool limited = threadsUsedBy(5000).size() <= 2;
            std::exit(accepted && limited ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            const bool automatic = setParallelThreadCount(0) && parallelThreadCount() >= 1;
            std::exit(automatic ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace korvane
