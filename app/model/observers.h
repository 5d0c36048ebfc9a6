#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace velmora {

// An observation that lasts as long as this object: dropping it (on any thread) ends the callbacks.
class Subscription {
  public:
    Subscription() = default;
    explicit Subscription(std::function<void()> end) : end_(std::move(end)) {}
    ~Subscription() { reset(); }
    Subscription(Subscription&& other) noexcept : end_(std::move(other.end_)) { other.end_ = nullptr; }
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            end_ = std::move(other.end_);
            other.end_ = nullptr;
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

    void reset() {
        if (end_) end_();
        end_ = nullptr;
    }

  private:
    std::function<void()> end_;
};

// Callbacks told that something changed. add() and the subscriptions' ends may come from any thread;
// notify() runs on the owner's thread and calls each callback without holding the lock, so a callback may
// subscribe or unsubscribe. A subscription may outlive the list.
class ObserverList {
  public:
    Subscription add(std::function<void()> callback);
    void notify();

  private:
    struct Shared {
        std::mutex mutex;  // guards callbacks and next
        std::map<std::uint64_t, std::shared_ptr<std::function<void()>>> callbacks;
        std::uint64_t next = 0;
    };
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace velmora
