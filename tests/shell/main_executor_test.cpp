#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "app/shell/main_executor.h"

namespace velmora {
namespace {

// Loaded machines are slow; a test that passes waits far less.
constexpr int kBoundMs = 60'000;

bool onGuiThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

TEST(MainThreadExecutor, PostsFromEightThreadsRunOnTheGuiThreadInEachThreadsOrder) {
    MainThreadExecutor ex;
    constexpr int kThreads = 8, kEach = 300;
    std::vector<std::pair<int, int>> seen;  // touched on the GUI thread only
    bool offThread = false;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                ex.post([&, t, i] {
                    offThread = offThread || !onGuiThread();
                    seen.emplace_back(t, i);
                });
            }
        });
    }
    for (auto& p : posters)
        p.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.size() == kThreads * kEach; }, kBoundMs));
    EXPECT_FALSE(offThread);
    std::vector<int> last(kThreads, -1);
    for (auto [t, i] : seen) {
        EXPECT_EQ(i, last[static_cast<std::size_t>(t)] + 1);
        last[static_cast<std::size_t>(t)] = i;
    }
}

TEST(MainThreadExecutor, DelayedTasksRunInDueOrderNeverEarlyAndACancelledOneNever) {
    MainThreadExecutor ex;
    std::vector<char> order;
    bool early = false;
    const double posted = ex.now();
    auto at = [&](double delay, char name) {
        return ex.postAfter(delay, [&, delay, name] {
            early = early || ex.now() < posted + delay;
            order.push_back(name);
        });
    };
    at(0.12, 'd');
    TimerHandle cancelled = at(0.06, 'x');
    at(0.03, 'b');
    at(0.06, 'c');
    ex.post([&] { order.push_back('a'); });
    // Cancelled from another thread while its timer is armed on the GUI thread.
    std::thread([&] { cancelled.cancel(); }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 4; }, kBoundMs));
    EXPECT_EQ(order, (std::vector<char>{'a', 'b', 'c', 'd'}));
    EXPECT_FALSE(early);
}

TEST(MainThreadExecutor, AThrowingTaskLeavesTheExecutorRunning) {
    MainThreadExecutor ex;
    std::vector<int> ran;
    ex.post([] { throw std::runtime_error("falha"); });
    ex.post([&] { ran.push_back(1); });
    ex.postAfter(0.01, [] { throw 42; });
    ex.postAfter(0.02, [&] { ran.push_back(2); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran.size() == 2; }, kBoundMs));
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace velmora
