#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace velmora {

// A sliding-window limit: at most `maxEvents` allowed events within any `window` seconds. Only allowed
// events are recorded, so a steady stream of refused calls does not stretch the refusal.
//
// Threads: allow may be called from any thread; each call holds `mutex_` for its whole run, during which
// only the clock is called.
class RateLimiter {
  public:
    // `now` gives seconds on a monotonic clock; by default the process's steady clock.
    RateLimiter(std::int64_t maxEvents, double window, std::function<double()> now = {});

    // True (and recorded) when fewer than `maxEvents` events were allowed in the last `window` seconds;
    // an event exactly `window` seconds old no longer counts.
    bool allow();

  private:
    const std::int64_t maxEvents_;
    const double window_;
    const std::function<double()> now_;
    std::mutex mutex_;  // guards stamps_
    std::deque<double> stamps_;
};

}  // namespace velmora
