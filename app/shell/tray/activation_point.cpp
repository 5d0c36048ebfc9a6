#include "app/shell/tray/activation_point.h"

#include <QDBusMessage>
#include <QString>
#include <utility>

#include "core/log/velmora_log.h"

// Qt D-Bus's message spy, exported by the library but declared only in a private header: every incoming
// method call passes through the hooks, on the application's main thread, before its normal delivery.
extern Q_DBUS_EXPORT void qDBusAddSpyHook(void (*)(const QDBusMessage&));

namespace velmora::ActivationPoint {
namespace {

std::optional<PanelGeometry::Point> pending;  // main thread only, like the hook
bool installed = false;

void spy(const QDBusMessage& message) {
    if (message.type() != QDBusMessage::MethodCallMessage || message.member() != QLatin1String("Activate"))
        return;
    if (!message.interface().endsWith(QLatin1String(".StatusNotifierItem"))) return;
    const QList<QVariant> args = message.arguments();
    if (args.size() != 2) return;
    bool xOk = false, yOk = false;
    const int x = args[0].toInt(&xOk), y = args[1].toInt(&yOk);
    if (!xOk || !yOk) return;
    pending = PanelGeometry::Point{double(x), double(y)};
    VelmoraLog::write("item de status ativado em " + std::to_string(x) + "," + std::to_string(y));
}

}  // namespace

void install() {
    if (installed) return;
    installed = true;
    qDBusAddSpyHook(&spy);
}

std::optional<PanelGeometry::Point> take() {
    return std::exchange(pending, std::nullopt);
}

}  // namespace velmora::ActivationPoint
