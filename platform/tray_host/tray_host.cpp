#include "platform/tray_host/tray_host.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>

#include "platform/tray_host/x11_screen.h"

namespace velmora {

namespace {

const char* const kWatcher = "org.kde.StatusNotifierWatcher";

bool statusNotifierHostRegistered() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    if (!bus.interface()->isServiceRegistered(QLatin1String(kWatcher)).value()) return false;
    QDBusInterface watcher(QLatin1String(kWatcher), QStringLiteral("/StatusNotifierWatcher"),
                           QLatin1String(kWatcher), bus);
    watcher.setTimeout(1000);
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

}  // namespace

TrayHost probeTrayHost() {
    if (statusNotifierHostRegistered()) return {TrayHost::Kind::statusNotifier, std::nullopt};
    if (!x11::systemTrayPresent()) return {};
    const auto colors = x11::systemTrayColors();
    return {TrayHost::Kind::x11, colors ? std::optional<QColor>(colors->normal) : std::nullopt};
}

}  // namespace velmora
