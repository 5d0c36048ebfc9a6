#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/model/features/phone_app.h"
#include "core/log/rate_limiter.h"

namespace velmora {

// The notification feature's own state beside the model's published fields.
//
// Threads: the receive thread calls allow(), shows() and mayLearn() for each "notif.post"; the main
// executor keeps the filter and the app list here in step with the published state (setFilter,
// setKnownApps) and owns the notices on the desktop (remember, find, forget). `filterMutex_` guards the
// receive thread's copy of the filter and of the known packages; the limiter has its own lock; `serverUp`
// is an atomic.
class NotificationMirror {
  public:
    // What the model needs to answer the user's action on one notice on the desktop.
    struct Shown {
        std::optional<std::string> key;  // a phone notification's key
        std::int64_t replyIndex = 0;
        std::optional<std::string> revealPath;  // a local notice of a received file
    };
    static constexpr std::int64_t postsPerWindow = 60;
    static constexpr double postWindow = 10.0;  // seconds
    // Notices kept for their actions; the oldest is forgotten past this, so a flood of distinct keys
    // never grows the table.
    static constexpr std::size_t maxShown = 256;

    explicit NotificationMirror(std::function<double()> clock);

    bool allow() { return limiter_.allow(); }
    bool shows(const std::string& pkg) const;
    bool mayLearn(const std::string& pkg) const;
    void setFilter(bool byDefault, std::map<std::string, bool> overrides);
    void setKnownApps(const std::vector<PhoneApp>& apps);

    void remember(const std::string& id, Shown shown);
    std::optional<Shown> find(const std::string& id) const;
    void forget(const std::string& id);

    std::atomic<bool> serverUp{false};

  private:
    RateLimiter limiter_;
    mutable std::mutex filterMutex_;  // guards byDefault_, overrides_, known_
    bool byDefault_ = true;
    std::map<std::string, bool> overrides_;
    std::set<std::string> known_;

    std::map<std::string, Shown> shown_;  // main only, with order_
    std::deque<std::string> order_;
};

}  // namespace velmora
