#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The name of one connection target, in the planner, the failure book, the upgrade cooldowns and the logs.
// Its text is compared case-sensitively and is the same text the keys always had:
//   "usb:" serial                      a phone on a USB cable (also that phone's id in the lists)
//   "net:" id [":" where]              a phone seen through its advertised service (where: the endpoint
//                                      key), or a remembered address on one of our subnets (where: the
//                                      address); the endpoint key of a service is its address when it has
//                                      one, so both name the same target
//   "net:" id ":far:" address          a remembered address on another subnet
//   "gw:" gateway                      the phone's hotspot at our default gateway
//   "ble:" identifier                  a Bluetooth phone by its main or an alternate identifier
//   "manual:" host                     an address the user typed (never planned)
// Phone ids, endpoint keys and addresses hold no ':'; serials, identifiers and hosts may.
struct CandidateKey {
    enum class Kind : std::uint8_t { usb, net, netFar, gateway, ble, manual };

    Kind kind = Kind::usb;
    // The serial, the phone's device id, the gateway address, the Bluetooth identifier or the typed host.
    std::string subject;
    // net: the endpoint key or the address, empty for none; netFar: the address; empty for the other kinds.
    std::string where;

    static CandidateKey usb(std::string serial) { return {Kind::usb, std::move(serial), {}}; }
    static CandidateKey net(std::string phoneID, std::string where = {}) {
        return {Kind::net, std::move(phoneID), std::move(where)};
    }
    static CandidateKey netFar(std::string phoneID, std::string address) {
        return {Kind::netFar, std::move(phoneID), std::move(address)};
    }
    static CandidateKey gateway(std::string address) { return {Kind::gateway, std::move(address), {}}; }
    static CandidateKey ble(std::string identifier) { return {Kind::ble, std::move(identifier), {}}; }
    static CandidateKey manual(std::string host) { return {Kind::manual, std::move(host), {}}; }

    std::string text() const;

    // The key `text` spells, or absent for any text that text() never gives: an unknown or upper-case
    // prefix, a prefix without its colon ("ble", "bleach"), "net:" id ":" with nothing after it.
    static std::optional<CandidateKey> parse(std::string_view text);

    bool operator==(const CandidateKey&) const = default;
};

}  // namespace velmora
