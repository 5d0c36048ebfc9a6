#include "core/discovery/discovery.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/discovery/pairing_beacon.h"
#include "core/discovery/pairing_gate.h"
#include "hex_bytes.h"

namespace velmora {
namespace {

using test::fromHex;

const std::string kID = "0123456789abcdef0123456789abcdef";
using Text = std::optional<std::string_view>;

Discovery::Entry entryOf(const std::variant<Discovery::Entry, Discovery::Rejection>& result) {
    EXPECT_TRUE(std::holds_alternative<Discovery::Entry>(result));
    return std::holds_alternative<Discovery::Entry>(result) ? std::get<Discovery::Entry>(result)
                                                            : Discovery::Entry{};
}

TEST(DiscoveryValidate, OnlyTheIdCanRejectAFinding) {
    using R = Discovery::Rejection;
    // The id's form itself is checked by DeviceIdForm.
    const std::pair<Text, R> cases[] = {{std::nullopt, R::missingID},
                                        {"0123456789ABCDEF0123456789ABCDEF", R::badID}};
    for (const auto& [id, expected] : cases) {
        const auto result = Discovery::validate(id, "Phone", "192.168.1.20", "svc");
        ASSERT_TRUE(std::holds_alternative<R>(result)) << id.value_or("(absent)");
        EXPECT_EQ(std::get<R>(result), expected);
    }
    EXPECT_EQ(Discovery::rawValue(R::missingID), "id ausente");
    EXPECT_EQ(Discovery::rawValue(R::badID), "id inválido");
}

TEST(DiscoveryValidate, KeepsOnlyRoutableAddresses) {
    const Discovery::Entry routed = entryOf(Discovery::validate(kID, "Phone", "192.168.1.20", "Phone|8"));
    EXPECT_EQ(routed, (Discovery::Entry{kID, "Phone", "192.168.1.20", "192.168.1.20"}));

    // Which addresses are routable is Inbound.RoutableAddresses' subject.
    for (const Text ip : {Text{}, Text{"169.254.3.4"}, Text{"phone.local"}}) {
        const Discovery::Entry entry = entryOf(Discovery::validate(kID, "Phone", ip, "Phone|8"));
        EXPECT_FALSE(entry.ip.has_value()) << ip.value_or("(absent)");
        EXPECT_EQ(entry.endpointKey, "svc-e7ceface7664");
    }
}

TEST(DiscoveryValidate, NameIsCleanedAndFallsBackToTheServiceName) {
    EXPECT_EQ(entryOf(Discovery::validate(kID, std::nullopt, std::nullopt, "Phone|8")).name, "Phone8");
    EXPECT_EQ(entryOf(Discovery::validate(kID, "", std::nullopt, "Phone|8")).name, "dispositivo");
    EXPECT_EQ(entryOf(Discovery::validate(kID, "Ph\u202Eone\n", std::nullopt, "s")).name, "Phone");
}

TEST(DiscoveryServiceKey, SixDigestBytesAfterAPrefix) {
    EXPECT_EQ(Discovery::serviceKey("Phone|8"), "svc-e7ceface7664");
    EXPECT_EQ(Discovery::serviceKey("Velmora Phone._corvix._tcp.local."), "svc-61a24dc533d4");
    EXPECT_EQ(Discovery::serviceKey("").size(), 16u);
}

TEST(PairingBeaconBle, ParsesByLength) {
    struct Case {
        const char* hex;
        std::optional<PairingBeacon::Ble> expected;
    };
    const Case cases[] = {
        {"001122334455667703", PairingBeacon::Ble{"0011223344556677", true}},  // only bit 0 counts
        {"001122334455667702", PairingBeacon::Ble{"0011223344556677", false}},
        {"001122334455667701", PairingBeacon::Ble{"0011223344556677", true}},
        {"0011223344556677", PairingBeacon::Ble{"0011223344556677", std::nullopt}},
        {"00112233", PairingBeacon::Ble{"00112233", std::nullopt}},
        {"00112233445566778899aabbccddeeff",
         PairingBeacon::Ble{"00112233445566778899aabbccddeeff", std::nullopt}},
        {"001122", std::nullopt},
        {"00112233445566778899aabbccddeeff00", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PairingBeacon::parseBle(fromHex(c.hex)), c.expected) << c.hex;
}

TEST(PairingBeaconBle, BuiltServiceDataRoundTrips) {
    const Bytes id = fromHex(kID);
    for (const bool pairing : {true, false}) {
        const Bytes data = PairingBeacon::bleServiceData(id, pairing);
        ASSERT_EQ(data.size(), 9u);
        EXPECT_EQ(data.back(), pairing ? 1 : 0);
        EXPECT_EQ(PairingBeacon::parseBle(data), (PairingBeacon::Ble{kID.substr(0, 16), pairing}));
    }
    EXPECT_EQ(PairingBeacon::bleServiceData(fromHex("0011223344556677"), true).size(), 9u);
    EXPECT_THROW(PairingBeacon::bleServiceData(fromHex("00112233445566"), true), std::invalid_argument);
}

TEST(PairingBeaconTxt, OnlyExactDigitsCount) {
    EXPECT_EQ(PairingBeacon::txtValue(true), "1");
    EXPECT_EQ(PairingBeacon::txtValue(false), "0");
    EXPECT_EQ(PairingBeacon::parseTxt("1"), true);
    EXPECT_EQ(PairingBeacon::parseTxt("0"), false);
    for (const Text v :
         {Text{}, Text{"true"}, Text{" 1"}, Text{"01"}, Text{""}, Text{std::string_view("1\0", 2)}})
        EXPECT_EQ(PairingBeacon::parseTxt(v), std::nullopt);
}

TEST(PairingBeaconMerge, TrueWinsThenFalse) {
    using F = std::vector<std::optional<bool>>;
    EXPECT_EQ(PairingBeacon::merge(F{std::nullopt, false, true}), true);
    EXPECT_EQ(PairingBeacon::merge(F{true, false}), true);
    EXPECT_EQ(PairingBeacon::merge(F{std::nullopt, false}), false);
    EXPECT_EQ(PairingBeacon::merge(F{}), std::nullopt);
    EXPECT_EQ(PairingBeacon::merge(F{std::nullopt}), std::nullopt);
}

TEST(PairingGate, PairedOrCableConnectsElseTheFlagDecides) {
    struct Case {
        bool paired, cable;
        std::optional<bool> flag;
        PhoneAction expected;
    };
    const Case cases[] = {
        {true, false, false, PhoneAction::connect},   {true, false, std::nullopt, PhoneAction::connect},
        {false, true, false, PhoneAction::connect},   {false, false, std::nullopt, PhoneAction::pairUnknown},
        {false, false, true, PhoneAction::pairReady}, {false, false, false, PhoneAction::pairWaiting},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PairingGate::action(c.paired, c.cable, c.flag), c.expected);
}

TEST(PairingConfirmGate, ArmsAfterOneAndAHalfSeconds) {
    using namespace std::chrono_literals;
    const auto shown = std::chrono::system_clock::time_point{} + 1000h;
    EXPECT_FALSE(PairingConfirmGate::armed(shown, shown + 1499999us));
    EXPECT_TRUE(PairingConfirmGate::armed(shown, shown + 1500ms));
    EXPECT_TRUE(PairingConfirmGate::armed(shown, shown + 1h));
    EXPECT_FALSE(PairingConfirmGate::armed(shown, shown - 10s));
}

}  // namespace
}  // namespace velmora
