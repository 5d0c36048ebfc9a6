#pragma once

#include <cstdint>
#include <optional>
#include <queue>
#include <vector>

#include "core/exec/executor.h"

namespace velmora {

// Tasks ordered by due time, ties broken by the order they were added. Not thread-safe: its owner locks.
class TimedTasks {
  public:
    struct Entry {
        double due = 0;
        std::uint64_t seq = 0;
        Executor::Task task;
        std::shared_ptr<std::atomic<bool>> cancelled;
    };

    TimerHandle add(double due, Executor::Task task);
    bool empty() const { return heap_.empty(); }
    std::size_t size() const { return heap_.size(); }
    // Due time of the earliest task, if any.
    std::optional<double> nextDue() const;
    // Removes and returns the earliest task if it is due at `now`.
    std::optional<Entry> popDue(double now);
    void clear();

  private:
    struct Later {
        bool operator()(const Entry& a, const Entry& b) const {
            return a.due != b.due ? a.due > b.due : a.seq > b.seq;
        }
    };
    std::priority_queue<Entry, std::vector<Entry>, Later> heap_;
    std::uint64_t nextSeq_ = 0;
};

}  // namespace velmora
