#pragma once

#include <functional>
#include <optional>
#include <string>

namespace velmora {

// One notice on the computer's desktop. Texts are plain: the server layer escapes them for servers that
// read markup. `id` is ours (a phone notification's key, or a fresh id for a local notice); showing an id
// again replaces the notice that carries it.
struct DesktopNotice {
    std::string id;
    std::string title;
    std::string body;
    std::string thread;       // the phone app's package, empty for local notices
    bool withReply = false;   // offers a reply field (or our reply dialog) beside "dismiss"
    bool withDismiss = true;  // mirrored notices carry "dismiss"; local notices none
};

// What the user did to a notice.
struct NoticeEvent {
    enum class Kind { click, dismiss, reply };
    Kind kind;
    std::string id;
    std::string reply;  // the typed text, for `reply`
};

// The desktop's notification server. Threads: every member is called on the main executor, and the event
// handler runs there.
class NotificationServer {
  public:
    virtual ~NotificationServer() = default;
    // Connects to the server and reads what it can do. False when there is none: the caller then shows
    // nothing, and the server says why in the log.
    virtual bool start(std::function<void(const NoticeEvent&)> onEvent) = 0;
    virtual void show(const DesktopNotice& notice) = 0;
    // Takes the notice with `id` off the desktop; an unknown id is ignored.
    virtual void withdraw(const std::string& id) = 0;
};

}  // namespace velmora
