#include <gtest/gtest.h>
#include <net/if.h>
#include <sys/socket.h>

#include "core/net/default_gateway.h"
#include "core/net/net_info.h"
#include "helpers.h"

namespace velmora {
namespace {

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
        {gateway(header + route("a", "0101A8C0", 5) + route("b", "010A14AC", 5)), "192.168.1.1"},  // tie
        {gateway(header + route("a", "0101A8C0", -1) + route("b", "010A14AC", 2000)),
         "172.20.10.1"},                                                // unsigned
        {gateway(header + route("wg0", "00000000", 0, "0001")), "-"},   // through an interface only (VPN)
        {gateway(header + route("eth0", "0101A8C0", 0, "0002")), "-"},  // not up
        {gateway(header + route("eth0", "0101A8C0", 0, "0003", "0000000A")), "-"},  // not a default route
        {gateway(route("eth0", "0101A8C0", 100)), "-"},                             // no header
        {gateway("Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\r\n"
                 "eth0\t00000000\t0101A8C0\t0003\t0\t0\t0\t00000000\r\n"),
         "192.168.1.1"},
        {gateway(header + "eth0\t00000000\n" + route("x", "0101A8CG", 0) + route("x", "10101A8C0", 0) +
                 route("x", "-101A8C0", 0) + route("eth0", "0201A8C0", 50)),
         "192.168.1.2"},  // malformed rows are skipped
        {gateway(S("\x00\xff\x01\n", 4) + header), "-"},
    });

    // A route whose mask is cut at the read cap ("00" of "00FFFFFF") would read as a better default route.
    const test::TempDir dir;
    const S cutRow = "eth1\t00000000\t010A14AC\t0003\t0\t0\t1\t00";
    S table = header + route("eth0", "0101A8C0", 100);
    table += S(65536 - table.size() - cutRow.size() - 1, ' ') + "\n" + cutRow;
    test::writeFile(dir.path() / "route", table + "FFFFFF\t0\t0\t0\n");
    EXPECT_EQ(DefaultGateway::read((dir.path() / "route").string()), "192.168.1.1");
    EXPECT_EQ(DefaultGateway::read((dir.path() / "missing").string()), std::nullopt);
    const S system = DefaultGateway::read().value_or("...");  // whatever this machine's network
    EXPECT_EQ(std::count(system.begin(), system.end(), '.'), 3) << system;
}

TEST(NetInfo, EntriesKeepUpNonLoopbackIPv4AddressesWithAMask) {
    EXPECT_EQ(NetInfo::entries({
                  v4("lo", ip(127, 0, 0, 1), ip(255, 0, 0, 0), IFF_UP | IFF_LOOPBACK),
                  v4("eth0", ip(192, 168, 1, 20), ip(255, 255, 255, 0), IFF_UP | IFF_RUNNING),
                  v4("eth1", ip(10, 0, 0, 7), ip(255, 0, 0, 0), 0),     // down
                  v4("wlan0", ip(169, 254, 3, 4), ip(255, 255, 0, 0)),  // self-assigned
                  v4("wlan0", ip(169, 253, 3, 4), ip(255, 255, 0, 0)),  // just outside link-local
                  InterfaceRecord{"wlan0", IFF_UP, AF_INET6, std::nullopt, std::nullopt},
                  InterfaceRecord{"tun0", IFF_UP, AF_INET, ip(10, 8, 0, 2), std::nullopt},
                  v4("wg0", ip(10, 9, 0, 1), 0),                   // /0
                  v4("odd", ip(10, 1, 0, 1), ip(255, 0, 255, 0)),  // bits counted, not a prefix
              }),
              (std::vector<S>{"eth0 192.168.1.20/24", "wlan0 169.253.3.4/16", "wg0 10.9.0.1/0",
                              "odd 10.1.0.1/16"}));
    for (const auto& entry : NetInfo::ipv4Interfaces())
        EXPECT_EQ(entry.find(" 127."), std::string::npos) << entry;
    EXPECT_FALSE(NetInfo::sameSubnet("127.0.0.5"));
}

TEST(NetInfo, SameSubnetReadsOnlyWellFormedEntries) {
    const std::vector<S> entries{"eth0 10.0.0.5/8",           "wlan0 192.168.1.20/24", "wg0 10.9.0.1/0",
                                 "eth1 172.16.0.1",           "eth3 172.18.0.1/x",     "eth4 172.19.0.1/+8",
                                 "three parts 172.20.0.1/16", "172.21.0.1/16",         "eth5 172.22.0.1/999",
                                 "  eth6   172.23.0.1/16  "};
    for (const char* yes : {"10.20.30.40", "192.168.1.9", "172.23.9.9"})
        EXPECT_TRUE(NetInfo::sameSubnet(entries, yes)) << yes;
    for (const char* no : {"192.168.2.9", "11.0.0.1", "phone.local", "192.168.1.09", "172.16.0.2",
                           "172.18.0.2", "172.19.0.2", "172.20.0.2", "172.21.0.2", "172.22.0.2"})
        EXPECT_FALSE(NetInfo::sameSubnet(entries, no)) << no;
    EXPECT_EQ(NetInfo::describe({"eth0 192.168.1.20/24", "wlan0 10.0.0.7/8"}, S("192.168.1.1")),
              "eth0 192.168.1.20/24, wlan0 10.0.0.7/8 | gateway 192.168.1.1");
    EXPECT_EQ(NetInfo::describe({}, std::nullopt), "sem IPv4 | gateway nenhum");
}

}  // namespace
}  // namespace velmora
