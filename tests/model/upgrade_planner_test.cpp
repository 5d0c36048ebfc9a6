#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/model/connection_planner.h"
#include "print.h"

namespace velmora {
namespace {

using ConnectionPlanner::Upgrade;
using ConnectionPlanner::UpgradeInput;
using ConnectionPlanner::UpgradeTry;
using Cooldown = std::map<std::string, double, std::less<>>;

constexpr double kNow = 7000;
const std::string P = "0123456789abcdef0123456789abcdef";
const std::string A = "192.168.1.10", B = "10.0.0.11", C = "172.16.0.12", D = "10.0.0.13";

UpgradeInput baseInput() {
    UpgradeInput in;
    in.current = ConnKind::hotspot;
    in.order = {ConnKind::usb, ConnKind::wifi, ConnKind::hotspot, ConnKind::ble};
    in.peerID = P;
    return in;
}

UpgradeTry addressTry(const std::string& a) {
    return {"net:" + P + ":" + a, PlannedTarget::ip(a)};
}
UpgradeTry cableTry(const std::string& serial) {
    return {"usb:" + serial, PlannedTarget::usb(serial)};
}

struct Row {
    const char* name;
    std::function<void(UpgradeInput&, Cooldown&)> setup;
    std::optional<Upgrade> expected;
};

TEST(UpgradePlanner, NamesTheFirstBetterKindWithSomethingToTry) {
    const PlannerUsb cable{"R58N123", "Phone_7", true, true};
    const std::vector<Row> rows = {
        {"already on the best kind",
         [&](auto& in, auto&) {
             in.current = ConnKind::usb;
             in.usb = cable;
             in.dnsSdIPs = {B};
         },
         std::nullopt},
        {"seen addresses first, then remembered ones not seen, three at most",
         [](auto& in, auto&) {
             in.dnsSdIPs = {B};
             in.knownAddrs = {A, B, C, D};
         },
         Upgrade{ConnKind::wifi, {addressTry(B), addressTry(A), addressTry(C)}}},
        {"a try resting until later is dropped, the cut to three is made before",
         [](auto& in, auto& cool) {
             in.dnsSdIPs = {B};
             in.knownAddrs = {A, B, C, D};
             cool["net:" + P + ":" + B] = kNow + 10;
         },
         Upgrade{ConnKind::wifi, {addressTry(A), addressTry(C)}}},
        {"a deadline equal to now still holds the try back",
         [](auto& in, auto& cool) {
             in.knownAddrs = {A, C};
             cool["net:" + P + ":" + A] = kNow;
             cool["net:" + P + ":" + C] = kNow - 0.001;
         },
         Upgrade{ConnKind::wifi, {addressTry(C)}}},
        {"a cable is better than the network",
         [&](auto& in, auto&) {
             in.usb = cable;
             in.dnsSdIPs = {B};
         },
         Upgrade{ConnKind::usb, {cableTry("R58N123")}}},
        {"a cable phone never connected before gives no try: the network is next",
         [&](auto& in, auto&) {
             in.current = ConnKind::ble;
             in.usb = PlannerUsb{"R58N123", "Phone_7", false, true};
             in.knownAddrs = {A};
         },
         Upgrade{ConnKind::wifi, {addressTry(A)}}},
        {"a cable phone without a port forward gives no try",
         [&](auto& in, auto&) {
             in.usb = PlannerUsb{"R58N123", "Phone_7", true, false};
         },
         std::nullopt},
        {"the cable rests: the network",
         [&](auto& in, auto& cool) {
             in.usb = cable;
             in.knownAddrs = {D};
             cool["usb:R58N123"] = kNow + 45;
         },
         Upgrade{ConnKind::wifi, {addressTry(D)}}},
        {"every network try rests and no cable: nothing, though hotspot lies ahead of ble",
         [](auto& in, auto& cool) {
             in.current = ConnKind::ble;
             in.knownAddrs = {A};
             cool["net:" + P + ":" + A] = kNow + 1;
         },
         std::nullopt},
        {"the hotspot is never upgraded to",
         [](auto& in, auto&) {
             in.current = ConnKind::ble;
             in.order = {ConnKind::hotspot, ConnKind::ble};
         },
         std::nullopt},
        {"the live kind is switched off",
         [](auto& in, auto&) {
             in.order = {ConnKind::usb, ConnKind::wifi, ConnKind::ble};
             in.knownAddrs = {A};
         },
         std::nullopt},
        {"empty order",
         [](auto& in, auto&) {
             in.order.clear();
             in.knownAddrs = {A};
         },
         std::nullopt},
        {"only kinds ahead of the first occurrence of the live kind count",
         [](auto& in, auto&) {
             in.order = {ConnKind::hotspot, ConnKind::wifi, ConnKind::hotspot};
             in.knownAddrs = {A};
         },
         std::nullopt},
        {"the user's order puts the network ahead of the cable",
         [&](auto& in, auto&) {
             in.current = ConnKind::ble;
             in.order = {ConnKind::wifi, ConnKind::usb, ConnKind::ble};
             in.usb = cable;
             in.dnsSdIPs = {B};
         },
         Upgrade{ConnKind::wifi, {addressTry(B)}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UpgradeInput in = baseInput();
        Cooldown cool;
        row.setup(in, cool);
        auto got = ConnectionPlanner::nextUpgrade(in, cool, kNow);
        ASSERT_EQ(got.has_value(), row.expected.has_value());
        if (!got) continue;
        EXPECT_EQ(got->kind, row.expected->kind);
        EXPECT_EQ(got->tries, row.expected->tries);
    }
}

}  // namespace
}  // namespace velmora
