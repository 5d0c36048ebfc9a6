#pragma once

#include <QObject>
#include <QTimer>
#include <mutex>

#include "core/exec/executor.h"
#include "core/exec/timed_tasks.h"

namespace velmora {

// The model's main executor in the application: its tasks run on the Qt GUI thread, between events.
//
// post and postAfter may be called from any thread. Both feed one queue ordered by due time, ties in the
// order posted, which the GUI thread drains: a post wakes it with QMetaObject::invokeMethod, and one precise
// single-shot QTimer is armed for the earliest delayed task. A drain runs only the tasks due when it began,
// so a task that keeps posting cannot starve the event loop. A cancelled task never runs; a task that throws
// is logged and dropped. now() is SteadyClock.
//
// Made and destroyed on the GUI thread while the QCoreApplication exists; it must outlive every thread that
// posts to it. Tasks still queued when it is destroyed never run.
class MainThreadExecutor final : public Executor {
  public:
    // Throws std::logic_error off the GUI thread or without a QCoreApplication.
    MainThreadExecutor();
    ~MainThreadExecutor() override = default;
    MainThreadExecutor(const MainThreadExecutor&) = delete;
    MainThreadExecutor& operator=(const MainThreadExecutor&) = delete;

    void post(Task task) override;
    TimerHandle postAfter(double delaySeconds, Task task) override;
    double now() const override;

  private:
    TimerHandle add(double delaySeconds, Task task);
    void drain();  // GUI thread
    void arm();    // GUI thread

    QObject context_;  // on the GUI thread; wake-ups queued for it are dropped with it
    QTimer timer_;
    std::mutex mutex_;  // guards tasks_ and wakePending_
    TimedTasks tasks_;
    bool wakePending_ = false;
};

}  // namespace velmora
