#include "app/shell/main_executor.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "core/exec/task_guard.h"

namespace velmora {

MainThreadExecutor::MainThreadExecutor() {
    const QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        throw std::logic_error("MainThreadExecutor: criado fora da thread principal do Qt");
    }
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &context_, [this] { drain(); });
}

void MainThreadExecutor::post(Task task) {
    add(0, std::move(task));
}

TimerHandle MainThreadExecutor::postAfter(double delaySeconds, Task task) {
    return add(delaySeconds, std::move(task));
}

double MainThreadExecutor::now() const {
    return SteadyClock::shared().now();
}

TimerHandle MainThreadExecutor::add(double delaySeconds, Task task) {
    TimerHandle handle;
    {
        std::lock_guard lock(mutex_);
        // The clock is read under the lock, so due times rise with the posting order across threads.
        handle = tasks_.add(now() + std::max(0.0, delaySeconds), std::move(task));
        if (std::exchange(wakePending_, true)) return handle;
    }
    // The GUI thread looks at the queue again and re-arms the timer for whatever is now earliest.
    QMetaObject::invokeMethod(
        &context_, [this] { drain(); }, Qt::QueuedConnection);
    return handle;
}

void MainThreadExecutor::drain() {
    const double began = now();
    {
        std::lock_guard lock(mutex_);
        wakePending_ = false;
    }
    for (;;) {
        std::optional<TimedTasks::Entry> entry;
        {
            std::lock_guard lock(mutex_);
            entry = tasks_.popDue(began);
        }
        if (!entry) break;
        if (!entry->cancelled->load()) runGuarded(entry->task, "thread principal");
    }
    arm();
}

void MainThreadExecutor::arm() {
    std::optional<double> due;
    {
        std::lock_guard lock(mutex_);
        due = tasks_.nextDue();
    }
    if (!due) {
        timer_.stop();
        return;
    }
    // Rounded up, so the timer never fires before the task is due; a day at most, then it looks again.
    const double left = std::clamp(*due - now(), 0.0, 24.0 * 3600);
    timer_.start(static_cast<int>(std::ceil(left * 1000)));
}

}  // namespace velmora
