#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/log/log_throttle.h"
#include "core/log/rate_limiter.h"

namespace velmora {
namespace {

TEST(LogThrottle, OncePerIntervalPerKey) {
    double now = 0;
    LogThrottle throttle(30, [&] { return now; });
    const std::pair<double, bool> steps[] = {{0, true}, {10, false}, {29.9, false}, {30, true}, {45, false}};
    for (const auto& [t, expected] : steps) {
        now = t;
        EXPECT_EQ(throttle.shouldLog("busca"), expected) << "at " << t;
    }
    EXPECT_TRUE(throttle.shouldLog("outra"));  // keys are independent
}

TEST(LogThrottle, FullTableIsEmptiedAndLetsEveryKeyThroughOnce) {
    double now = 0;
    LogThrottle throttle(30, [&] { return now; });
    for (std::size_t i = 0; i < LogThrottle::kMaxKeys; ++i)
        EXPECT_TRUE(throttle.shouldLog("k" + std::to_string(i)));
    now = 1;
    EXPECT_FALSE(throttle.shouldLog("k0"));
    EXPECT_TRUE(throttle.shouldLog("k65"));  // a 66th key empties the table
    EXPECT_TRUE(throttle.shouldLog("k0"));   // refused a moment ago, allowed once more
    EXPECT_FALSE(throttle.shouldLog("k0"));
}

TEST(RateLimiter, SlidingWindow) {
    double now = 0;
    RateLimiter limiter(2, 10, [&] { return now; });
    const std::pair<double, bool> steps[] = {{0, true},  {1, true},     {2, false},
                                             {10, true}, {10.5, false}, {11, true}};
    for (const auto& [t, expected] : steps) {
        now = t;
        EXPECT_EQ(limiter.allow(), expected) << "at " << t;
    }
}

TEST(RateLimiter, RefusedCallsDoNotStretchTheRefusal) {
    double now = 0;
    RateLimiter limiter(1, 10, [&] { return now; });
    EXPECT_TRUE(limiter.allow());
    for (now = 1; now < 10; now += 1)
        EXPECT_FALSE(limiter.allow());
    now = 10;
    EXPECT_TRUE(limiter.allow());
}

TEST(RateLimiter, ZeroOrNegativeMaximumRefusesEverything) {
    double now = 0;
    EXPECT_FALSE(RateLimiter(0, 10, [&] { return now; }).allow());
    EXPECT_FALSE(RateLimiter(-1, 10, [&] { return now; }).allow());
}

TEST(RateLimiter, SharedBetweenThreadsAllowsExactlyTheMaximum) {
    RateLimiter limiter(60, 1e9);  // the real clock; the window never ends during the test
    std::atomic<int> allowed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 100; ++i)
                allowed += limiter.allow() ? 1 : 0;
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(allowed.load(), 60);
}

}  // namespace
}  // namespace velmora
