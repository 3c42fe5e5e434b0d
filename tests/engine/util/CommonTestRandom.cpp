#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <thread>

#include "engine/util/CommonRandom.h"

namespace zov {
namespace {

bool AllOf(const std::string& text, const std::string& alphabet) {
    return std::all_of(text.begin(), text.end(),
                       [&](char c) { return alphabet.find(c) != std::string::npos; });
}

const std::string kDigits = "0123456789";
const std::string kLower = "abcdefghijklmnopqrstuvwxyz";
const std::string kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

TEST(CommonRandom, AlphabetsAndLengths) {
    std::string tokens;
    for (int i = 0; i < 200; ++i) {
        const std::string token = MakeRandomToken(5);
        ASSERT_EQ(token.size(), 5u);
        tokens += token;
        const std::string name = MakeRandomName(8, false);
        ASSERT_EQ(name.size(), 8u);
        EXPECT_TRUE(AllOf(name, kLower + kDigits)) << name;
        const std::string digits = MakeRandomName(8, true);
        EXPECT_TRUE(AllOf(digits, kDigits)) << digits;
    }
    EXPECT_TRUE(AllOf(tokens, kDigits + kLower + kUpper));
    // All three kinds of characters turn up in 1000 draws.
    EXPECT_NE(tokens.find_first_of(kDigits), std::string::npos);
    EXPECT_NE(tokens.find_first_of(kLower), std::string::npos);
    EXPECT_NE(tokens.find_first_of(kUpper), std::string::npos);
}

TEST(CommonRandom, RandomBelow) {
    EXPECT_EQ(RandomBelow(0), -1);
    EXPECT_EQ(RandomBelow(-3), -1);
    EXPECT_EQ(RandomBelow(1), 0);
    std::set<int> seen;
    for (int i = 0; i < 500; ++i) {
        const int value = RandomBelow(5);
        ASSERT_GE(value, 0);
        ASSERT_LT(value, 5);
        seen.insert(value);
    }
    EXPECT_EQ(seen.size(), 5u);
}

TEST(CommonRandom, ConsecutiveTokensDiffer) {
    // One character from 62: equal neighbours would turn up often without the rule.
    std::string previous = MakeRandomToken(1);
    for (int i = 0; i < 2000; ++i) {
        const std::string token = MakeRandomToken(1);
        ASSERT_NE(token, previous);
        previous = token;
    }
}

TEST(CommonRandom, TokensAreDistinctAcrossThreads) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 500;
    std::mutex mutex;
    std::multiset<std::string> tokens;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            std::vector<std::string> mine;
            for (int i = 0; i < kPerThread; ++i) mine.push_back(MakeRandomToken(8));
            std::lock_guard lock(mutex);
            tokens.insert(mine.begin(), mine.end());
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(std::set<std::string>(tokens.begin(), tokens.end()).size(), tokens.size());
}

}  // namespace
}  // namespace zov
