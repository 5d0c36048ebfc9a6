#include "app/shell/phones/permission_rules.h"

#include <algorithm>

#include "core/l10n/l10n.h"

namespace velmora {
namespace {

using Notif = PublishedState::NotifStatus;

PermRowView notificationRow(Notif status) {
    PermRowView row{PermState::ok, L10n::string("perms.notif.name"), "", "", PermAction::none};
    switch (status) {
        case Notif::authorized:
            row.status = L10n::string("perms.notif.ok");
            break;
        case Notif::notDetermined:
            row.status = L10n::string("perms.notif.checking");
            break;
        case Notif::unavailable:
            row.state = PermState::bad;
            row.status = L10n::string("perms.notif.no_server");
            row.button = L10n::string("perms.check_again");
            row.action = PermAction::checkAgain;
            break;
    }
    return row;
}

PermRowView bluetoothRow(int state) {
    PermRowView row{PermState::ok, L10n::string("perms.bt.name"), "", "", PermAction::none};
    if (state == 0) {
        row.status = L10n::string("perms.bt.checking");
    } else if (state == 1 || state == 5) {
        row.status = L10n::string("perms.bt.ok");
    } else if (state == 4) {
        row = {PermState::warn, row.name, L10n::string("perms.bt.off"), L10n::string("common.turn_on"),
               PermAction::openBluetoothSettings};
    } else if (state == 2) {
        // Nothing to press: only plugging in an adapter helps, and the text says so.
        row = {PermState::bad, row.name, L10n::string("perms.bt.no_adapter"), "", PermAction::none};
    } else {
        row = {PermState::bad, row.name, L10n::string("perms.bt.unreachable"),
               L10n::string("perms.check_again"), PermAction::checkAgain};
    }
    return row;
}

PermRowView cableRow(bool adbPresent, int unauthorized) {
    PermRowView row{PermState::ok, L10n::string("perms.usb.name"), L10n::string("perms.usb.ok"), "",
                    PermAction::none};
    if (!adbPresent) {
        row.status = L10n::string("perms.usb.no_adb");
    } else if (unauthorized > 0) {
        row.status = L10n::format("perms.usb.unauthorized", {static_cast<std::int64_t>(unauthorized)});
    } else {
        return row;
    }
    row.state = PermState::warn;
    row.button = L10n::string("perms.usb.how");
    row.action = PermAction::showInstallSection;
    return row;
}

}  // namespace

std::vector<PermRowView> permissionRows(const PermissionFacts& facts) {
    return {notificationRow(facts.notif), bluetoothRow(facts.bluetoothState),
            cableRow(facts.adbPresent, facts.unauthorizedPhones)};
}

PermSummary permissionSummary(const std::vector<PermRowView>& rows) {
    PermSummary summary;
    std::int64_t count = 0;
    for (const PermRowView& row : rows) {
        count += row.state != PermState::ok;
        summary.worst = std::max(summary.worst, row.state);
    }
    summary.text =
        count == 0 ? L10n::string("perms.summary.ok") : L10n::format("perms.summary.attention", {count});
    return summary;
}

bool permissionsOpenByDefault(const PermissionFacts& facts) {
    return facts.notif == Notif::unavailable;
}

std::vector<std::string> permissionNotes(const PermissionFacts& facts) {
    return {facts.keyFile ? L10n::format("perms.note.key_file", {*facts.keyFile})
                          : L10n::format("perms.note.keychain", {L10n::string("ref.keychain.always_allow")}),
            L10n::string("perms.note.phone")};
}

}  // namespace velmora
