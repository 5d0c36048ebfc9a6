#include "app/shell/logic/panel_sections.h"

#include <algorithm>

#include "core/errors/friendly_errors.h"
#include "core/l10n/l10n.h"

namespace velmora {

namespace {

// The failed browse's text sends the user to a "Search again" button while the model browses again on its
// own every few seconds. Under the empty body's "searching" line it contradicts the line, over a session
// it is stale, and no other body has that button: the body alone tells how the search stands.
bool contradictsTheBody(const std::string& error) {
    return error == FriendlyErrors::searchFailed();
}

}  // namespace

std::vector<PanelSection> panelSections(const PanelInputs& in, const PanelState& state) {
    using Kind = PanelSection::Kind;
    const auto& s = in.state;
    std::vector<PanelSection> out;
    if (s.panelNotice) out.push_back({Kind::notice, s.panelNotice->title, s.panelNotice->text, {}});
    if (state.kind != PanelState::Kind::connected && !in.stalePairs.empty()) {
        const auto& stale = in.stalePairs.front();
        const auto peer = std::find_if(s.paired.begin(), s.paired.end(),
                                       [&](const Peer& p) { return p.id == stale.oldPeerID; });
        if (peer != s.paired.end())
            out.push_back({Kind::stalePairing, L10n::string("panel.stale.title"),
                           L10n::format("panel.stale.text", {stale.oldPeerName}), *peer});
    }
    out.push_back({Kind::body, {}, {}, {}});
    if (s.lastError && state.kind != PanelState::Kind::lost && !contradictsTheBody(*s.lastError))
        out.push_back({Kind::error, L10n::string("common.something_wrong"), *s.lastError, {}});
    return out;
}

}  // namespace velmora
