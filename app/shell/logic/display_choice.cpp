#include "app/shell/logic/display_choice.h"

#include <sstream>

#include "core/l10n/l10n.h"

namespace velmora {
namespace {

// Whether one of Qt's platform names can start with these facts; names other than the two desktop ones
// (offscreen, vnc, eglfs...) need no display and are left to Qt.
bool usable(const std::string& name, const DisplayFacts& facts) {
    if (name == "xcb") return facts.x11 && facts.xcbPlugin;
    if (name.rfind("wayland", 0) == 0) return facts.wayland && facts.waylandPlugin;
    return true;
}

}  // namespace

DisplayChoice chooseDisplay(const DisplayFacts& facts) {
    if (!facts.requested.empty()) {
        std::istringstream names(facts.requested);
        for (std::string name; std::getline(names, name, ';');)
            if (!name.empty() && usable(name.substr(0, name.find(':')), facts)) return {};
        return {DisplayChoice::Kind::none,
                L10n::format("start.platform_unusable", {facts.requested, L10n::string("start.no_display")})};
    }
    const bool x11 = usable("xcb", facts), wayland = usable("wayland", facts);
    if (x11 && wayland)
        return {DisplayChoice::Kind::xcb,
                "sessão Wayland com Xwayland: a interface usa o Xwayland (xcb), onde a área de transferência "
                "acompanha as cópias sem que uma janela do Velmora tenha o foco"};
    if (wayland)
        return {
            DisplayChoice::Kind::asIs,
            "sessão Wayland sem Xwayland: a área de transferência só acompanha cópias e aceita o texto do "
            "celular enquanto uma janela do Velmora tem o foco"};
    if (x11) return {};
    return {DisplayChoice::Kind::none, L10n::string("start.no_display")};
}

bool onXwayland(const QString& platformName) {
    return platformName == QLatin1String("xcb") &&
           (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
            qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland"));
}

}  // namespace velmora
