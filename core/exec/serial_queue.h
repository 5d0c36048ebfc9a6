#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "core/exec/executor.h"
#include "core/exec/timed_tasks.h"

namespace velmora {

// One worker thread that runs its tasks one at a time, in order. The label becomes the thread's name.
// post/postAfter may be called from any thread, sync from any other thread. A task that throws is logged
// and dropped; the queue goes on. The destructor runs every task already due, drops delayed tasks that are
// not, and joins the thread; it must not run on the queue's own thread.
class SerialQueue final : public Executor {
  public:
    explicit SerialQueue(std::string label, Clock& clock = SteadyClock::shared());
    ~SerialQueue() override;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    void post(Task task) override;
    TimerHandle postAfter(double delaySeconds, Task task) override;
    double now() const override { return clock_.now(); }

    // Runs `task` on the queue and waits for it to finish; what the task throws is thrown here. On the
    // queue's own thread it would wait for ever: there it throws std::logic_error (and logs) instead.
    void sync(Task task);
    // True on the queue's own thread.
    bool isCurrent() const;
    const std::string& label() const { return label_; }

  private:
    void loop();

    const std::string label_;
    Clock& clock_;
    std::mutex mutex_;  // guards tasks_ and stopping_
    std::condition_variable wake_;
    TimedTasks tasks_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace velmora
