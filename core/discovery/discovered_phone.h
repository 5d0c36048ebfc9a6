#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// Where a TCP connection reaches a phone: the resolved address of its advertised service, or the local
// end of the adb port forward of a cable phone.
struct TcpEndpoint {
    std::string host;
    std::uint16_t port = 0;

    bool operator==(const TcpEndpoint&) const = default;
};

// One phone seen on one link: an advertised service, a USB cable or a Bluetooth peripheral. Two
// sightings of the same phone with other endpoints or flags are different values; the identity in lists
// is `id`.
struct DiscoveredPhone {
    // The advertised device id; or the phone's CandidateKey text: "usb:" and the adb serial, "ble:" and the
    // peripheral's identifier.
    std::string id;
    std::string name;
    std::optional<TcpEndpoint> endpoint;  // absent for Bluetooth
    // The Bluetooth peripheral's identifier (its address in upper case); present only for Bluetooth.
    std::optional<std::string> bleID;
    // The leading part of the device id that the Bluetooth advertisement carries.
    std::optional<std::string> devicePrefix;
    std::optional<std::string> ip;     // the advertised IPv4 address, once validated
    std::optional<bool> pairFlag;      // the advertised pairing-mode flag; absent when none was advertised
    std::string epKey;                 // key of the advertised endpoint; empty without one
    std::vector<std::string> bleAlts;  // other peripheral identifiers the same phone was seen under

    bool isBle() const { return bleID.has_value(); }

    bool operator==(const DiscoveredPhone&) const = default;
};

}  // namespace velmora
