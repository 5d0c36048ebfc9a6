#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "app/model/ports/notification_server.h"

namespace velmora {

// The desktop's notification server, org.freedesktop.Notifications on the session bus. Capabilities are
// read once, when start() connects. Each notice gets "default" (a click) and, for phone notifications,
// "dismiss"; a notice with a reply gets "inline-reply" where the server lists it, else a "reply" button
// that opens our reply dialog (`askReply`). Bodies are escaped where the server reads markup. Our ids and
// the server's are mapped both ways, for replacing, withdrawing and the server's signals; the map forgets
// a notice when the server closes it and holds at most `maxNotices`.
//
// start() may be called again while it has failed; it then tries the bus once more.
//
// Threads: created and used on a thread with a Qt event loop (the GUI thread); the event handler runs there.
// Notify is asynchronous, so a server that hangs never freezes the desktop.
class FreedesktopNotifications final : public QObject, public NotificationServer {
    Q_OBJECT
  public:
    static constexpr std::size_t maxNotices = 512;
    // Asks the user for a reply to the notice titled `title`; `done` gets the text, or is never called when
    // the user cancels.
    using AskReply = std::function<void(const QString& title, std::function<void(const QString&)> done)>;

    // An empty `busAddress` is the session bus; tests give the address of a private bus.
    explicit FreedesktopNotifications(AskReply askReply, QString busAddress = {});
    ~FreedesktopNotifications() override;

    bool start(std::function<void(const NoticeEvent&)> onEvent) override;
    void show(const DesktopNotice& notice) override;
    void withdraw(const std::string& id) override;

    const QStringList& capabilities() const { return capabilities_; }

  private slots:
    void onActionInvoked(uint serverId, const QString& action);
    void onReplied(uint serverId, const QString& text);
    void onClosed(uint serverId, uint reason);

  private:
    struct Entry {
        uint serverId = 0;                  // 0 until Notify first answers
        QString title;                      // for our reply dialog
        bool inFlight = false;              // a Notify has not answered yet
        std::optional<DesktopNotice> next;  // shown once it has, replacing
        bool withdrawn = false;             // withdrawn meanwhile: closed once it has
    };
    void notify(const DesktopNotice& notice, uint replaces);
    void notified(const std::string& id, uint serverId);
    void close(uint serverId);
    void forget(const std::string& id);
    void emitEvent(NoticeEvent::Kind kind, uint serverId, const QString& reply = {});

    AskReply askReply_;
    QString busAddress_;
    std::function<void(const NoticeEvent&)> onEvent_;  // set once a server answered
    bool toldMissing_ = false;                         // "no server" is in the log
    QStringList capabilities_;
    std::map<std::string, Entry> entries_;
    std::map<uint, std::string> ids_;  // server id -> ours
    std::deque<std::string> order_;    // of entries_, oldest first
};

}  // namespace velmora
