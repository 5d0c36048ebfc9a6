#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <sstream>

#include "app/model/connection/connection_planner.h"
#include "core/l10n/l10n.h"

// Cases name only the input fields they set; the others keep their empty defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace velmora {
namespace {

constexpr double kNow = 5000;
using enum ConnKind;

std::string targetText(const PlannedTarget& target) {
    using T = PlannedTarget;
    const auto& v = target.value;
    if (const auto* t = std::get_if<T::DnsSd>(&v)) return "dnsSd(" + t->phoneID + "," + t->endpointKey + ")";
    if (const auto* t = std::get_if<T::Usb>(&v)) return "usb(" + t->serial + ")";
    if (const auto* t = std::get_if<T::Ble>(&v)) return "ble(" + t->id + ")";
    if (const auto* t = std::get_if<T::Ip>(&v)) return "ip(" + t->address + ")";
    return "gw(" + std::get<T::Gateway>(v).address + ")";
}

// "kind key 'label' timeout expected-id target", and "+note" when the attempt logs a note first.
std::string show(const std::optional<Attempt>& a) {
    if (!a) return "none";
    std::ostringstream s;
    s << rawValue(a->kind) << " " << a->key << " '" << a->label << "' " << a->connectTimeout << " "
      << a->expected.value_or("-") << " " << targetText(a->target) << (a->note ? " +note" : "");
    return s.str();
}

// The attempt planned with the failure keys `resting`, the default order when `in` names none and, unless
// `subnetTest` is false, our own interfaces on 10.0.0.0/24.
std::string plan(PlannerInput in, const std::vector<std::string>& resting = {}, bool subnetTest = true) {
    if (in.order.empty()) in.order = {usb, wifi, hotspot, ble};
    in.sameSubnet = nullptr;
    if (subnetTest) in.sameSubnet = [](const std::string& a) { return a.starts_with("10.0.0."); };
    FailureBook book;
    for (const auto& key : resting)
        book.markFailure(key, kNow, true);
    return show(ConnectionPlanner::nextAttempt(in, book, kNow));
}

const PlannerUsb kCable{"R58", "Phone_7", true, true};
const PlannerPhone kAdvertised{"p1", "Seven", "10.0.0.20", true, true, "svc-a"};
const PlannerBle kRadio{"AA:01", "Phone_7", "0123", true, {}};
const std::string kCableTry = "usb usb:R58 'Phone_7' 4 - usb(R58)";
const std::string kServiceTry = "wifi net:p1:svc-a 'Seven' 4 p1 dnsSd(p1,svc-a)";
const std::string kRadioTry = "ble ble:AA:01 'Phone_7' 10 0123 ble(AA:01)";

TEST(ConnectionPlanner, CableAndServiceTakeTheFirstUsablePhone) {
    const PlannerUsb unknown{"U1", "Other", false, true}, noForward{"N1", "NoForward", true, false};
    EXPECT_EQ(plan({.usb = {unknown, kCable}}), kCableTry);
    EXPECT_EQ(plan({.usb = {noForward, kCable}, .ble = {kRadio}}), kRadioTry);  // the first known one decides
    EXPECT_EQ(plan({.usb = {kCable}, .wifi = {kAdvertised}}, {"usb:R58"}), kServiceTry);
    PlannerPhone noIp = kAdvertised;
    noIp.ip.reset();
    EXPECT_EQ(plan({.wifi = {noIp}}), "wifi net:p1:svc-a 'Seven' 8 p1 dnsSd(p1,svc-a)");
    const PlannerPhone unpaired{"p2", "Stranger", "10.0.0.30", true, false, "svc-b"};
    const PlannerPhone unresolved{"p2", "Unresolved", "10.0.0.30", false, true, "svc-b"};
    EXPECT_EQ(plan({.wifi = {unpaired, unresolved}}), "none");
    // The first phone rests: the second, before any remembered address.
    const PlannerPhone second{"p2", "Second", std::nullopt, true, true, "svc-b"};
    EXPECT_EQ(plan({.wifi = {kAdvertised, second}, .peers = {{"p3", "Old", {"10.0.0.5"}}}}, {"net:p1:svc-a"}),
              "wifi net:p2:svc-b 'Second' 8 p2 dnsSd(p2,svc-b)");
}

TEST(ConnectionPlanner, RememberedAddressesNearFirstThenOneFarAtMostThree) {
    // A and C lie on another subnet, B and D on ours: B, D, then A; never C.
    const std::string A = "192.168.1.10", B = "10.0.0.11", C = "172.16.0.12", D = "10.0.0.13";
    const std::vector<PlannerPeer> abcd = {{"p1", "Phone", {A, B, C, D}}};
    EXPECT_EQ(plan({.peers = abcd}), "wifi net:p1:10.0.0.11 'Phone' 3 p1 ip(10.0.0.11) +note");
    EXPECT_EQ(plan({.peers = abcd}, {"net:p1:" + B, "net:p1:" + D}),
              "wifi net:p1:far:192.168.1.10 'Phone' 3 p1 ip(192.168.1.10) +note");
    EXPECT_EQ(plan({.peers = abcd}, {"net:p1:" + B, "net:p1:" + D, "net:p1:far:" + A}), "none");
    EXPECT_EQ(plan({.peers = {{"p1", "Phone", {"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}}}},
                   {"net:p1:10.0.0.1", "net:p1:10.0.0.2", "net:p1:10.0.0.3"}),
              "none");
    // A peer the browser sees, even unpaired and unresolved, is skipped for the next.
    const PlannerPhone seen{"p1", "Seen", std::nullopt, false, false, ""};
    EXPECT_EQ(plan({.wifi = {seen}, .peers = {{"p1", "Phone", {B}}, {"p2", "Other", {D}}}}),
              "wifi net:p2:10.0.0.13 'Other' 3 p2 ip(10.0.0.13) +note");
    // Without a subnet test every address counts as far.
    EXPECT_EQ(plan({.peers = {{"p1", "Phone", {B, D}}}}, {}, false),
              "wifi net:p1:far:10.0.0.11 'Phone' 3 p1 ip(10.0.0.11) +note");
}

TEST(ConnectionPlanner, HotspotNeedsTheGatewayOfAPairedPeerAndNoPairedPhoneOnTheNetwork) {
    const std::string gw = "192.168.43.1", label = L10n::string("phone.hotspot_label");
    const std::vector<PlannerPeer> paired = {{"p1", "Phone", {}}};
    const std::map<std::string, std::string> mapped = {{gw, "p1"}};
    const PlannerPhone stranger{"p2", "Stranger", std::nullopt, true, false, "svc-1"};
    EXPECT_EQ(plan({.wifi = {stranger}, .peers = paired, .gateway = gw, .hotspotPeers = mapped}),
              "hotspot gw:" + gw + " '" + label + "' 2 p1 gw(" + gw + ")");
    EXPECT_EQ(plan({.peers = paired, .hotspotPeers = mapped}), "none");
    EXPECT_EQ(plan({.peers = paired, .gateway = "192.168.1.1", .hotspotPeers = mapped}), "none");
    EXPECT_EQ(plan({.gateway = gw, .hotspotPeers = mapped}), "none");  // that phone is no longer paired
    EXPECT_EQ(plan({.peers = paired, .gateway = gw, .hotspotPeers = mapped}, {"gw:" + gw}), "none");
    const PlannerPhone pairedSeen{"p2", "Other", std::nullopt, false, true, ""};  // even without an endpoint
    EXPECT_EQ(plan({.wifi = {pairedSeen}, .peers = paired, .gateway = gw, .hotspotPeers = mapped}), "none");
}

TEST(ConnectionPlanner, BluetoothTriesPairedPhonesByMainThenAlternateIdentifiers) {
    PlannerBle alts = kRadio;
    alts.altIDs = {"AA:02", "AA:03"};
    const PlannerBle plain{"AA:09", "Plain", std::nullopt, true, {}},
        unpaired{"AA:08", "Other", "fe", false, {}};
    const std::string plainTry = "ble ble:AA:09 'Plain' 10 - ble(AA:09)";
    EXPECT_EQ(plan({.ble = {unpaired, plain}}), plainTry);
    EXPECT_EQ(plan({.ble = {alts}}, {"ble:AA:01", "ble:AA:02"}),
              "ble ble:AA:03 'Phone_7' 10 0123 ble(AA:03)");
    EXPECT_EQ(plan({.ble = {alts, plain}}, {"ble:AA:01", "ble:AA:02", "ble:AA:03"}), plainTry);
}

TEST(ConnectionPlanner, TheUserOrderDecidesAndPreferBleMovesBluetoothToTheFront) {
    const auto all = [](std::vector<ConnKind> order, bool preferBle = false) {
        return PlannerInput{
            .order = order, .preferBle = preferBle, .usb = {kCable}, .wifi = {kAdvertised}, .ble = {kRadio}};
    };
    EXPECT_EQ(plan(all({})), kCableTry);
    EXPECT_EQ(plan(all({hotspot, wifi, ble})), kServiceTry);  // a switched-off kind is not walked
    EXPECT_EQ(plan(all({wifi, ble}, true)), kRadioTry);
    EXPECT_EQ(plan(all({wifi, usb}, true)), kServiceTry);
    EXPECT_EQ(plan(all({wifi, usb, ble}, true), {"ble:AA:01"}), kServiceTry);  // the others keep their order
    EXPECT_EQ(plan(all({}), {"usb:R58", "net:p1:svc-a", "ble:AA:01"}), "none");
}

// "kind: key target ..." for the upgrade to the connected phone "p", or "none".
std::string upgrade(ConnectionPlanner::UpgradeInput in,
                    const std::map<std::string, double, std::less<>>& cool = {}) {
    in.peerID = "p";
    if (in.order.empty()) in.order = {usb, wifi, hotspot, ble};
    const auto got = ConnectionPlanner::nextUpgrade(in, cool, kNow);
    std::string text = got ? std::string(rawValue(got->kind)) + ":" : "none";
    for (const auto& t : got ? got->tries : std::vector<ConnectionPlanner::UpgradeTry>{})
        text += " " + t.key + " " + targetText(t.target);
    return text;
}

TEST(UpgradePlanner, NamesTheFirstBetterKindWithSomethingToTry) {
    const std::string A = "192.168.1.10", B = "10.0.0.11", C = "172.16.0.12", D = "10.0.0.13";
    const PlannerUsb cable{"R58", "Phone_7", true, true}, newCable{"R58", "Phone_7", false, true};
    // Seen addresses first, then remembered ones not seen, three at most.
    EXPECT_EQ(upgrade({.current = hotspot, .dnsSdIPs = {B}, .knownAddrs = {A, B, C, D}}),
              "wifi: net:p:10.0.0.11 ip(10.0.0.11) net:p:192.168.1.10 ip(192.168.1.10) "
              "net:p:172.16.0.12 ip(172.16.0.12)");
    // Resting tries are dropped after the cut to three; a deadline equal to now still holds.
    EXPECT_EQ(upgrade({.current = hotspot, .dnsSdIPs = {B}, .knownAddrs = {A, C, D}},
                      {{"net:p:" + B, kNow}, {"net:p:" + A, kNow - 0.001}}),
              "wifi: net:p:192.168.1.10 ip(192.168.1.10) net:p:172.16.0.12 ip(172.16.0.12)");
    EXPECT_EQ(upgrade({.current = hotspot, .usb = cable, .dnsSdIPs = {B}}), "usb: usb:R58 usb(R58)");
    EXPECT_EQ(upgrade({.current = ble, .usb = newCable, .knownAddrs = {A}}),
              "wifi: net:p:192.168.1.10 ip(192.168.1.10)");
    EXPECT_EQ(upgrade({.current = ble, .usb = cable, .knownAddrs = {A}},
                      {{"usb:R58", kNow + 45}, {"net:p:" + A, kNow + 1}}),
              "none");
    EXPECT_EQ(upgrade({.current = ble, .order = {hotspot, ble}}), "none");  // never to the hotspot
    EXPECT_EQ(upgrade({.current = hotspot, .order = {usb, wifi}, .knownAddrs = {A}}), "none");
    // Only kinds ahead of the first occurrence of the live kind count.
    EXPECT_EQ(upgrade({.current = hotspot, .order = {hotspot, wifi, hotspot}, .knownAddrs = {A}}), "none");
}

TEST(FailureBook, RestsGrowPerKeyKindAndFailureInARow) {
    const std::tuple<const char*, bool, std::vector<double>> rows[] = {
        {"usb:R58", false, {4, 8, 16, 32, 60, 60}},  // the flag only matters to gateway keys
        {"gw:192.168.43.1", true, {4, 8, 16, 32, 60}},
        {"gw:192.168.43.1", false, {600, 600}},  // a gateway we cannot tie to a paired phone
        {"ble:AA:01", true, {4, 8, 8}},
        {"bleach", true, {4, 8, 16}},  // no Bluetooth key: only "ble:" is
        {"net:p1:far:10.0.0.7", true, {600, 600}},
    };
    for (const auto& [key, knownGateway, rests] : rows) {
        FailureBook book;
        for (std::size_t i = 0; i < rests.size(); ++i) {
            EXPECT_EQ(book.markFailure(key, kNow, knownGateway), rests[i]) << key << " failure " << i + 1;
            EXPECT_EQ(book.entries.at(key),
                      (FailureBook::Entry{static_cast<std::int64_t>(i + 1), kNow + rests[i]}));
        }
    }
}

TEST(FailureBook, ARestEndsExactlyOnTimeCountedFromTheLatestFailure) {
    FailureBook book;
    EXPECT_EQ(book.markFailure("usb:S", kNow, true), 4);
    EXPECT_EQ(book.markFailure("usb:S", kNow + 100, true), 8);  // no decay: the count goes on
    EXPECT_TRUE(book.cooling("usb:S", kNow + 107.999));
    EXPECT_FALSE(book.cooling("usb:S", kNow + 108));
    EXPECT_FALSE(book.cooling("usb:other", kNow));
    book.clear("usb:S");
    EXPECT_EQ(book.count("usb:S"), 0);
    EXPECT_EQ(book.markFailure("usb:S", kNow, true), 4);
    // A huge count stays at the longest rest without overflowing.
    book.entries["usb:S"] = {std::numeric_limits<std::int64_t>::max() - 1, 0};
    EXPECT_EQ(book.markFailure("usb:S", kNow, true), 60);
    EXPECT_EQ(book.markFailure("usb:S", kNow, true), 60);
    EXPECT_EQ(book.count("usb:S"), std::numeric_limits<std::int64_t>::max());
}

}  // namespace
}  // namespace velmora
