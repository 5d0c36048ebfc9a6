#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

// The kinds of link to the phone. Their order here is the default connection order.
enum class ConnKind : std::uint8_t {
    usb,      // USB cable, through an adb port forward
    wifi,     // local network: an advertised service or a remembered address
    hotspot,  // the phone's own Wi-Fi hotspot, reached at the default gateway
    ble,      // Bluetooth LE
};

inline constexpr std::array<ConnKind, 4> kAllConnKinds{ConnKind::usb, ConnKind::wifi, ConnKind::hotspot,
                                                       ConnKind::ble};

// "usb", "wifi", "hotspot", "ble": the stored and logged name of a kind.
std::string_view rawValue(ConnKind kind);

// The kind named by `raw`; absent for any other text (names are case-sensitive).
std::optional<ConnKind> connKindFromRaw(std::string_view raw);

// The kind of link a candidate key's text names (see CandidateKey); absent for a typed address ("manual:")
// and for any text that is no candidate key (also "bleach": a prefix counts only with its colon).
std::optional<ConnKind> connKindForCandidateKey(std::string_view key);

}  // namespace velmora
