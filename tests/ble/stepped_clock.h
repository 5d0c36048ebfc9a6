#pragma once

#include <atomic>

#include "core/exec/executor.h"
#include "support/wait_until.h"

namespace velmora::test {

// A clock that stands still until the test moves it, counting its reads so the test knows that a waiter has
// looked at the new time. Any thread.
class SteppedClock final : public Clock {
  public:
    double now() const override {
        ++reads;
        return at.load();
    }
    std::atomic<double> at = 100.0;
    mutable std::atomic<int> reads = 0;
};

// True once the waiter has read the clock twice more: it has seen whatever time was set before this call.
inline bool lookedTwice(const SteppedClock& clock, const std::function<void()>& meanwhile = {}) {
    const int from = clock.reads.load();
    return waitUntil([&] {
        if (meanwhile) meanwhile();
        return clock.reads.load() >= from + 2;
    });
}

}  // namespace velmora::test
