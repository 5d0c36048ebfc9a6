#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace velmora::companion {

// What the phone received, in arrival order, for tests and scripts to look at and wait on: the control
// messages of every session (ping and pong aside) and the input messages of channel 3. Threads: the phone's
// receive thread adds; any thread reads and waits. `mutex_` guards both lists.
class Inbox {
  public:
    void addControl(nlohmann::json message) { add(controls_, std::move(message)); }
    void addInput(nlohmann::json message) { add(inputs_, std::move(message)); }

    std::vector<nlohmann::json> controls() const { return copy(controls_); }
    std::vector<nlohmann::json> inputs() const { return copy(inputs_); }
    std::size_t controlCount() const {
        std::lock_guard lock(mutex_);
        return controls_.size();
    }

    // The first control message of type `t` at index `from` or later, waiting up to `seconds` for it; the
    // index after it goes to `next`, so a script's successive waits each take a new message.
    std::optional<nlohmann::json> waitControl(const std::string& t, std::size_t from, double seconds,
                                              std::size_t* next = nullptr) const {
        std::unique_lock lock(mutex_);
        std::optional<nlohmann::json> found;
        changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] {
            for (std::size_t i = from; i < controls_.size(); ++i)
                if (controls_[i].value("t", "") == t) {
                    found = controls_[i];
                    if (next) *next = i + 1;
                    return true;
                }
            return false;
        });
        return found;
    }
    // Waits up to `seconds` for at least `count` input messages.
    bool waitInputs(std::size_t count, double seconds) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::duration<double>(seconds),
                                 [&] { return inputs_.size() >= count; });
    }
    // Wakes the waiters so they look again (a session began or ended).
    void poke() {
        std::lock_guard lock(mutex_);
        changed_.notify_all();
    }

  private:
    void add(std::vector<nlohmann::json>& list, nlohmann::json message) {
        std::lock_guard lock(mutex_);
        list.push_back(std::move(message));
        changed_.notify_all();
    }
    std::vector<nlohmann::json> copy(const std::vector<nlohmann::json>& list) const {
        std::lock_guard lock(mutex_);
        return list;
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<nlohmann::json> controls_, inputs_;
};

}  // namespace velmora::companion
