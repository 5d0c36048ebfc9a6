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
#include "core/exec/executor.h"

namespace velmora {

// The desktop's notification server, org.freedesktop.Notifications on the session bus. Capabilities are
// read once, when start() connects. Each notice gets "default" (a click) and, for phone notifications,
// "dismiss"; a notice with a reply gets "inline-reply" where the server lists it, else a "reply" button
// that opens our reply dialog (`askReply`). Bodies are escaped where the server reads markup. Our ids and
// the server's are mapped both ways, for replacing, withdrawing and the server's signals; the map forgets
// a notice when the server closes it and holds at most `maxNotices`.
//
// A signal may name a server id before we have read Notify's answer that gives it: a user may click a
// notice the moment it shows, and QtDBus may hand us a signal that came just behind the answer before the
// answer itself. So while a Notify is unanswered, a signal for an id we do not know is held (at most
// `maxHeld`, each for `heldSeconds` on `clock`) and handled once an answer maps its id; whatever is still
// held when no Notify is left unanswered belongs to no notice of ours and is dropped.
//
// start() may be called again while it has failed; it then tries the bus once more.
//
// Threads: created and used on a thread with a Qt event loop (the GUI thread); the event handler runs there.
// Notify is asynchronous, so a server that hangs never freezes the desktop.
class FreedesktopNotifications final : public QObject, public NotificationServer {
    Q_OBJECT
  public:
    static constexpr std::size_t maxNotices = 512;
    static constexpr std::size_t maxHeld = 64;
    static constexpr double heldSeconds = 5;
    // Asks the user for a reply to the notice titled `title`; `done` gets the text, or is never called when
    // the user cancels.
    using AskReply = std::function<void(const QString& title, std::function<void(const QString&)> done)>;

    // An empty `busAddress` is the session bus; tests give the address of a private bus.
    explicit FreedesktopNotifications(AskReply askReply, QString busAddress = {},
                                      const Clock& clock = SteadyClock::shared());
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
    // One of the server's signals: ActionInvoked (`text` the action), NotificationReplied (the reply) or
    // NotificationClosed.
    struct Signal {
        enum class Kind { action, replied, closed };
        Kind kind;
        uint serverId;
        QString text;
        double until = 0;  // held no longer than this
    };
    void received(Signal signal);
    bool handle(const Signal& signal);  // false when its id is unknown
    void handleHeld(uint serverId);
    void notify(const DesktopNotice& notice, uint replaces);
    void notified(const std::string& id, uint serverId);
    void close(uint serverId);
    void forget(const std::string& id);
    void emitEvent(NoticeEvent::Kind kind, const std::string& id, const QString& reply = {});

    AskReply askReply_;
    QString busAddress_;
    const Clock& clock_;
    std::function<void(const NoticeEvent&)> onEvent_;  // set once a server answered
    bool toldMissing_ = false;                         // "no server" is in the log
    QStringList capabilities_;
    std::map<std::string, Entry> entries_;
    std::map<uint, std::string> ids_;  // server id -> ours
    std::deque<std::string> order_;    // of entries_, oldest first
    int unanswered_ = 0;               // Notify calls sent and not yet answered
    std::deque<Signal> held_;          // for ids not yet known, oldest first
};

}  // namespace velmora
