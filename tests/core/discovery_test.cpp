#include "core/discovery/discovery.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/discovery/pairing_beacon.h"
#include "core/discovery/stale_pairing.h"
#include "helpers.h"

namespace velmora {
namespace {

using test::fromHex;
using Text = std::optional<std::string_view>;
const std::string kID = "0123456789abcdef0123456789abcdef";

TEST(Discovery, OnlyTheIdRejectsAFindingTheNameIsCleanedAndOnlyRoutableAddressesAreKept) {
    using R = Discovery::Rejection;
    const auto rejection = [](Text id) {
        return std::get<R>(Discovery::validate(id, "Phone", "10.0.0.2", "svc"));
    };
    EXPECT_EQ(rejection(std::nullopt), R::missingID);
    EXPECT_EQ(rejection("0123456789ABCDEF0123456789ABCDEF"), R::badID);
    const auto entry = [](Text name, Text ip) {
        return std::get<Discovery::Entry>(Discovery::validate(kID, name, ip, "Phone|8"));
    };
    EXPECT_EQ(entry("Phone", "192.168.1.20"),
              (Discovery::Entry{kID, "Phone", "192.168.1.20", "192.168.1.20"}));
    // Without a usable address the entry is keyed by a digest of the service name.
    for (const Text ip : {Text{}, Text{"169.254.3.4"}, Text{"phone.local"}})
        EXPECT_EQ(entry("Phone", ip), (Discovery::Entry{kID, "Phone", std::nullopt, "svc-e7ceface7664"}));
    EXPECT_EQ(Discovery::serviceKey("Velmora Phone._corvix._tcp.local."), "svc-61a24dc533d4");
    EXPECT_EQ(entry(std::nullopt, std::nullopt).name, "Phone8");
    EXPECT_EQ(entry("", std::nullopt).name, "dispositivo");
    EXPECT_EQ(entry("Ph\u202Eone\n", std::nullopt).name, "Phone");
}

TEST(PairingBeacon, BleServiceDataParsesByLengthAndTheTxtFlagIsOneExactDigit) {
    using Ble = PairingBeacon::Ble;
    for (const auto& [hex, expected] : std::initializer_list<std::pair<const char*, std::optional<Ble>>>{
             {"001122334455667703", Ble{"0011223344556677", true}},  // only bit 0 counts
             {"001122334455667702", Ble{"0011223344556677", false}},
             {"00112233", Ble{"00112233", std::nullopt}},
             {"00112233445566778899aabbccddeeff", Ble{"00112233445566778899aabbccddeeff", std::nullopt}},
             {"001122", std::nullopt},
             {"00112233445566778899aabbccddeeff00", std::nullopt}})
        EXPECT_EQ(PairingBeacon::parseBle(fromHex(hex)), expected) << hex;
    for (const bool pairing : {true, false})
        EXPECT_EQ(PairingBeacon::parseBle(PairingBeacon::bleServiceData(fromHex(kID), pairing)),
                  (Ble{kID.substr(0, 16), pairing}));
    EXPECT_THROW(PairingBeacon::bleServiceData(fromHex("00112233445566"), true), std::invalid_argument);

    EXPECT_EQ(PairingBeacon::parseTxt(PairingBeacon::txtValue(true)), true);
    EXPECT_EQ(PairingBeacon::parseTxt(PairingBeacon::txtValue(false)), false);
    for (const Text v : {Text{}, Text{"true"}, Text{" 1"}, Text{"01"}, Text{std::string_view("1\0", 2)}})
        EXPECT_EQ(PairingBeacon::parseTxt(v), std::nullopt);
}

TEST(StalePairing, APhoneSeenUnderAnotherIdWithTheSameNameIsStaleUnlessPresentOrPaired) {
    test::expectRows({
        {StalePairing::normalizedName("Celular (trabalho) (2)"), "celular"},
        {StalePairing::normalizedName("E\u0301lan \u00C5NGSTR\u00D6M Stra\u00DFe"), "elan angstrom strasse"},
        {StalePairing::normalizedName("a\u00A0b\u2028c\td\r\ne"), "a b c d e"},
        {StalePairing::normalizedName("(x)"), ""},
        // Ill-formed UTF-8 is read as U+FFFD, never past the text.
        {StalePairing::normalizedName(std::string_view("a\xff\xE2\x82", 4)), "a\uFFFD\uFFFD"},
    });
    const std::string old(32, 'a'), fresh(32, 'b'), other(32, 'c');
    EXPECT_TRUE(StalePairing::find({{old, "Phone"}}, {{old, "Phone"}, {fresh, "Phone"}}, {}).empty());
    // A Bluetooth beacon shows it under its stored id (prefix compared case-insensitively).
    EXPECT_TRUE(StalePairing::find({{old, "Phone"}}, {{fresh, "Phone"}}, {"AAAAAAAAAAAAAAAA"}).empty());
    EXPECT_EQ(StalePairing::find({{old, "Phone"}}, {{fresh, "Phone"}}, {"", "cccc"}).size(), 1u);
    // A stored pairing is present, and it cannot stand for another.
    EXPECT_TRUE(StalePairing::find({{old, "Phone"}, {fresh, "Phone"}}, {{fresh, "Phone"}}, {}).empty());
    // The first matching phone wins, and one phone may serve several.
    EXPECT_EQ(StalePairing::find({{old, "Phone"}, {other, "PHONE"}, {"dd", "(x)"}},
                                 {{fresh, "phone (work)"}, {"eeee", "Phone"}, {"ffff", "(x)"}}, {}),
              (std::vector<StalePair>{{old, "Phone", fresh}, {other, "PHONE", fresh}}));
}

}  // namespace
}  // namespace velmora
