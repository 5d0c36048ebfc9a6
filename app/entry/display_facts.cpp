#include "app/entry/display_facts.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStringList>

namespace velmora {
namespace {

// A local display (":N", ":N.S", "unix:N") is there when its socket is; a remote one is left to try.
bool x11Reachable() {
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) return false;
    QString local = display;
    if (local.startsWith(QLatin1String("unix:"))) local = local.mid(4);
    if (!local.startsWith(':')) return true;
    const QString number = local.mid(1).section('.', 0, 0);
    bool ok = false;
    number.toInt(&ok);
    return !ok || QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X") + number);
}

// libwayland connects to WAYLAND_DISPLAY (an absolute path, or a name in XDG_RUNTIME_DIR), "wayland-0"
// when unset; or to the socket handed over in WAYLAND_SOCKET.
bool waylandReachable() {
    if (qEnvironmentVariableIsSet("WAYLAND_SOCKET")) return true;
    QString name = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (name.isEmpty()) name = QStringLiteral("wayland-0");
    if (QDir::isAbsolutePath(name)) return QFileInfo::exists(name);
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + '/' + name);
}

bool pluginInstalled(const QString& pattern) {
    QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(':', Qt::SkipEmptyParts);
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath);
    for (const QString& folder : folders)
        if (!QDir(folder + QStringLiteral("/platforms")).entryList({pattern}, QDir::Files).isEmpty())
            return true;
    return false;
}

}  // namespace

DisplayFacts displayFacts() {
    DisplayFacts facts;
    facts.requested = qEnvironmentVariable("QT_QPA_PLATFORM").toStdString();
    facts.x11 = x11Reachable();
    facts.wayland = waylandReachable();
    facts.xcbPlugin = pluginInstalled(QStringLiteral("libqxcb*.so"));
    facts.waylandPlugin = pluginInstalled(QStringLiteral("libqwayland*.so"));
    return facts;
}

}  // namespace velmora
