#pragma once

#include <mutex>

#include "core/exec/executor.h"
#include "core/exec/timed_tasks.h"

namespace velmora {

// An executor with a fake clock for tests: nothing runs until the test calls runPending() or advance().
// Time starts at `start` seconds and moves only through advance(). post/postAfter may be called from any
// thread (a worker under test may post back); tasks run on the thread that calls runPending/advance. A task
// that throws is logged and counts as run, like on the real executors.
class ManualExecutor final : public Executor {
  public:
    explicit ManualExecutor(double start = 1000.0) : now_(start) {}

    void post(Task task) override;
    TimerHandle postAfter(double delaySeconds, Task task) override;
    double now() const override;

    // Runs every task due now, including tasks those tasks post for now. Returns how many ran.
    int runPending();
    // Moves the clock forward in steps to each due time up to now + seconds, running tasks on the way.
    int advance(double seconds);
    std::size_t pendingCount() const;

  private:
    mutable std::mutex mutex_;  // guards tasks_ and now_
    TimedTasks tasks_;
    double now_;
};

}  // namespace velmora
