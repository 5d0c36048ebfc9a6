#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/model/connection/conn_kind.h"
#include "app/model/connection/conn_state.h"
#include "app/model/connection/link_prefs.h"
#include "app/model/features/files/received_file.h"
#include "app/model/features/phone_app.h"
#include "core/discovery/discovered_phone.h"
#include "core/identity/peer.h"

namespace velmora {

// A short message at the top of the panel, already localised, with an optional second line.
struct PanelNotice {
    std::string title;
    std::optional<std::string> text;
    bool operator==(const PanelNotice&) const = default;
};

// What the panel shows of the phone and the link: the model's published connection state, one value the
// UI copies or reads on the main thread. The model writes it on the main executor only.
struct PublishedState {
    std::vector<DiscoveredPhone> phones;     // found on the local network
    std::vector<DiscoveredPhone> usbPhones;  // on a cable
    std::vector<DiscoveredPhone> blePhones;  // seen over Bluetooth
    ConnState state;
    std::optional<std::int64_t> battery;   // percent
    bool charging = false;                 // kept when a session ends
    std::optional<std::string> lastError;  // already localised
    int bluetoothState = 0;                // 5 = powered on
    std::string linkKind = "tcp";          // "tcp" or "ble"
    bool bleFast = false;                  // the Bluetooth link runs over an L2CAP channel
    std::optional<std::string> networkHint;
    std::optional<std::int64_t> rttMs;
    std::vector<LinkPref> linkPrefs;
    bool browserReady = false;
    bool phoneLost = false;  // no connection came back within 45 s of a loss
    std::optional<std::string> phoneAppVersion;
    std::optional<std::int64_t> phoneAppBuild;
    bool localNetworkDenied = false;
    std::vector<Peer> paired;
    bool idleDescended = false;
    std::optional<ConnKind> activeKind;  // kind of the live link, for its title

    // Control dispatch, panel notices, ring and speed test.
    bool phoneControlPaused = false;         // the phone has taken back the control of its screen
    std::optional<PanelNotice> panelNotice;  // shown at the top of the panel; one at a time
    bool ringing = false;                    // the ring toggle as last sent
    std::optional<std::string> benchText;    // the speed test's line in the preferences

    // Notifications and their filter (features/notifications/). The filter and the app list are the
    // user's stored settings "notifDefault", "notifOverrides" and "phoneApps".
    enum class NotifStatus { notDetermined, authorized, unavailable };
    NotifStatus notifStatus = NotifStatus::notDetermined;  // unavailable: no notification server
    bool notifDefault = true;                              // apps without an override are shown
    std::map<std::string, bool> notifOverrides;            // package -> shown
    std::vector<PhoneApp> phoneApps;                       // sorted by lower-cased name

    // Clipboard sync.
    bool syncClipboard = true;  // the user's switch, stored as "syncClipboard"

    // Files, both ways: the one transfer status line (last writer wins) and the received list.
    std::optional<std::string> transferText;  // already localised
    // The status line again while it tells of a failure (a later text of another kind no longer matches).
    std::optional<std::string> transferFailure;
    std::vector<ReceivedFile> recentFiles;  // newest first, at most 5

    // ---- Mirroring (features/mirroring/) ----
    bool mirroring = false;           // a mirroring run was asked for or is shown
    bool playAudio = true;            // persisted: ask for the phone's sound and play it
    bool muteDevice = true;           // persisted: the phone keeps quiet while its sound plays here
    bool keepCapture = true;          // persisted: the phone keeps its capture permission after a stop
    bool allowMirrorCapture = false;  // persisted: the user's wish to let captures see the window
    // Whether the desktop can hide the window from captures at all; when not, the panel shows the setting
    // as unavailable with `mirrorCaptureNote` as its reason.
    bool mirrorCaptureSupported = false;
    std::optional<std::string> mirrorCaptureNote;
    // ---- end of mirroring ----

    // ---- The lost phone's name (the panel's lost body) ----
    // The peer name of the last live session that ended, so that the lost body names the phone that was
    // lost rather than the first paired one. Absent until a session has ended.
    std::optional<std::string> lostPeerName;
    // ---- end of the lost phone's name ----

    bool operator==(const PublishedState&) const = default;
};

// The localised title of the live link.
std::string transportTitle(const PublishedState& state);

// Whether the panel offers to update the companion app: connected, the phone told its build, we carry a
// package, and its build is older than ours.
bool phoneNeedsUpdate(const PublishedState& state, bool packageAvailable, std::int64_t ourBuild);

}  // namespace velmora
