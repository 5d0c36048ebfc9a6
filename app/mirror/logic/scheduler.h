#pragma once

#include <functional>
#include <utility>

#include "core/exec/executor.h"

namespace velmora {

// The one-shot timers the pointer engine needs.
class Scheduler {
  public:
    using Cancel = std::function<void()>;
    virtual ~Scheduler() = default;

    // Runs `action` once, on the thread that owns the engine, `seconds` from now unless the returned
    // function is called first. Calling it after the action ran, or twice, is harmless.
    virtual Cancel schedule(double seconds, std::function<void()> action) = 0;
};

// Timers on one of our executors: the GUI thread's in the application, the manual one with its fake clock in
// tests. The executor must outlive the scheduler's users.
class ExecutorScheduler final : public Scheduler {
  public:
    explicit ExecutorScheduler(Executor& executor) : executor_(executor) {}
    Cancel schedule(double seconds, std::function<void()> action) override {
        const TimerHandle handle = executor_.postAfter(seconds, std::move(action));
        return [handle] { handle.cancel(); };
    }

  private:
    Executor& executor_;
};

}  // namespace velmora
