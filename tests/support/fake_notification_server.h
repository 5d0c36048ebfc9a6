#pragma once

// The desktop's notification server for model stories: it keeps what it was asked to show, notes each
// call, and lets the test play the user (click, dismiss, reply).

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <functional>
#include "app/model/ports/notification_server.h"

namespace velmora::test {

class FakeNotificationServer final : public NotificationServer {
  public:
    explicit FakeNotificationServer(std::function<void(std::string)> note) : note_(std::move(note)) {}

    bool start(std::function<void(const NoticeEvent&)> onEvent) override {
        note_("start");
        onEvent_ = std::move(onEvent);
        return available;
    }
    void show(const DesktopNotice& notice) override {
        {
            std::lock_guard lock(mutex_);
            shown_.push_back(notice);
        }
        note_("show " + notice.title);
    }
    void withdraw(const std::string& id) override { note_("withdraw " + id); }

    // What the user did; call it on the main executor's thread, as the real server's events come.
    void user(NoticeEvent::Kind kind, const std::string& id, const std::string& reply = "") {
        onEvent_({kind, id, reply});
    }
    std::vector<DesktopNotice> shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }
    std::optional<DesktopNotice> last() const {
        std::lock_guard lock(mutex_);
        if (shown_.empty()) return std::nullopt;
        return shown_.back();
    }

    bool available = true;  // false: no server on the bus

  private:
    std::function<void(std::string)> note_;
    std::function<void(const NoticeEvent&)> onEvent_;
    mutable std::mutex mutex_;  // guards shown_
    std::vector<DesktopNotice> shown_;
};

}  // namespace velmora::test
