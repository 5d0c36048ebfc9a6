#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/model/connection/failure_book.h"
#include "app/model/connection/planner_types.h"

namespace velmora::ConnectionPlanner {

// The next attempt of an automatic connection, or absent when nothing is usable. Walks the kinds of
// `input.order` (Bluetooth moved to the front when `preferBle` asks for it) and, within a kind, takes the
// first target whose key does not rest in `failures` at `now`.
std::optional<Attempt> nextAttempt(const PlannerInput& input, const FailureBook& failures, double now);

// A target that failed as an upgrade is not tried again for this long.
inline constexpr double upgradeCooldownSeconds = 45;

struct UpgradeInput {
    ConnKind current = ConnKind::usb;     // kind of the live link
    std::vector<ConnKind> order;          // the switched-on kinds in the user's order
    std::string peerID;                   // the connected phone
    std::optional<PlannerUsb> usb;        // the cable phone that belongs to it, when there is one
    std::vector<std::string> dnsSdIPs;    // where it is seen on the local network now
    std::vector<std::string> knownAddrs;  // its remembered addresses, newest first
};

struct UpgradeTry {
    std::string key;
    PlannedTarget target;

    bool operator==(const UpgradeTry&) const = default;
};

struct Upgrade {
    ConnKind kind = ConnKind::usb;
    std::vector<UpgradeTry> tries;  // in the order to try them

    bool operator==(const Upgrade&) const = default;
};

// The first kind ahead of the live one in the order that has something to try, with its tries, or
// absent. Only a cable and the local network are upgraded to. `cooldown` maps candidate keys to the time
// until which they must not be tried (a deadline equal to `now` still holds).
std::optional<Upgrade> nextUpgrade(const UpgradeInput& input,
                                   const std::map<std::string, double, std::less<>>& cooldown, double now);

}  // namespace velmora::ConnectionPlanner
