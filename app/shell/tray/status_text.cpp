#include "app/shell/tray/status_text.h"

#include "core/l10n/l10n.h"

namespace velmora::StatusText {

std::string toolTip(const ConnState& state) {
    if (state.kind() == ConnState::Kind::connected)
        return L10n::format("menu.status.connected_tooltip", {state.label()});
    return L10n::string("menu.status.none_tooltip");
}

std::string accessibleName(const ConnState& state) {
    if (state.kind() == ConnState::Kind::connected)
        return L10n::format("menu.status.connected_a11y", {state.label()});
    return L10n::string("menu.status.none_a11y");
}

}  // namespace velmora::StatusText
