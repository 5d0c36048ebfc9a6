#include <gtest/gtest.h>
#include <net/if.h>
#include <sys/socket.h>

#include <stdexcept>

#include "core/discovery/discovery.h"
#include "core/discovery/pairing_beacon.h"
#include "core/discovery/stale_pairing.h"
#include "core/net/default_gateway.h"
#include "core/net/net_info.h"
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
        // Ill-formed UTF-8 is read as U+FFFD, never past the text.
        {StalePairing::normalizedName(std::string_view("a\xff\xE2\x82", 4)), "a\uFFFD\uFFFD"},
    });
    const std::string old(32, 'a'), fresh(32, 'b'), other(32, 'c');
    // A Bluetooth beacon shows it under its stored id (prefix compared case-insensitively).
    EXPECT_TRUE(StalePairing::find({{old, "Phone"}}, {{fresh, "Phone"}}, {"AAAAAAAAAAAAAAAA"}).empty());
    // A stored pairing is present, and it cannot stand for another.
    EXPECT_TRUE(StalePairing::find({{old, "Phone"}, {fresh, "Phone"}}, {{fresh, "Phone"}}, {}).empty());
    // The first matching phone wins, and one phone may serve several.
    EXPECT_EQ(StalePairing::find({{old, "Phone"}, {other, "PHONE"}, {"dd", "(x)"}},
                                 {{fresh, "phone (work)"}, {"eeee", "Phone"}, {"ffff", "(x)"}}, {}),
              (std::vector<StalePair>{{old, "Phone", fresh}, {other, "PHONE", fresh}}));
}

using NetInfo::InterfaceRecord;
using S = std::string;

constexpr std::uint32_t ip(unsigned a, unsigned b, unsigned c, unsigned d) {
    return (a << 24) | (b << 16) | (c << 8) | d;
}

InterfaceRecord v4(const char* name, std::uint32_t address, std::uint32_t mask, unsigned flags = IFF_UP) {
    return InterfaceRecord{name, flags, AF_INET, address, mask};
}

// A /proc/net/route row (addresses little-endian hex) for a default route through `gateway`.
S route(const char* iface, const char* gateway, int metric, const char* flags = "0003",
        const char* destination = "00000000") {
    return S(iface) + "\t" + destination + "\t" + gateway + "\t" + flags + "\t0\t0\t" +
           std::to_string(metric) + "\t00000000\t0\t0\t0\n";
}
const S header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

TEST(DefaultGateway, PicksTheUpDefaultRouteThroughAGatewayWithTheLowestMetric) {
    const auto gateway = [](const S& table) { return DefaultGateway::parseRouteTable(table).value_or("-"); };
    test::expectRows({
        {gateway(header + route("wlan0", "010A14AC", 600) + route("eth0", "0101A8C0", 100)), "192.168.1.1"},
        {gateway(header + route("a", "0101A8C0", -1) + route("b", "010A14AC", 2000)),
         "172.20.10.1"},                                                // unsigned
        {gateway(header + route("wg0", "00000000", 0, "0001")), "-"},   // through an interface only (VPN)
        {gateway(header + route("eth0", "0101A8C0", 0, "0002")), "-"},  // not up
        {gateway(header + route("eth0", "0101A8C0", 0, "0003", "0000000A")), "-"},  // not a default route
        {gateway(header + "eth0\t00000000\n" + route("x", "0101A8CG", 0) + route("x", "10101A8C0", 0) +
                 route("x", "-101A8C0", 0) + route("eth0", "0201A8C0", 50)),
         "192.168.1.2"},  // malformed rows are skipped
    });

    // A route whose mask is cut at the read cap ("00" of "00FFFFFF") would read as a better default route.
    const test::TempDir dir;
    const S cutRow = "eth1\t00000000\t010A14AC\t0003\t0\t0\t1\t00";
    S table = header + route("eth0", "0101A8C0", 100);
    table += S(65536 - table.size() - cutRow.size() - 1, ' ') + "\n" + cutRow;
    test::writeFile(dir.path() / "route", table + "FFFFFF\t0\t0\t0\n");
    EXPECT_EQ(DefaultGateway::read((dir.path() / "route").string()), "192.168.1.1");
    EXPECT_EQ(DefaultGateway::read((dir.path() / "missing").string()), std::nullopt);
}

TEST(NetInfo, EntriesAreUpNonLoopbackIPv4AddressesWithAMaskAndOnlyWellFormedOnesMatchASubnet) {
    EXPECT_EQ(NetInfo::entries({
                  v4("lo", ip(127, 0, 0, 1), ip(255, 0, 0, 0), IFF_UP | IFF_LOOPBACK),
                  v4("eth0", ip(192, 168, 1, 20), ip(255, 255, 255, 0), IFF_UP | IFF_RUNNING),
                  v4("eth1", ip(10, 0, 0, 7), ip(255, 0, 0, 0), 0),     // down
                  v4("wlan0", ip(169, 254, 3, 4), ip(255, 255, 0, 0)),  // self-assigned
                  v4("wlan0", ip(169, 253, 3, 4), ip(255, 255, 0, 0)),  // just outside link-local
                  InterfaceRecord{"wlan0", IFF_UP, AF_INET6, std::nullopt, std::nullopt},
                  InterfaceRecord{"tun0", IFF_UP, AF_INET, ip(10, 8, 0, 2), std::nullopt},
                  v4("odd", ip(10, 1, 0, 1), ip(255, 0, 255, 0)),  // bits counted, not a prefix
              }),
              (std::vector<S>{"eth0 192.168.1.20/24", "wlan0 169.253.3.4/16", "odd 10.1.0.1/16"}));
    EXPECT_FALSE(NetInfo::sameSubnet("127.0.0.5"));  // the system's own entries never list loopback

    const std::vector<S> entries{"eth0 10.0.0.5/8",     "wlan0 192.168.1.20/24",
                                 "wg0 172.16.0.1/0",    "three parts 172.20.0.1/16",
                                 "eth5 172.22.0.1/999", "  eth6   172.23.0.1/16  "};
    for (const char* yes : {"10.20.30.40", "192.168.1.9", "172.23.9.9"})
        EXPECT_TRUE(NetInfo::sameSubnet(entries, yes)) << yes;
    for (const char* no :
         {"192.168.2.9", "phone.local", "192.168.1.09", "172.16.0.2", "172.20.0.2", "172.22.0.2"})
        EXPECT_FALSE(NetInfo::sameSubnet(entries, no)) << no;
}

}  // namespace
}  // namespace velmora
