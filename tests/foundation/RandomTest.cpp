#include "foundation/Random.h"

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace korvane {
namespace {

std::vector<int> draw(int count) {
    std::vector<int> values(count);
    for (int& value : values) value = randomInt();
    return values;
}

TEST(RandomTest, SameSeedGivesTheSameSequence) {
    seedRandom(1234);
    const std::vector<int> first = draw(1000);
    seedRandom(1234);
    EXPECT_EQ(draw(1000), first);
    seedRandom(1235);
    EXPECT_NE(draw(1000), first);
}

TEST(RandomTest, ReseedingRestartsMidSequence) {
    seedRandom(7);
    const std::vector<int> expected = draw(10);
    seedRandom(7);
    draw(3);
    seedRandom(7);
    EXPECT_EQ(draw(10), expected);
}

TEST(RandomTest, SequenceIsFixedAcrossPlatforms) {
    // Saved generator seeds reproduce terrain only while these stay the same; a change of algorithm
    // must show up here.
    seedRandom(42);
    EXPECT_EQ(draw(4), (std::vector<int>{1635433963, 897835604, 962320717, 571517377}));
    seedRandom(0);
    EXPECT_EQ(randomInt(), 1947324711);
}

TEST(RandomTest, ValuesSpanTheWholeRangeUniformly) {
    seedRandom(99);
    constexpr int kCount = 200000;
    int low = kRandomMax, high = 0, oddCount = 0, topBitCount = 0;
    double sum = 0;
    for (int i = 0; i < kCount; ++i) {
        const int value = randomInt();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, kRandomMax);
        low = std::min(low, value);
        high = std::max(high, value);
        sum += value;
        oddCount += value & 1;
        topBitCount += (value >> 30) & 1;
    }
    EXPECT_LT(low, kRandomMax / 1000);
    EXPECT_GT(high, kRandomMax - kRandomMax / 1000);
    EXPECT_NEAR(sum / kCount / kRandomMax, 0.5, 0.01);
    EXPECT_NEAR(static_cast<double>(oddCount) / kCount, 0.5, 0.01);
    EXPECT_NEAR(static_cast<double>(topBitCount) / kCount, 0.5, 0.01);
}

TEST(RandomTest, ConcurrentDrawsNeitherRepeatNorSkipSteps) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 5000;
    seedRandom(5);
    std::vector<int> sequential = draw(kThreads * kPerThread);
    seedRandom(5);
    std::vector<std::vector<int>> perThread(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&perThread, t] { perThread[t] = draw(kPerThread); });
    for (std::thread& thread : threads) thread.join();
    std::vector<int> concurrent;
    for (const std::vector<int>& values : perThread)
        concurrent.insert(concurrent.end(), values.begin(), values.end());
    std::sort(sequential.begin(), sequential.end());
    std::sort(concurrent.begin(), concurrent.end());
    EXPECT_EQ(concurrent, sequential);
}

TEST(RandomTest, UnseededGeneratorStartsAsIfSeededWithOne) {
    // Runs in a fresh process, where nothing has drawn or seeded yet.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const std::vector<int> unseeded = draw(5);
            seedRandom(1);
            std::exit(draw(5) == unseeded ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace korvane
