#include "core/discovery/discovery.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/discovery/pairing_beacon.h"
#include "core/discovery/pairing_gate.h"
#include "hex_bytes.h"

namespace velmora {
namespace {

using test::fromHex;
using Text = std::optional<std::string_view>;
const std::string kID = "0123456789abcdef0123456789abcdef";

Discovery::Entry entryOf(Text name, Text ip, std::string_view service) {
    const auto result = Discovery::validate(kID, name, ip, service);
    EXPECT_TRUE(std::holds_alternative<Discovery::Entry>(result));
    return std::holds_alternative<Discovery::Entry>(result) ? std::get<Discovery::Entry>(result)
                                                            : Discovery::Entry{};
}

TEST(DiscoveryValidate, OnlyTheIdRejectsAFindingAndOnlyRoutableAddressesAreKept) {
    using R = Discovery::Rejection;
    for (const auto& [id, expected] :
         {std::pair<Text, R>{std::nullopt, R::missingID}, {"0123456789ABCDEF0123456789ABCDEF", R::badID}}) {
        const auto result = Discovery::validate(id, "Phone", "192.168.1.20", "svc");
        ASSERT_TRUE(std::holds_alternative<R>(result)) << id.value_or("(absent)");
        EXPECT_EQ(std::get<R>(result), expected);
    }
    EXPECT_EQ(entryOf("Phone", "192.168.1.20", "Phone|8"),
              (Discovery::Entry{kID, "Phone", "192.168.1.20", "192.168.1.20"}));
    // Without a usable address the entry is keyed by a digest of the service name.
    for (const Text ip : {Text{}, Text{"169.254.3.4"}, Text{"phone.local"}}) {
        const Discovery::Entry entry = entryOf("Phone", ip, "Phone|8");
        EXPECT_FALSE(entry.ip.has_value()) << ip.value_or("(absent)");
        EXPECT_EQ(entry.endpointKey, "svc-e7ceface7664");
    }
    EXPECT_EQ(Discovery::serviceKey("Velmora Phone._corvix._tcp.local."), "svc-61a24dc533d4");
    // The name is cleaned and falls back to the service name.
    EXPECT_EQ(entryOf(std::nullopt, std::nullopt, "Phone|8").name, "Phone8");
    EXPECT_EQ(entryOf("", std::nullopt, "Phone|8").name, "dispositivo");
    EXPECT_EQ(entryOf("Ph\u202Eone\n", std::nullopt, "s").name, "Phone");
}

TEST(PairingBeacon, BleServiceDataParsesByLengthAndRoundTrips) {
    using Ble = PairingBeacon::Ble;
    const std::pair<const char*, std::optional<Ble>> cases[] = {
        {"001122334455667703", Ble{"0011223344556677", true}},  // only bit 0 counts
        {"001122334455667702", Ble{"0011223344556677", false}},
        {"00112233", Ble{"00112233", std::nullopt}},
        {"00112233445566778899aabbccddeeff", Ble{"00112233445566778899aabbccddeeff", std::nullopt}},
        {"001122", std::nullopt},
        {"00112233445566778899aabbccddeeff00", std::nullopt},
    };
    for (const auto& [hex, expected] : cases)
        EXPECT_EQ(PairingBeacon::parseBle(fromHex(hex)), expected) << hex;
    for (const bool pairing : {true, false}) {
        const Bytes data = PairingBeacon::bleServiceData(fromHex(kID), pairing);
        ASSERT_EQ(data.size(), 9u);
        EXPECT_EQ(PairingBeacon::parseBle(data), (Ble{kID.substr(0, 16), pairing}));
    }
    EXPECT_THROW(PairingBeacon::bleServiceData(fromHex("00112233445566"), true), std::invalid_argument);
}

TEST(PairingBeacon, TxtFlagIsExactlyOneDigitAndTrueWinsAMerge) {
    EXPECT_EQ(PairingBeacon::parseTxt(PairingBeacon::txtValue(true)), true);
    EXPECT_EQ(PairingBeacon::parseTxt(PairingBeacon::txtValue(false)), false);
    for (const Text v :
         {Text{}, Text{"true"}, Text{" 1"}, Text{"01"}, Text{""}, Text{std::string_view("1\0", 2)}})
        EXPECT_EQ(PairingBeacon::parseTxt(v), std::nullopt);
    using F = std::vector<std::optional<bool>>;
    EXPECT_EQ(PairingBeacon::merge(F{std::nullopt, false, true}), true);
    EXPECT_EQ(PairingBeacon::merge(F{std::nullopt, false}), false);
    EXPECT_EQ(PairingBeacon::merge(F{std::nullopt}), std::nullopt);
}

TEST(PairingGate, PairedOrCableConnectsElseTheFlagDecidesAndTheConfirmArmsAfterOneAndAHalfSeconds) {
    EXPECT_EQ(PairingGate::action(true, false, false), PhoneAction::connect);
    EXPECT_EQ(PairingGate::action(false, true, false), PhoneAction::connect);
    EXPECT_EQ(PairingGate::action(false, false, std::nullopt), PhoneAction::pairUnknown);
    EXPECT_EQ(PairingGate::action(false, false, true), PhoneAction::pairReady);
    EXPECT_EQ(PairingGate::action(false, false, false), PhoneAction::pairWaiting);

    using namespace std::chrono_literals;
    const auto shown = std::chrono::system_clock::time_point{} + 1000h;
    EXPECT_FALSE(PairingConfirmGate::armed(shown, shown + 1499999us));
    EXPECT_TRUE(PairingConfirmGate::armed(shown, shown + 1500ms));
    EXPECT_FALSE(PairingConfirmGate::armed(shown, shown - 10s));  // the clock went back
}

}  // namespace
}  // namespace velmora
