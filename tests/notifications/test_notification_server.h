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
#include <algorithm>
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
    void holdAnswers() {
        std::lock_guard lock(mutex_);
        holding_ = true;
    }
    // Sends the oldest `count` answers held (on the connection that fires, so in order with the signals).
    void answer(std::size_t count = 1) {
        std::vector<QDBusMessage> out;
        {
            std::lock_guard lock(mutex_);
            count = std::min(count, held_.size());
            out.assign(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(count));
            held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(count));
        }
        for (const QDBusMessage& reply : out)
            bus_.send(reply);
    }
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
    // Answered (unless held) before it is recorded, so a signal fired once the call was seen follows the
    // answer that names its id.
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int) {
        std::lock_guard lock(mutex_);
        const uint id = replaces ? replaces : static_cast<uint>(calls_.size() + 1);
        setDelayedReply(true);
        if (holding_)
            held_.push_back(message().createReply(id));
        else
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
    mutable std::mutex mutex_;  // guards the fields below
    std::vector<Call> calls_;
    std::vector<uint> closed_;
    bool holding_ = false;
    std::vector<QDBusMessage> held_;  // answers not sent yet, oldest first
};

}  // namespace velmora::test
