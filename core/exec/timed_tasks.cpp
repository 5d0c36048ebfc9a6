#include "core/exec/timed_tasks.h"

namespace velmora {

TimerHandle TimedTasks::add(double due, Executor::Task task) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    heap_.push(Entry{due, nextSeq_++, std::move(task), cancelled});
    return TimerHandle(cancelled);
}

std::optional<double> TimedTasks::nextDue() const {
    if (heap_.empty()) return std::nullopt;
    return heap_.top().due;
}

std::optional<TimedTasks::Entry> TimedTasks::popDue(double now) {
    if (heap_.empty() || heap_.top().due > now) return std::nullopt;
    Entry e = heap_.top();
    heap_.pop();
    return e;
}

void TimedTasks::clear() {
    heap_ = {};
}

}  // namespace velmora
