#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/model/ports/notification_server.h"

namespace velmora::test {

// The desktop's notification server for model stories: it keeps what it showed and notes each call; the test
// plays the user through `user`. Main executor only, as the port says.
struct FakeNotificationServer final : NotificationServer {
    explicit FakeNotificationServer(std::function<void(std::string)> note) : note(std::move(note)) {}
    bool start(std::function<void(const NoticeEvent&)> onEvent) override {
        note("start");
        user = std::move(onEvent);
        return true;
    }
    void show(const DesktopNotice& notice) override {
        shown.push_back(notice);
        note("show " + notice.title);
    }
    void withdraw(const std::string& id) override { note("withdraw " + id); }

    std::function<void(std::string)> note;
    std::function<void(const NoticeEvent&)> user;
    std::vector<DesktopNotice> shown;
};

}  // namespace velmora::test
