#include "platform/notifications/freedesktop_notifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <algorithm>
#include <utility>
#include <vector>

#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"
#include "platform/notifications/markup.h"

namespace velmora {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kStartTimeoutMs = 5000;

QString text(const std::string& s) {
    return QString::fromStdString(s);
}
QString localized(const char* key) {
    return text(L10n::string(key));
}

}  // namespace

FreedesktopNotifications::FreedesktopNotifications(AskReply askReply, QString busAddress, const Clock& clock)
    : askReply_(std::move(askReply)), busAddress_(std::move(busAddress)), clock_(clock) {}

FreedesktopNotifications::~FreedesktopNotifications() {
    if (!busAddress_.isEmpty()) QDBusConnection::disconnectFromBus(busAddress_);
}

// Tied to the service name, QtDBus takes the signals only from the server that owns it, so another program
// on the bus cannot answer for the user. The capability call comes after the subscriptions, so its answer
// also proves they stand. Called again after a failure (the user may have started a server since), it says
// "no server" in the log only the first time.
bool FreedesktopNotifications::start(std::function<void(const NoticeEvent&)> onEvent) {
    if (onEvent_) return true;
    QDBusConnection bus = busAddress_.isEmpty() ? QDBusConnection::sessionBus()
                                                : QDBusConnection::connectToBus(busAddress_, busAddress_);
    // A check again asks the bus first whether a server owns the name: asking the server itself could start
    // a bus-activated one, and the panel would wait for it.
    const bool worthAsking =
        bus.isConnected() && (!toldMissing_ || bus.interface()->isServiceRegistered(kService));
    if (worthAsking) {
        // Connecting again is harmless: QtDBus keeps one connection per signal and receiver.
        bus.connect(kService, kPath, kInterface, "ActionInvoked", this, SLOT(onActionInvoked(uint, QString)));
        bus.connect(kService, kPath, kInterface, "NotificationReplied", this, SLOT(onReplied(uint, QString)));
        bus.connect(kService, kPath, kInterface, "NotificationClosed", this, SLOT(onClosed(uint, uint)));
        const QDBusMessage reply =
            bus.call(QDBusMessage::createMethodCall(kService, kPath, kInterface, "GetCapabilities"),
                     QDBus::Block, kStartTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            capabilities_ = reply.arguments().first().toStringList();
            onEvent_ = std::move(onEvent);
            VelmoraLog::write("notificações da área de trabalho: servidor com " +
                              capabilities_.join(' ').toStdString());
            return true;
        }
    }
    if (!toldMissing_)
        VelmoraLog::write(
            "notificações da área de trabalho: nenhum servidor no barramento da sessão; as "
            "notificações do celular ficam desligadas");
    toldMissing_ = true;
    return false;
}

void FreedesktopNotifications::show(const DesktopNotice& notice) {
    if (!onEvent_) return;
    auto found = entries_.find(notice.id);
    if (found == entries_.end()) {
        order_.push_back(notice.id);
        found = entries_.emplace(notice.id, Entry{}).first;
        if (entries_.size() > maxNotices) forget(order_.front());
    }
    Entry& entry = found->second;
    if (entry.inFlight) {  // the id it replaces comes with Notify's answer
        entry.next = notice;
        entry.withdrawn = false;
        return;
    }
    entry.title = text(notice.title);
    notify(notice, entry.serverId);
}

void FreedesktopNotifications::notify(const DesktopNotice& notice, uint replaces) {
    QStringList actions{"default", ""};
    QVariantMap hints;
    if (notice.withReply && capabilities_.contains("inline-reply")) {
        actions << "inline-reply" << localized("notif.reply");
        hints.insert("x-kde-reply-placeholder-text", localized("notif.placeholder"));
        hints.insert("x-kde-reply-submit-button-text", localized("notif.send"));
    } else if (notice.withReply) {
        actions << "reply" << localized("notif.reply");
    }
    if (notice.withDismiss) actions << "dismiss" << localized("notif.dismiss");
    // The summary is plain text for every server; the body is markup where the server says so.
    const QString body =
        capabilities_.contains("body-markup") ? text(Markup::escape(notice.body)) : text(notice.body);
    entries_[notice.id].inFlight = true;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
    call << QStringLiteral("Velmora") << replaces << QString() << text(notice.title) << body << actions
         << hints << -1;
    QDBusConnection bus =
        busAddress_.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(busAddress_);
    ++unanswered_;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this,
        [this, id = notice.id](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            --unanswered_;
            const QDBusPendingReply<uint> reply = *done;
            if (reply.isError()) {
                VelmoraLog::write("notificações da área de trabalho: o servidor recusou uma notificação (" +
                                  reply.error().name().toStdString() + ")");
                forget(id);
                handleHeld(0);  // no notice has id 0
                return;
            }
            notified(id, reply.value());
            handleHeld(reply.value());
        });
}

