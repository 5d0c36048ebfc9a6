#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora::IdlePolicy {

// The screen must have been off this long before a session moves down to Bluetooth.
inline constexpr double descendAfterScreenOff = 60;
// After a failed descent, no new one for this long.
inline constexpr double retryCooldown = 120;
// After an idle Bluetooth session is lost, the planner tries Bluetooth first for this long.
inline constexpr double preferBluetoothAfterIdleDrop = 600;

// What the descent rule looks at.
struct DescendInputs {
    bool tcpSession = false;                  // the live session runs over TCP
    bool cable = false;                       // the live link is a USB cable (wireless adb does not count)
    bool phoneReportsScreen = false;          // the phone has told its screen state in this session
    std::optional<double> phoneScreenOffFor;  // seconds since the screen went off; absent while on or untold
    bool phoneFast = false;                   // the phone's last status asked for the fast link
    bool mirroring = false;
    bool transferring = false;      // a file transfer is pending or running
    bool busy = false;              // an upgrade, a descent or a pairing prompt is under way
    bool bluetoothAllowed = false;  // Bluetooth is switched on in the user's order
    bool bluetoothReady = false;    // the radio is on and the connected phone is seen over it
    bool cooldown = false;          // a descent failed less than retryCooldown ago
};

// Why a session stays where it is; the raw value is the logged reason.
enum class Stay : std::uint8_t {
    notTcp,
    cable,
    oldPhone,
    screenOn,
    notIdleLongEnough,
    fastActivity,
    busy,
    bluetoothOff,
    bluetoothUnavailable,
    cooldown,
};

std::string_view rawValue(Stay reason);
// The reason whose raw value is `raw`; absent for any other text.
std::optional<Stay> stayFromRaw(std::string_view raw);

// Stay, with a reason, or descend.
struct Decision {
    std::optional<Stay> stay;  // absent: descend

    static Decision staying(Stay reason) { return {reason}; }
    static Decision descend() { return {}; }
    bool descends() const { return !stay; }

    bool operator==(const Decision&) const = default;
};

// Whether a TCP session may move down to Bluetooth while the phone's screen is off; the first rule that
// holds decides, in the order of Stay.
Decision descend(const DescendInputs& inputs);

// Seconds between pings: slower on Bluetooth with the screen off, where the phone sleeps its radio.
double pingInterval(bool bluetooth, bool phoneScreenOff);

// Seconds of silence from the phone before the link counts as lost.
double silenceLimit(bool bluetooth, bool phoneScreenOff);

// True for a wireless adb device: its serial names an mDNS service ("._adb-tls-connect.", "._adb._tcp")
// or a host and port (any ":"). Such a device is not a cable.
bool isWirelessAdb(std::string_view serial);

}  // namespace velmora::IdlePolicy
