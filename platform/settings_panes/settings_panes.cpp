#include "platform/settings_panes/settings_panes.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <span>

#include "core/log/velmora_log.h"

namespace velmora {

namespace {

struct Tool {
    const char* program;
    QStringList arguments;
};

std::span<const Tool> toolsFor(SettingsPane pane) {
    static const Tool bluetooth[] = {{"gnome-control-center", {"bluetooth"}},
                                     {"blueman-manager", {}},
                                     {"systemsettings", {"kcm_bluetooth"}}};
    static const Tool network[] = {{"gnome-control-center", {"network"}},
                                   {"nm-connection-editor", {}},
                                   {"systemsettings", {"kcm_networkmanagement"}}};
    if (pane == SettingsPane::bluetooth) return bluetooth;
    return network;
}

}  // namespace

bool openSettingsPane(SettingsPane pane) {
    const char* name = pane == SettingsPane::bluetooth ? "Bluetooth" : "rede";
    for (const Tool& tool : toolsFor(pane)) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(tool.program));
        if (path.isEmpty()) continue;
        if (QProcess::startDetached(path, tool.arguments)) return true;
        VelmoraLog::write(std::string("ajustes de ") + name + ": " + tool.program + " não abriu");
        return false;
    }
    VelmoraLog::write(std::string("ajustes de ") + name + ": nenhum programa de ajustes conhecido instalado");
    return false;
}

}  // namespace velmora