// Notify answered: map the ids, then do what came meanwhile (a newer notice under the id, or its withdrawal).
void FreedesktopNotifications::notified(const std::string& id, uint serverId) {
    const auto found = entries_.find(id);
    if (found == entries_.end()) return;  // pushed out of the table: shown, but no longer followed
    Entry& entry = found->second;
    entry.inFlight = false;
    if (entry.serverId != serverId) ids_.erase(entry.serverId);
    entry.serverId = serverId;
    ids_[serverId] = id;
    if (entry.withdrawn) {
        withdraw(id);
    } else if (entry.next) {
        const DesktopNotice next = *std::exchange(entry.next, std::nullopt);
        entry.title = text(next.title);
        notify(next, serverId);
    }
}

void FreedesktopNotifications::withdraw(const std::string& id) {
    const auto found = entries_.find(id);
    if (found == entries_.end()) return;
    if (found->second.inFlight) {
        found->second.withdrawn = true;
        found->second.next.reset();
        return;
    }
    close(found->second.serverId);
    forget(id);
}

void FreedesktopNotifications::close(uint serverId) {
    QDBusConnection bus =
        busAddress_.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(busAddress_);
    bus.asyncCall(QDBusMessage::createMethodCall(kService, kPath, kInterface, "CloseNotification")
                  << serverId);
}

void FreedesktopNotifications::forget(const std::string& id) {
    const auto found = entries_.find(id);
    if (found == entries_.end()) return;
    ids_.erase(found->second.serverId);
    entries_.erase(found);
    order_.erase(std::ranges::find(order_, id));
}

void FreedesktopNotifications::onActionInvoked(uint serverId, const QString& action) {
    received({Signal::Kind::action, serverId, action});
}

void FreedesktopNotifications::onReplied(uint serverId, const QString& reply) {
    received({Signal::Kind::replied, serverId, reply});
}

void FreedesktopNotifications::onClosed(uint serverId, uint) {
    received({Signal::Kind::closed, serverId, {}});
}

// A signal for an id no answer gave yet is kept only while an answer may still give it: every signal of the
// server for other programs' notices comes here too.
void FreedesktopNotifications::received(Signal signal) {
    if (handle(signal) || unanswered_ == 0) return;
    signal.until = clock_.now() + heldSeconds;
    if (held_.size() == maxHeld) held_.pop_front();
    held_.push_back(std::move(signal));
}

// Notify answered with `serverId` (or failed, with 0): what waited for that id is handled, in the order it
// came; what is too old goes, and so does everything once no answer is awaited.
void FreedesktopNotifications::handleHeld(uint serverId) {
    if (held_.empty()) return;
    const double now = clock_.now();
    std::vector<Signal> due;
    for (auto it = held_.begin(); it != held_.end();) {
        if (it->until < now) {
            it = held_.erase(it);
        } else if (it->serverId == serverId) {
            due.push_back(std::move(*it));
            it = held_.erase(it);
        } else {
            ++it;
        }
    }
    if (unanswered_ == 0) held_.clear();
    for (const Signal& signal : due)
        handle(signal);
}

// Servers close a notice after most actions too, so a close is no dismissal: only the "dismiss" button is.
// A notice being replaced right now lives on under the id the server is about to give.
bool FreedesktopNotifications::handle(const Signal& signal) {
    const auto found = ids_.find(signal.serverId);
    if (found == ids_.end()) return false;
    const std::string id = found->second;
    switch (signal.kind) {
        case Signal::Kind::action:
            if (signal.text == "default") {
                emitEvent(NoticeEvent::Kind::click, id);
            } else if (signal.text == "dismiss") {
                emitEvent(NoticeEvent::Kind::dismiss, id);
            } else if (signal.text == "reply" && askReply_) {
                // The server may close the notice meanwhile; the reply still belongs to its id.
                askReply_(entries_.at(id).title, [this, id](const QString& typed) {
                    emitEvent(NoticeEvent::Kind::reply, id, typed);
                });
            }
            break;
        case Signal::Kind::replied:
            emitEvent(NoticeEvent::Kind::reply, id, signal.text);
            break;
        case Signal::Kind::closed: {
            ids_.erase(found);
            Entry& entry = entries_.at(id);
            if (entry.inFlight)
                entry.serverId = 0;
            else
                forget(id);
            break;
        }
    }
    return true;
}

void FreedesktopNotifications::emitEvent(NoticeEvent::Kind kind, const std::string& id,
                                         const QString& reply) {
    if (onEvent_) onEvent_({kind, id, reply.toStdString()});
}

}  // namespace velmora
