#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "core/exec/manual_executor.h"
#include "core/exec/serial_queue.h"

namespace velmora {
namespace {

TEST(ManualExecutor, RunsTasksInDueOrderAndDropsCancelledOnes) {
    ManualExecutor ex(0);
    std::vector<double> ranAt;
    std::function<void()> tick = [&] {
        ranAt.push_back(ex.now());
        if (ranAt.size() < 3) ex.postAfter(3, tick);  // a timer posted by a timer runs at its own time
    };
    std::vector<int> order;
    ex.postAfter(1, tick);
    ex.postAfter(3, [&] { order.push_back(3); });
    ex.postAfter(1, [&] { order.push_back(1); });
    ex.post([&] { order.push_back(0); });
    ex.postAfter(1, [&] { order.push_back(2); });  // same due time: after the earlier post
    auto cancelled = ex.postAfter(2, [&] { order.push_back(-1); });
    cancelled.cancel();
    cancelled.cancel();
    TimerHandle{}.cancel();  // an empty handle is harmless
    EXPECT_EQ(ex.advance(0.5), 1);
    EXPECT_EQ(order, (std::vector<int>{0}));
    ex.advance(100);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(ranAt, (std::vector<double>{1, 4, 7}));
}

TEST(SerialQueue, RunsTasksFromManyThreadsOneAtATimeInPostOrderPerThread) {
    std::vector<std::pair<int, int>> seen;
    std::atomic<int> running{0};
    {
        SerialQueue queue("test.serial");
        std::vector<std::thread> posters;
        for (int t = 0; t < 4; ++t) {
            posters.emplace_back([&, t] {
                for (int i = 0; i < 200; ++i)
                    queue.post([&, t, i] {
                        EXPECT_EQ(++running, 1);
                        seen.emplace_back(t, i);
                        --running;
                    });
            });
        }
        for (auto& p : posters)
            p.join();
    }  // the destructor runs every task already posted
    std::vector<int> next(4, 0);
    for (auto [t, i] : seen)
        EXPECT_EQ(i, next[t]++);
    EXPECT_EQ(next, std::vector<int>(4, 200));
}

TEST(SerialQueue, SyncRunsOnTheQueueAndACancelledTimerNeverFires) {
    std::promise<void> later;
    std::atomic<bool> fired{false};
    SerialQueue queue("test.sync");
    queue.postAfter(0.05, [&] { fired = true; }).cancel();
    // Due no earlier and posted after: once it has run, the cancelled one had its turn.
    queue.postAfter(0.05, [&] { later.set_value(); });
    bool onQueue = false;
    queue.sync([&] { onQueue = queue.isCurrent(); });
    EXPECT_TRUE(onQueue);
    EXPECT_FALSE(queue.isCurrent());
    ASSERT_EQ(later.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_FALSE(fired.load());
}

}  // namespace
}  // namespace velmora
