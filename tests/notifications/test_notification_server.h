#pragma once

// A private session bus (or the bus at `address`, when given) and (unless `serve` is false) our own
// notification server on its own thread, since the layer calls it blocking at start. It records calls, lists
// `caps`, and fires the user's answers.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QVariantMap>
#include <mutex>
#include <optional>
#include <vector>

#include "support/session_bus_daemon.h"

namespace velmora::test {

class TestNotificationServer final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    struct Call {
        uint replaces;
        QString summary, body;
        QStringList actions;
    };
    explicit TestNotificationServer(QStringList caps, bool serve = true, QString bus = {})
        : address(std::move(bus)), caps_(std::move(caps)) {
        if (address.isEmpty()) address = daemon_.emplace().address();
        bus_ = QDBusConnection::connectToBus(address, "server " + address);
        if (serve) this->serve();
    }
    // Takes the server's name on the bus (a server started after the program).
    void serve() {
        thread_.start();
        moveToThread(&thread_);
        bus_.registerObject("/org/freedesktop/Notifications", this, QDBusConnection::ExportAllSlots);
        bus_.registerService("org.freedesktop.Notifications");
    }
    ~TestNotificationServer() override {
        QDBusConnection::disconnectFromBus(bus_.name());
        thread_.quit();
        thread_.wait();
    }
    std::vector<Call> calls() const { return std::lock_guard(mutex_), calls_; }  // copied under the lock
    std::vector<uint> closed() const { return std::lock_guard(mutex_), closed_; }
    // With `impostor`, the same signal from another program on the bus.
    void fire(const QString& name, uint id, const QVariant& arg, bool impostor = false) {
        (impostor ? QDBusConnection::connectToBus(address, "impostor " + address) : bus_)
            .send(QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                             "org.freedesktop.Notifications", name)
                  << id << arg);
    }

    QString address;  // of the bus

  public slots:
    QStringList GetCapabilities() { return caps_; }
    // Answered before it is recorded, so a signal fired once the call was seen follows the id it names.
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int) {
        std::lock_guard lock(mutex_);
        const uint id = replaces ? replaces : static_cast<uint>(calls_.size() + 1);
        setDelayedReply(true);
        connection().send(message().createReply(id));
        calls_.push_back({replaces, summary, body, actions});
        return id;
    }
    void CloseNotification(uint id) {
        std::lock_guard lock(mutex_);
        closed_.push_back(id);
    }

  private:
    std::optional<SessionBusDaemon> daemon_;  // ended when it goes out of scope
    QThread thread_;
    QStringList caps_;
    QDBusConnection bus_{QString()};
    mutable std::mutex mutex_;  // guards calls_ and closed_
    std::vector<Call> calls_;
    std::vector<uint> closed_;
};

}  // namespace velmora::test
