#include "foundation/UniqueString.h"

#include <set>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace korvane {
namespace {

// Whether text reads "XXXXXXXX-XXXX-4XXX-YXXX-XXXXXXXXXXXX" with uppercase hex X and Y one of 8, 9, A, B.
bool hasRandomUuidForm(const std::string& text) {
    constexpr std::string_view kPattern = "XXXXXXXX-XXXX-4XXX-YXXX-XXXXXXXXXXXX";
    constexpr std::string_view kHex = "0123456789ABCDEF";
    constexpr std::string_view kVariant = "89AB";
    if (text.size() != kPattern.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char expected = kPattern[i];
        if (expected == 'X' && kHex.find(text[i]) == std::string_view::npos) return false;
        if (expected == 'Y' && kVariant.find(text[i]) == std::string_view::npos) return false;
        if (expected != 'X' && expected != 'Y' && text[i] != expected) return false;
    }
    return true;
}

TEST(UniqueStringTest, HasTheRandomUuidForm) {
    for (int i = 0; i < 500; ++i) {
        const std::string unique = uniqueString();
        ASSERT_TRUE(hasRandomUuidForm(unique)) << unique;
    }
    EXPECT_FALSE(hasRandomUuidForm("0000000a-0000-4000-8000-000000000000"));
}

TEST(UniqueStringTest, EveryRandomDigitVaries) {
    // A digit stuck at one value over many strings means bits are lost (e.g. only 64 random bits used).
    constexpr int kCount = 400;
    std::vector<std::set<char>> seen(36);
    for (int i = 0; i < kCount; ++i) {
        const std::string unique = uniqueString();
        for (size_t position = 0; position < unique.size(); ++position)
            seen[position].insert(unique[position]);
    }
    for (size_t position = 0; position < seen.size(); ++position) {
        if (position == 8 || position == 13 || position == 18 || position == 23) {
            EXPECT_EQ(seen[position], std::set<char>{'-'});
        } else if (position == 14) {
            EXPECT_EQ(seen[position], std::set<char>{'4'});
        } else if (position == 19) {
            EXPECT_EQ(seen[position], (std::set<char>{'8', '9', 'A', 'B'}));
        } else {
            EXPECT_GT(seen[position].size(), 10u) << "position " << position;
        }
    }
}

TEST(UniqueStringTest, StringsMadeOnManyThreadsNeverRepeat) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 3000;
    std::vector<std::vector<std::string>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&made, t] {
            for (int i = 0; i < kPerThread; ++i) made[t].push_back(uniqueString());
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::set<std::string> distinct;
    for (const auto& strings : made) distinct.insert(strings.begin(), strings.end());
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kPerThread));
}

}  // namespace
}  // namespace korvane
