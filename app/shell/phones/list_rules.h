#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/model/published_state.h"
#include "app/shell/phones/phone_row_rules.h"

namespace velmora {

// What the panel's bodies show while no phone is connected, as plain values: the frame decides which body
// shows, these rules decide what it holds.

// The bodies of the states in which the user looks for a phone.
enum class ListBody { empty, found, connecting, lost, bluetoothOff, localDenied };

// One entry of the found list, as the panel's grouping merged it: the phone the row shows and connects to,
// and whether the row belongs to a phone this computer knows.
struct ListedPhone {
    std::string id;
    DiscoveredPhone best;
    bool paired = false;
};

// The model's two answers about a phone (AppModel::isPaired, AppModel::pairFlag).
struct PhoneQueries {
    std::function<bool(const DiscoveredPhone&)> isPaired;
    std::function<std::optional<bool>(const DiscoveredPhone&)> pairFlag;
};

struct StepView {
    int number = 0;
    std::string title;
    std::string subtitle;
    bool operator==(const StepView&) const = default;
};

struct FoundView {
    std::vector<PhoneRowView> known;  // in list order; only the first is primary
    std::vector<PhoneRowView> fresh;
    std::optional<std::string> pairHint;
    bool operator==(const FoundView&) const = default;
};

// Everything one body shows; only the part of its own body is filled.
struct PhoneListValues {
    ListBody body = ListBody::empty;
    bool adbMissing = false;      // the install section's and the second step's
    std::vector<StepView> steps;  // empty body
    FoundView found;              // found body
    std::string connectingLabel;  // connecting body
    std::string lostName;         // lost body
    bool operator==(const PhoneListValues&) const = default;
};

// The three setup steps of the empty body.
std::vector<StepView> setupSteps(bool adbMissing);
// The found list split into its known and new sections, with the pairing hint when some new phone reached
// over the network or Bluetooth states that it is not accepting a new computer now.
FoundView foundView(const std::vector<ListedPhone>& groups, const PhoneQueries& ask);
// The lost phone's name: the lost session's peer, else the first paired phone, else the generic name.
std::string lostPhoneName(const std::optional<std::string>& lostPeerName, const std::vector<Peer>& paired);
// The install section heads the empty, found, Bluetooth-off and local-network bodies.
bool showsInstallSection(ListBody body);
PhoneListValues phoneListValues(ListBody body, const PublishedState& state,
                                const std::vector<ListedPhone>& groups, const PhoneQueries& ask,
                                bool adbMissing);

}  // namespace velmora
