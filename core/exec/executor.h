#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace velmora {

// The one time type for durations and deadlines: seconds, as a double, on the monotonic clock (it never
// jumps with the date, and counts from an arbitrary start, so its values mean nothing across a restart).
// Policies take the time as a parameter; objects that need "now" hold a Clock, which tests replace with the
// fake clock of ManualExecutor. Dates (log stamps, file times) use std::chrono::system_clock instead.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
};

// std::chrono::steady_clock (CLOCK_MONOTONIC), in seconds.
class SteadyClock final : public Clock {
  public:
    double now() const override;
    static SteadyClock& shared();
};

// A handle on a delayed task. Cancelling is idempotent and safe from any thread; a task that has already
// started runs to its end. An empty handle cancels nothing.
class TimerHandle {
  public:
    TimerHandle() = default;
    explicit TimerHandle(std::shared_ptr<std::atomic<bool>> cancelled) : cancelled_(std::move(cancelled)) {}
    void cancel() const {
        if (cancelled_) cancelled_->store(true);
    }
    bool isCancelled() const { return cancelled_ && cancelled_->load(); }

  private:
    std::shared_ptr<std::atomic<bool>> cancelled_;
};

// Where work runs: a serial queue, a pool, the GUI thread, or the manual executor of the tests.
// post and postAfter may be called from any thread; tasks run in the order of their due time, and tasks
// with the same due time in the order they were posted.
class Executor : public Clock {
  public:
    using Task = std::function<void()>;
    virtual void post(Task task) = 0;
    virtual TimerHandle postAfter(double delaySeconds, Task task) = 0;
};

}  // namespace velmora
