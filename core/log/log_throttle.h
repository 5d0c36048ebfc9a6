#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace velmora {

// Decides per key whether a repeating log line may be written now: at most once per `interval` seconds.
// The table holds at most 65 keys; when it is full it is emptied, which lets every key through once more
// (bounded memory matters more than a few extra lines).
//
// Threads: shouldLog may be called from any thread; each call holds `mutex_` for its whole run, during which
// only the clock is called.
class LogThrottle {
  public:
    static constexpr std::size_t kMaxKeys = 65;

    // `now` gives seconds on a monotonic clock; by default the process's steady clock.
    explicit LogThrottle(double interval, std::function<double()> now = {});

    // True (and recorded) when no line of `key` was allowed in the last `interval` seconds.
    bool shouldLog(std::string_view key);

  private:
    const double interval_;
    const std::function<double()> now_;
    std::mutex mutex_;  // guards last_
    std::unordered_map<std::string, double> last_;
};

}  // namespace velmora
