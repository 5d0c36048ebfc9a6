#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/model/connection_planner.h"
#include "core/l10n/l10n.h"
#include "print.h"

namespace velmora {
namespace {

constexpr double kNow = 5000;
const std::string P1 = "0123456789abcdef0123456789abcdef";
const std::string P2 = "fedcba9876543210fedcba9876543210";

Attempt usbAttempt(const std::string& serial, const std::string& name) {
    return {ConnKind::usb, "usb:" + serial, name, std::nullopt, 4, PlannedTarget::usb(serial), std::nullopt};
}

Attempt dnsSdAttempt(const PlannerPhone& p, double timeout, std::string key = "") {
    if (key.empty()) key = p.failureKey();
    return {ConnKind::wifi, key, p.name, p.id, timeout, PlannedTarget::dnsSd(p.id, p.endpointKey), {}};
}

Attempt addressAttempt(const std::string& id, const std::string& name, const std::string& address, bool far) {
    const std::string note = "sem mDNS para " + name + ": tentando o último IP conhecido " + address;
    return {ConnKind::wifi,
            "net:" + id + (far ? ":far:" : ":") + address,
            name,
            id,
            3,
            PlannedTarget::ip(address),
            note};
}

Attempt hotspotAttempt(const std::string& gateway, const std::string& id) {
    const std::string label = L10n::string("phone.hotspot_label");
    return {ConnKind::hotspot, "gw:" + gateway, label, id, 2, PlannedTarget::gateway(gateway), std::nullopt};
}

Attempt bleAttempt(const std::string& id, const std::string& name, std::optional<std::string> prefix) {
    return {ConnKind::ble, "ble:" + id, name, std::move(prefix), 10, PlannedTarget::ble(id), std::nullopt};
}

const PlannerUsb kCable{"R58N123", "Phone_7", true, true};
const PlannerPhone kAdvertised{P1, "Phone-7-Pro", "10.0.0.20", true, true, "svc-a1b2c3d4e5f6"};
const PlannerPeer kPeer{P1, "Phone-7-Pro", {}};
const PlannerBle kBlePhone{"AA:BB:CC:DD:EE:01", "Phone_7", "0123456789abcdef", true, {}};

// One planning: the input on top of the default order, the failure keys resting at the moment, the attempt.
struct Row {
    const char* name;
    std::function<void(PlannerInput&)> setup;
    std::vector<std::string> resting;
    std::optional<Attempt> expected;
};

void runRows(const std::vector<Row>& rows) {
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PlannerInput in;
        in.order = {ConnKind::usb, ConnKind::wifi, ConnKind::hotspot, ConnKind::ble};
        // Our own interfaces sit on 10.0.0.0/24; every other address is on another subnet.
        in.sameSubnet = [](const std::string& a) { return a.starts_with("10.0.0."); };
        row.setup(in);
        FailureBook book;
        for (const auto& key : row.resting)
            book.markFailure(key, kNow, true);
        EXPECT_EQ(ConnectionPlanner::nextAttempt(in, book, kNow), row.expected);
    }
}

TEST(ConnectionPlanner, UsbTriesOnlyTheFirstKnownCablePhone) {
    const PlannerUsb unknown{"UNKNOWN1", "Other", false, true};
    const PlannerUsb noForward{"NOFWD1", "NoForward", true, false};
    runRows({
        {"known phone with a forward",
         [](auto& in) { in.usb = {kCable}; },
         {},
         usbAttempt("R58N123", "Phone_7")},
        {"an unknown phone is passed over",
         [&](auto& in) {
             in.usb = {unknown, kCable};
         },
         {},
         usbAttempt("R58N123", "Phone_7")},
        {"the first known phone has no forward: no cable attempt, the walk goes on",
         [&](auto& in) {
             in.usb = {noForward, kCable};
             in.ble = {kBlePhone};
         },
         {},
         bleAttempt(kBlePhone.id, "Phone_7", "0123456789abcdef")},
        {"resting cable key: the next kind",
         [](auto& in) {
             in.usb = {kCable};
             in.wifi = {kAdvertised};
         },
         {"usb:R58N123"},
         dnsSdAttempt(kAdvertised, 4)},
        {"only unknown phones", [&](auto& in) { in.usb = {unknown}; }, {}, std::nullopt},
    });
}

TEST(ConnectionPlanner, WifiServicePassTakesPairedPhonesWithAnEndpointThatDoNotRest) {
    PlannerPhone noIp = kAdvertised;
    noIp.ip.reset();
    PlannerPhone noKey = kAdvertised;
    noKey.endpointKey.clear();
    const PlannerPhone unpaired{P2, "Stranger", "10.0.0.30", true, false, "svc-000000000000"};
    const PlannerPhone noEndpoint{P2, "Unresolved", "10.0.0.30", false, true, "svc-000000000000"};
    const PlannerPhone second{P2, "Second", std::nullopt, true, true, "svc-222222222222"};
    runRows({
        {"advertised address: 4 s",
         [](auto& in) { in.wifi = {kAdvertised}; },
         {},
         dnsSdAttempt(kAdvertised, 4)},
        {"no advertised address: 8 s", [&](auto& in) { in.wifi = {noIp}; }, {}, dnsSdAttempt(noIp, 8)},
        {"empty endpoint key: key is net: and the id",
         [&](auto& in) { in.wifi = {noKey}; },
         {},
         dnsSdAttempt(noKey, 4, "net:" + P1)},
        {"unpaired and unresolved phones are never tried",
         [&](auto& in) {
             in.wifi = {unpaired, noEndpoint};
         },
         {},
         std::nullopt},
        {"first paired phone rests: the second",
         [&](auto& in) {
             in.wifi = {kAdvertised, second};
         },
         {kAdvertised.failureKey()},
         dnsSdAttempt(second, 8)},
        {"a service attempt beats remembered addresses",
         [&](auto& in) {
             in.wifi = {second};
             in.peers = {{P1, "Phone-7-Pro", {"10.0.0.5"}}};
         },
         {},
         dnsSdAttempt(second, 8)},
    });
}

TEST(ConnectionPlanner, WifiRememberedAddressesNearFirstThenOneFarAtMostThree) {
    // A and C lie on another subnet, B and D on ours.
    const std::vector<std::string> abcd{"192.168.1.10", "10.0.0.11", "172.16.0.12", "10.0.0.13"};
    const std::string A = abcd[0], B = abcd[1], D = abcd[3];
    const std::string near = "net:" + P1 + ":";
    const auto phone = [&](auto& in) { in.peers = {{P1, "Phone", abcd}}; };
    runRows({
        {"B first", phone, {}, addressAttempt(P1, "Phone", B, false)},
        {"B rests: D", phone, {near + B}, addressAttempt(P1, "Phone", D, false)},
        {"B and D rest: the far A", phone, {near + B, near + D}, addressAttempt(P1, "Phone", A, true)},
        {"B, D and A rest: C is never tried",
         phone,
         {near + B, near + D, "net:" + P1 + ":far:" + A},
         std::nullopt},
        {"five near addresses: the fourth is never tried",
         [](auto& in) {
             in.peers = {{P1, "Phone", {"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.5"}}};
         },
         {near + "10.0.0.1", near + "10.0.0.2", near + "10.0.0.3"},
         std::nullopt},
        {"a far key resting under its near form does not hold it back",
         [&](auto& in) {
             in.peers = {{P1, "Phone", {A}}};
         },
         {near + A},
         addressAttempt(P1, "Phone", A, true)},
        {"a peer the browser sees, even unpaired and unresolved, is skipped for the next peer",
         [&](auto& in) {
             in.wifi = {{P1, "Seen", std::nullopt, false, false, ""}};
             in.peers = {{P1, "Phone", {B}}, {P2, "Other", {D}}};
         },
         {},
         addressAttempt(P2, "Other", D, false)},
        {"all addresses of the first peer rest: the next peer",
         [&](auto& in) {
             in.peers = {{P1, "Phone", {B}}, {P2, "Other", {A}}};
         },
         {near + B},
         addressAttempt(P2, "Other", A, true)},
        {"no subnet test given: every address counts as far",
         [&](auto& in) {
             in.sameSubnet = nullptr;
             in.peers = {{P1, "Phone", {B, D}}};
         },
         {},
         addressAttempt(P1, "Phone", B, true)},
        {"a peer without addresses", [](auto& in) { in.peers = {kPeer}; }, {}, std::nullopt},
    });
}

TEST(ConnectionPlanner, HotspotNeedsAGatewayOfAPairedPeerAndNoPairedPhoneOnTheNetwork) {
    const std::string gw = "192.168.43.1";
    // The gateway of the paired phone, plus one change.
    const auto mapped = [gw](std::function<void(PlannerInput&)> change) {
        return [gw, change](PlannerInput& in) {
            in.gateway = gw;
            in.hotspotPeers = {{gw, P1}};
            in.peers = {kPeer};
            change(in);
        };
    };
    runRows({
        {"gateway of a paired peer", mapped([](auto&) {}), {}, hotspotAttempt(gw, P1)},
        {"no gateway", mapped([](auto& in) { in.gateway.reset(); }), {}, std::nullopt},
        {"gateway not mapped", mapped([](auto& in) { in.gateway = "192.168.1.1"; }), {}, std::nullopt},
        {"mapped to a phone that is no longer paired",
         mapped([&](auto& in) {
             in.hotspotPeers = {{gw, P2}};
         }),
         {},
         std::nullopt},
        {"a paired phone seen on the network, even without an endpoint",
         mapped([](auto& in) {
             in.wifi = {{P2, "Other", std::nullopt, false, true, ""}};
         }),
         {},
         std::nullopt},
        {"an unpaired phone seen on the network does not stop it",
         mapped([](auto& in) {
             in.wifi = {{P2, "Stranger", std::nullopt, true, false, "svc-1"}};
         }),
         {},
         hotspotAttempt(gw, P1)},
        {"gateway key rests", mapped([](auto&) {}), {"gw:" + gw}, std::nullopt},
    });
}

TEST(ConnectionPlanner, BluetoothTriesPairedPhonesByMainThenAlternateIdentifiers) {
    PlannerBle withAlts = kBlePhone;
    withAlts.altIDs = {"AA:BB:CC:DD:EE:02", "AA:BB:CC:DD:EE:03"};
    const PlannerBle noPrefix{"AA:BB:CC:DD:EE:09", "Plain", std::nullopt, true, {}};
    const PlannerBle unpaired{"AA:BB:CC:DD:EE:08", "Stranger", "fedcba98", false, {}};
    const auto alts = [&](auto& in) { in.ble = {withAlts}; };
    runRows({
        {"main identifier, prefix expected",
         [](auto& in) { in.ble = {kBlePhone}; },
         {},
         bleAttempt(kBlePhone.id, "Phone_7", "0123456789abcdef")},
        {"without a prefix nothing is expected",
         [&](auto& in) { in.ble = {noPrefix}; },
         {},
         bleAttempt(noPrefix.id, "Plain", std::nullopt)},
        {"unpaired phones are never tried",
         [&](auto& in) {
             in.ble = {unpaired, noPrefix};
         },
         {},
         bleAttempt(noPrefix.id, "Plain", std::nullopt)},
        {"main key rests: the first alternate",
         alts,
         {"ble:" + withAlts.id},
         bleAttempt("AA:BB:CC:DD:EE:02", "Phone_7", "0123456789abcdef")},
        {"main and first alternate rest: the second alternate",
         alts,
         {"ble:" + withAlts.id, "ble:AA:BB:CC:DD:EE:02"},
         bleAttempt("AA:BB:CC:DD:EE:03", "Phone_7", "0123456789abcdef")},
        {"every identifier of the first phone rests: the next phone",
         [&](auto& in) {
             in.ble = {withAlts, noPrefix};
         },
         {"ble:AA:BB:CC:DD:EE:01", "ble:AA:BB:CC:DD:EE:02", "ble:AA:BB:CC:DD:EE:03"},
         bleAttempt(noPrefix.id, "Plain", std::nullopt)},
    });
}

TEST(ConnectionPlanner, TheUserOrderDecidesAndPreferBleMovesBluetoothToTheFront) {
    // A cable phone, an advertised phone and a Bluetooth phone, in the given order.
    const auto everything = [](std::vector<ConnKind> order, bool preferBle = false) {
        return [order, preferBle](PlannerInput& in) {
            in.usb = {kCable};
            in.wifi = {kAdvertised};
            in.ble = {kBlePhone};
            in.order = order;
            in.preferBle = preferBle;
        };
    };
    const std::vector<ConnKind> all = {ConnKind::usb, ConnKind::wifi, ConnKind::hotspot, ConnKind::ble};
    const Attempt cable = usbAttempt("R58N123", "Phone_7");
    const Attempt service = dnsSdAttempt(kAdvertised, 4);
    const Attempt radio = bleAttempt(kBlePhone.id, "Phone_7", "0123456789abcdef");
    runRows({
        {"default order: cable", everything(all), {}, cable},
        {"order wifi, ble", everything({ConnKind::wifi, ConnKind::ble}), {}, service},
        {"order wifi, ble with preferBle: Bluetooth first",
         everything({ConnKind::wifi, ConnKind::ble}, true),
         {},
         radio},
        {"preferBle without ble in the order changes nothing",
         everything({ConnKind::wifi, ConnKind::usb}, true),
         {},
         service},
        {"preferBle, Bluetooth rests: the others keep their order (hotspot before wifi)",
         [](auto& in) {
             in.order = {ConnKind::hotspot, ConnKind::wifi, ConnKind::ble};
             in.preferBle = true;
             in.ble = {kBlePhone};
             in.peers = {{P1, "Phone", {"10.0.0.9"}}};
             in.gateway = "192.168.43.1";
             in.hotspotPeers = {{"192.168.43.1", P1}};
         },
         {"ble:" + kBlePhone.id},
         hotspotAttempt("192.168.43.1", P1)},
        {"a switched-off kind is not walked", everything({ConnKind::hotspot, ConnKind::ble}), {}, radio},
        {"empty order", everything({}), {}, std::nullopt},
        {"every candidate rests",
         everything(all),
         {"usb:R58N123", kAdvertised.failureKey(), "ble:" + kBlePhone.id},
         std::nullopt},
        {"nothing known at all", [](auto&) {}, {}, std::nullopt},
    });
}

TEST(ConnectionPlanner, ARestThatEndedIsTriedAgain) {
    PlannerInput in;
    in.order = {ConnKind::usb};
    in.usb = {kCable};
    FailureBook book;
    book.markFailure("usb:R58N123", kNow - 4, true);
    EXPECT_EQ(ConnectionPlanner::nextAttempt(in, book, kNow), usbAttempt("R58N123", "Phone_7"));
}

}  // namespace
}  // namespace velmora
