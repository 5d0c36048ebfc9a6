#include "core/exec/manual_executor.h"

#include <algorithm>

#include "core/exec/task_guard.h"

namespace velmora {

void ManualExecutor::post(Task task) {
    std::lock_guard lock(mutex_);
    tasks_.add(now_, std::move(task));
}

TimerHandle ManualExecutor::postAfter(double delaySeconds, Task task) {
    std::lock_guard lock(mutex_);
    return tasks_.add(now_ + std::max(0.0, delaySeconds), std::move(task));
}

double ManualExecutor::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

int ManualExecutor::runPending() {
    int ran = 0;
    for (;;) {
        std::optional<TimedTasks::Entry> entry;
        {
            std::lock_guard lock(mutex_);
            entry = tasks_.popDue(now_);
        }
        if (!entry) return ran;
        if (entry->cancelled->load()) continue;
        runGuarded(entry->task, "executor manual");
        ++ran;
    }
}

int ManualExecutor::advance(double seconds) {
    double target;
    {
        std::lock_guard lock(mutex_);
        target = now_ + std::max(0.0, seconds);
    }
    int ran = runPending();
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            auto due = tasks_.nextDue();
            if (!due || *due > target) {
                now_ = target;
                break;
            }
            now_ = std::max(now_, *due);
        }
        ran += runPending();
    }
    return ran + runPending();
}

std::size_t ManualExecutor::pendingCount() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

}  // namespace velmora
