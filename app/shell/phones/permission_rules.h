#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/model/published_state.h"
#include "core/storage/shown_path.h"

namespace velmora {

// The permissions fold: what this computer gives the application, row by row, with the one thing a user
// can do about each. On Linux that is whether a notification server answers, whether a Bluetooth adapter
// is there and powered, and whether a phone on a cable can be reached through adb. There is no privacy pane
// to send anyone to: no local-network row, and no authorisation to request.

enum class PermState { ok, warn, bad };  // in rising severity

// What a row's button does; the host wires each to the desktop or the model.
enum class PermAction {
    none,
    openBluetoothSettings,  // the desktop's Bluetooth settings: power the adapter on there
    checkAgain,             // probe the notification server and the Bluetooth service again
    showInstallSection,     // the install section's how-to: installing adb, allowing USB debugging
};

struct PermissionFacts {
    PublishedState::NotifStatus notif = PublishedState::NotifStatus::notDetermined;
    int bluetoothState = 0;  // 0 unknown, 1 resetting, 2 no adapter, 3 unreachable, 4 off, 5 on
    bool adbPresent = false;
    int unauthorizedPhones = 0;  // phones adb lists as not yet trusting this computer
    // The file that keeps this computer's key, as the user would type it, when no secret store took it.
    std::optional<std::string> keyFile;
    bool operator==(const PermissionFacts&) const = default;
};

struct PermRowView {
    PermState state = PermState::ok;
    std::string name;
    std::string status;
    std::string button;  // empty: no button
    PermAction action = PermAction::none;
    bool operator==(const PermRowView&) const = default;
};

struct PermSummary {
    std::string text;
    PermState worst = PermState::ok;  // its colour is the summary dot's
    bool operator==(const PermSummary&) const = default;
};

// The notification row, the Bluetooth row and the cable row, in this order.
std::vector<PermRowView> permissionRows(const PermissionFacts& facts);
PermSummary permissionSummary(const std::vector<PermRowView>& rows);
// The fold starts open when this computer keeps the phone's notifications from showing; a Bluetooth or
// cable problem alone leaves it closed (the phone still links another way).
bool permissionsOpenByDefault(const PermissionFacts& facts);
// The two notes under the rows: where this computer's key is kept (the keyring, or the file when no secret
// store took it), and the permissions on the phone.
std::vector<std::string> permissionNotes(const PermissionFacts& facts);

}  // namespace velmora
