#include "platform/wake/logind_wake_source.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <utility>

#include "core/exec/task_guard.h"
#include "core/log/velmora_log.h"

namespace velmora {
namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSignal = QStringLiteral("PrepareForSleep");

}  // namespace

LogindWakeSource::LogindWakeSource(QString busAddress) : busAddress_(std::move(busAddress)) {}

LogindWakeSource::~LogindWakeSource() {
    stop();
    if (!busAddress_.isEmpty()) QDBusConnection::disconnectFromBus(busAddress_);
}

void LogindWakeSource::start(std::function<void()> onWake) {
    stop();
    onWake_ = std::move(onWake);
    subscribed_ = subscribe(true);
    if (!subscribed_)
        VelmoraLog::write("sem barramento do sistema: o despertar do computador não será notado");
}

void LogindWakeSource::stop() {
    if (subscribed_) subscribe(false);
    subscribed_ = false;
    onWake_ = nullptr;
}

// Tied to the service name, QtDBus takes the signal only from whoever owns "org.freedesktop.login1", so
// another program on the bus cannot fake a wake.
bool LogindWakeSource::subscribe(bool on) {
    QDBusConnection bus = busAddress_.isEmpty() ? QDBusConnection::systemBus()
                                                : QDBusConnection::connectToBus(busAddress_, busAddress_);
    if (!bus.isConnected()) return false;
    const char* slot = SLOT(onPrepareForSleep(bool));
    if (!on) return bus.disconnect(kService, kPath, kInterface, kSignal, this, slot);
    if (!bus.connect(kService, kPath, kInterface, kSignal, this, slot)) return false;
    // A round trip to the bus after the subscription: the bus handles one connection's messages in order, so
    // once it answers, the match rule stands.
    bus.interface()->isServiceRegistered(kService);
    return true;
}

void LogindWakeSource::onPrepareForSleep(bool sleeping) {
    if (sleeping || !onWake_) return;
    runGuarded(onWake_, "despertar do computador");
}

}  // namespace velmora
