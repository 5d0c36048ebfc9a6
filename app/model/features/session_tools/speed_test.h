#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace velmora {

// The link speed test's measurement: started and timed out on main, counted and ended on the session's
// receive thread. Each run has its own number, so a time-out ends only the run it was set for.
// Any thread; `mutex_` guards every field.
class SpeedTest {
  public:
    static constexpr double timeout = 40.0;              // seconds until a run without its end is given up
    static constexpr std::int64_t bleBytes = 60000;      // asked for over Bluetooth
    static constexpr std::int64_t otherBytes = 2000000;  // over any other link

    struct Result {
        double seconds = 0;  // at least 0.001
        std::int64_t bytes = 0;
    };

    // Starts a run at `now` with the count at zero; its number, or absent while another runs.
    std::optional<std::uint64_t> begin(double now);
    // Adds a chunk's bytes, whether or not a run is on.
    void count(std::int64_t bytes);
    // Ends the running run at `now`; absent when none runs.
    std::optional<Result> finish(double now);
    // Ends run `run` when it still runs; true when it did.
    bool expire(std::uint64_t run);
    // The session ended: no run goes on. True when one was running.
    bool clear();

  private:
    std::mutex mutex_;
    std::optional<double> start_;  // of the running run
    std::int64_t bytes_ = 0;
    std::uint64_t run_ = 0;  // number of the last run started
};

// The result line: link, KiB/s, Mbit/s and seconds in the user's language.
std::string speedTestText(bool bluetooth, const SpeedTest::Result& result);

}  // namespace velmora
