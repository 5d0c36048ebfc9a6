#include "platform/notifications/freedesktop_notifications.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <algorithm>
#include <utility>

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

FreedesktopNotifications::FreedesktopNotifications(AskReply askReply, QString busAddress)
    : askReply_(std::move(askReply)), busAddress_(std::move(busAddress)) {}

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
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this,
        [this, id = notice.id](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            const QDBusPendingReply<uint> reply = *done;
            if (reply.isError()) {
                VelmoraLog::write("notificações da área de trabalho: o servidor recusou uma notificação (" +
                                  reply.error().name().toStdString() + ")");
                forget(id);
                return;
            }
            notified(id, reply.value());
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
    if (action == "default") {
        emitEvent(NoticeEvent::Kind::click, serverId);
    } else if (action == "dismiss") {
        emitEvent(NoticeEvent::Kind::dismiss, serverId);
    } else if (action == "reply" && askReply_ && ids_.contains(serverId)) {
        // The server may close the notice meanwhile; the reply still belongs to its id.
        const std::string id = ids_[serverId];
        askReply_(entries_[id].title, [this, id](const QString& typed) {
            if (onEvent_) onEvent_({NoticeEvent::Kind::reply, id, typed.toStdString()});
        });
    }
}

void FreedesktopNotifications::onReplied(uint serverId, const QString& reply) {
    emitEvent(NoticeEvent::Kind::reply, serverId, reply);
}

// Servers close a notice after most actions too, so a close is no dismissal: only the "dismiss" button is.
// A notice being replaced right now lives on under the id the server is about to give.
void FreedesktopNotifications::onClosed(uint serverId, uint) {
    const auto found = ids_.find(serverId);
    if (found == ids_.end()) return;
    const std::string id = found->second;
    ids_.erase(found);
    Entry& entry = entries_.at(id);
    if (entry.inFlight)
        entry.serverId = 0;
    else
        forget(id);
}

void FreedesktopNotifications::emitEvent(NoticeEvent::Kind kind, uint serverId, const QString& reply) {
    const auto found = ids_.find(serverId);
    if (found == ids_.end() || !onEvent_) return;
    onEvent_({kind, found->second, reply.toStdString()});
}

}  // namespace velmora
