#include "app/shell/phones/list_rules.h"

#include "core/l10n/l10n.h"

namespace velmora {
namespace {

PhoneRowInput rowInput(const ListedPhone& group, bool primary, const PhoneQueries& ask) {
    return {group.best, group.paired, primary, ask.isPaired(group.best), ask.pairFlag(group.best)};
}

// Only a phone that says "not now" raises the hint: one that says nothing has an older app, whose row says
// so itself.
bool refusesNewComputer(const DiscoveredPhone& phone, const PhoneQueries& ask) {
    if (ask.isPaired(phone) || isCablePhone(phone)) return false;
    const std::optional<bool> flag = ask.pairFlag(phone);
    return flag && !*flag;
}

}  // namespace

std::vector<StepView> setupSteps(bool adbMissing) {
    return {
        {1, L10n::string("panel.empty.step1.title"), L10n::string("panel.empty.step1.sub")},
        {2, L10n::string("panel.empty.step2.title"),
         adbMissing ? L10n::string("panel.empty.step2.sub_no_adb") : L10n::string("panel.empty.step2.sub")},
        {3, L10n::format("panel.empty.step3.title", {L10n::string("ref.android.pair_new_mac")}),
         L10n::string("panel.empty.step3.sub")},
    };
}

FoundView foundView(const std::vector<ListedPhone>& groups, const PhoneQueries& ask) {
    FoundView view;
    bool hint = false;
    for (const ListedPhone& group : groups) {
        if (group.paired) {
            view.known.push_back(phoneRowView(rowInput(group, view.known.empty(), ask)));
            continue;
        }
        view.fresh.push_back(phoneRowView(rowInput(group, false, ask)));
        hint = hint || refusesNewComputer(group.best, ask);
    }
    if (hint) view.pairHint = L10n::format("panel.found.pair_hint", {L10n::string("panel.phone.pair")});
    return view;
}

std::string lostPhoneName(const std::optional<std::string>& lostPeerName, const std::vector<Peer>& paired) {
    if (lostPeerName && !lostPeerName->empty()) return *lostPeerName;
    if (!paired.empty()) return paired.front().name;
    return L10n::string("phone.generic_name");
}

bool showsInstallSection(ListBody body) {
    return body == ListBody::empty || body == ListBody::found || body == ListBody::bluetoothOff ||
           body == ListBody::localDenied;
}

PhoneListValues phoneListValues(ListBody body, const PublishedState& state,
                                const std::vector<ListedPhone>& groups, const PhoneQueries& ask,
                                bool adbMissing) {
    PhoneListValues values;
    values.body = body;
    values.adbMissing = adbMissing;
    switch (body) {
        case ListBody::empty:
            values.steps = setupSteps(adbMissing);
            break;
        case ListBody::found:
            values.found = foundView(groups, ask);
            break;
        case ListBody::connecting:
            values.connectingLabel = state.state.label();
            break;
        case ListBody::lost:
            values.lostName = lostPhoneName(state.lostPeerName, state.paired);
            break;
        case ListBody::bluetoothOff:
        case ListBody::localDenied:
            break;
    }
    return values;
}

}  // namespace velmora
