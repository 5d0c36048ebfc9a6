#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/model/connection/conn_kind.h"
#include "core/discovery/candidate_key.h"

namespace velmora {

// Attempts, upgrade tries and the failure book name their targets by the text of a CandidateKey
// (core/discovery/candidate_key.h).

// What one planned attempt connects to.
struct PlannedTarget {
    // Through the USB phone's port forward.
    struct Usb {
        std::string serial;
        bool operator==(const Usb&) const = default;
    };
    // The advertised service endpoint of that phone.
    struct DnsSd {
        std::string phoneID;
        std::string endpointKey;
        bool operator==(const DnsSd&) const = default;
    };
    // This IPv4 address on the phone's known port.
    struct Ip {
        std::string address;
        bool operator==(const Ip&) const = default;
    };
    // This gateway address on the phone's standard port.
    struct Gateway {
        std::string address;
        bool operator==(const Gateway&) const = default;
    };
    // The Bluetooth peripheral with this identifier.
    struct Ble {
        std::string id;
        bool operator==(const Ble&) const = default;
    };

    std::variant<Usb, DnsSd, Ip, Gateway, Ble> value;

    static PlannedTarget usb(std::string serial) { return {Usb{std::move(serial)}}; }
    static PlannedTarget dnsSd(std::string phoneID, std::string endpointKey) {
        return {DnsSd{std::move(phoneID), std::move(endpointKey)}};
    }
    static PlannedTarget ip(std::string address) { return {Ip{std::move(address)}}; }
    static PlannedTarget gateway(std::string address) { return {Gateway{std::move(address)}}; }
    static PlannedTarget ble(std::string id) { return {Ble{std::move(id)}}; }

    bool operator==(const PlannedTarget&) const = default;
};

// One planned connection attempt.
struct Attempt {
    ConnKind kind = ConnKind::usb;
    std::string key;                      // candidate key text
    std::string label;                    // shown while connecting and written in logs
    std::optional<std::string> expected;  // device id (or its leading part) the phone reached must prove
    double connectTimeout = 0;            // seconds for the transport to connect
    PlannedTarget target;
    std::optional<std::string> note;  // logged first when the attempt starts

    bool operator==(const Attempt&) const = default;
};

// A phone on a USB cable.
struct PlannerUsb {
    std::string serial;
    std::string name;
    bool known = false;        // this serial has connected before
    bool hasEndpoint = false;  // the USB bridge holds a port forward for it

    bool operator==(const PlannerUsb&) const = default;
};

// A phone seen through its advertised service on the local network.
struct PlannerPhone {
    std::string id;
    std::string name;
    std::optional<std::string> ip;  // the IPv4 address it advertised
    bool hasEndpoint = false;
    bool paired = false;
    std::string endpointKey;

    // "net:" id, then ":" endpointKey when there is one.
    std::string failureKey() const { return CandidateKey::net(id, endpointKey).text(); }

    bool operator==(const PlannerPhone&) const = default;
};

// A paired phone.
struct PlannerPeer {
    std::string id;
    std::string name;
    std::vector<std::string> knownAddrs;  // remembered IPv4 addresses, newest first

    bool operator==(const PlannerPeer&) const = default;
};

// A phone seen over Bluetooth.
struct PlannerBle {
    std::string id;
    std::string name;
    std::optional<std::string> devicePrefix;
    bool paired = false;
    std::vector<std::string> altIDs;  // other identifiers the same phone was seen under

    bool operator==(const PlannerBle&) const = default;
};

// Everything the planner is told.
struct PlannerInput {
    std::vector<ConnKind> order;  // the switched-on kinds in the user's order
    bool preferBle = false;       // Bluetooth goes first (for a while after an idle Bluetooth session ended)
    std::vector<PlannerUsb> usb;
    std::vector<PlannerPhone> wifi;
    std::vector<PlannerPeer> peers;
    std::optional<std::string> gateway;
    bool hasPairedPeers = false;                      // not consulted by the walk
    std::map<std::string, std::string> hotspotPeers;  // gateway address -> paired phone id
    std::vector<PlannerBle> ble;
    // Whether an IPv4 address lies on a subnet of one of our interfaces.
    std::function<bool(const std::string& address)> sameSubnet = [](const std::string&) { return false; };
};

}  // namespace velmora
