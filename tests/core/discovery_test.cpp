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

Discovery::Entry entryOf(const std::variant<Discovery::Entry, Discovery::Rejection>& result) {
    EXPECT_TRUE(std::holds_alternative<Discovery::Entry>(result));
    return std::holds_alternative<Discovery::Entry>(result) ? std::get<Discovery::Entry>(result)
                                                            : Discovery::Entry{};
}

TEST(DiscoveryValidate, OnlyTheIdCanRejectAFinding) {
    using R = Discovery::Rejection;
    struct Case {
        std::optional<std::string_view> id;
        R expected;
    };
    const Case cases[] = {
        {std::nullopt, R::missingID},
        {"", R::badID},
        {"0123456789ABCDEF0123456789ABCDEF", R::badID},
        {std::string_view(kID).substr(1), R::badID},
        {"0123456789abcdef0123456789abcdeg", R::badID},
    };
    for (const Case& c : cases) {
        const auto result = Discovery::validate(c.id, "Pixel", "192.168.1.20", "svc");
        ASSERT_TRUE(std::holds_alternative<R>(result)) << c.id.value_or("(absent)");
        EXPECT_EQ(std::get<R>(result), c.expected);
    }
    EXPECT_EQ(Discovery::rawValue(R::missingID), "id ausente");
    EXPECT_EQ(Discovery::rawValue(R::badID), "id inválido");
}

TEST(DiscoveryValidate, KeepsOnlyRoutableAddresses) {
    const Discovery::Entry routed = entryOf(Discovery::validate(kID, "Pixel", "192.168.1.20", "Pixel|8"));
    EXPECT_EQ(routed, (Discovery::Entry{kID, "Pixel", "192.168.1.20", "192.168.1.20"}));

    for (const std::optional<std::string_view> ip :
         {std::optional<std::string_view>{}, std::optional<std::string_view>{"127.0.0.1"},
          std::optional<std::string_view>{"169.254.3.4"}, std::optional<std::string_view>{"224.0.0.251"},
          std::optional<std::string_view>{"192.168.100.2000"},
          std::optional<std::string_view>{"phone.local"}}) {
        const Discovery::Entry entry = entryOf(Discovery::validate(kID, "Pixel", ip, "Pixel|8"));
        EXPECT_FALSE(entry.ip.has_value()) << ip.value_or("(absent)");
        EXPECT_EQ(entry.endpointKey, "svc-fbaf44ce3b91");
    }
}

TEST(DiscoveryValidate, NameIsCleanedAndFallsBackToTheServiceName) {
    EXPECT_EQ(entryOf(Discovery::validate(kID, std::nullopt, std::nullopt, "Pixel|8")).name, "Pixel8");
    EXPECT_EQ(entryOf(Discovery::validate(kID, "", std::nullopt, "Pixel|8")).name, "dispositivo");
    EXPECT_EQ(entryOf(Discovery::validate(kID, "Pi\u202Exel\n", std::nullopt, "s")).name, "Pixel");
}

TEST(DiscoveryServiceKey, SixDigestBytesAfterAPrefix) {
    EXPECT_EQ(Discovery::serviceKey("Pixel|8"), "svc-fbaf44ce3b91");
    EXPECT_EQ(Discovery::serviceKey("Velmora Phone._corvix._tcp.local."), "svc-61a24dc533d4");
    EXPECT_EQ(Discovery::serviceKey("").size(), 16u);
}

TEST(PairingBeaconBle, ParsesByLength) {
    struct Case {
        const char* hex;
        std::optional<PairingBeacon::Ble> expected;
    };
    const Case cases[] = {
        {"0011223344556677"
         "03",
         PairingBeacon::Ble{"0011223344556677", true}},  // only bit 0 counts
        {"0011223344556677"
         "02",
         PairingBeacon::Ble{"0011223344556677", false}},
        {"0011223344556677"
         "01",
         PairingBeacon::Ble{"0011223344556677", true}},
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
    for (const std::optional<std::string_view> v :
         {std::optional<std::string_view>{}, std::optional<std::string_view>{"true"},
          std::optional<std::string_view>{" 1"}, std::optional<std::string_view>{"01"},
          std::optional<std::string_view>{""}, std::optional<std::string_view>{std::string_view("1\0", 2)}}) {
        EXPECT_EQ(PairingBeacon::parseTxt(v), std::nullopt);
    }
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
    EXPECT_FALSE(PairingConfirmGate::armed(shown, shown));
    EXPECT_FALSE(PairingConfirmGate::armed(shown, shown + 1490ms));
    EXPECT_FALSE(PairingConfirmGate::armed(shown, shown + 1499999us));
    EXPECT_TRUE(PairingConfirmGate::armed(shown, shown + 1500ms));
    EXPECT_TRUE(PairingConfirmGate::armed(shown, shown + 1h));
    EXPECT_FALSE(PairingConfirmGate::armed(shown, shown - 10s));
}

}  // namespace
}  // namespace velmora
