#include <net/if.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include "core/net/net_info.h"

namespace velmora {
namespace {

using NetInfo::InterfaceRecord;

constexpr std::uint32_t ip(unsigned a, unsigned b, unsigned c, unsigned d) {
    return (a << 24) | (b << 16) | (c << 8) | d;
}

InterfaceRecord v4(const char* name, std::uint32_t address, std::uint32_t mask, unsigned flags = IFF_UP) {
    return InterfaceRecord{name, flags, AF_INET, address, mask};
}

TEST(NetInfo, EntriesKeepUpNonLoopbackIPv4AddressesWithAMask) {
    const std::vector<InterfaceRecord> records{
        v4("lo", ip(127, 0, 0, 1), ip(255, 0, 0, 0), IFF_UP | IFF_LOOPBACK),
        v4("eth0", ip(192, 168, 1, 20), ip(255, 255, 255, 0), IFF_UP | IFF_RUNNING),
        v4("eth1", ip(10, 0, 0, 7), ip(255, 0, 0, 0), 0),     // down
        v4("wlan0", ip(169, 254, 3, 4), ip(255, 255, 0, 0)),  // self-assigned
        v4("wlan0", ip(169, 253, 3, 4), ip(255, 255, 0, 0)),  // just outside link-local
        InterfaceRecord{"wlan0", IFF_UP, AF_INET6, std::nullopt, std::nullopt},
        InterfaceRecord{"wlan0", IFF_UP, AF_PACKET, std::nullopt, std::nullopt},
        InterfaceRecord{"tun0", IFF_UP, AF_INET, ip(10, 8, 0, 2), std::nullopt},  // no mask
        InterfaceRecord{"ppp0", IFF_UP, AF_INET, std::nullopt, ip(255, 255, 255, 255)},
        v4("eth0", ip(192, 168, 7, 9), ip(255, 255, 255, 255)),  // second address, /32
        v4("wg0", ip(10, 9, 0, 1), 0),                           // /0
        v4("odd", ip(10, 1, 0, 1), ip(255, 0, 255, 0)),          // bits counted, not a prefix
    };
    EXPECT_EQ(NetInfo::entries(records),
              (std::vector<std::string>{"eth0 192.168.1.20/24", "wlan0 169.253.3.4/16", "eth0 192.168.7.9/32",
                                        "wg0 10.9.0.1/0", "odd 10.1.0.1/16"}));
    EXPECT_TRUE(NetInfo::entries({}).empty());
}

TEST(NetInfo, DescribeNamesEntriesAndGateway) {
    EXPECT_EQ(NetInfo::describe({}, std::nullopt), "sem IPv4 | gateway nenhum");
    EXPECT_EQ(NetInfo::describe({"eth0 192.168.1.20/24"}, std::string("172.20.10.1")),
              "eth0 192.168.1.20/24 | gateway 172.20.10.1");
    EXPECT_EQ(NetInfo::describe({"eth0 192.168.1.20/24", "wlan0 10.0.0.7/8"}, std::string("192.168.1.1")),
              "eth0 192.168.1.20/24, wlan0 10.0.0.7/8 | gateway 192.168.1.1");
}

TEST(NetInfo, SameSubnetMatchesAnyEntrysNetwork) {
    const std::vector<std::string> entries{"eth0 10.0.0.5/8", "wlan0 192.168.1.20/24"};
    struct Case {
        const char* ip;
        bool same;
    };
    const Case cases[] = {
        {"10.20.30.40", true}, {"192.168.1.9", true},   {"192.168.2.9", false},
        {"11.0.0.1", false},   {"phone.local", false},  {"fe80::1", false},
        {"", false},           {"192.168.1.09", false}, {" 10.0.0.1", false},
        {"10.0.0.1/8", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NetInfo::sameSubnet(entries, c.ip), c.same) << c.ip;
    }
    // Entries this function did not build: only "name addr/prefix" counts, and prefix 0 never matches.
    const std::vector<std::string> odd{
        "wg0 10.9.0.1/0",    "eth1 172.16.0.1",     "eth2 172.17.0.1/",
        "eth3 172.18.0.1/x", "eth4 172.19.0.1/+8",  "three parts 172.20.0.1/16",
        "172.21.0.1/16",     "eth5 172.22.0.1/999", "  eth6   172.23.0.1/16  "};
    for (const char* ip : {"10.9.0.2", "172.16.0.2", "172.17.0.2", "172.18.0.2", "172.19.0.2", "172.20.0.2",
                           "172.21.0.2", "172.22.0.2"}) {
        EXPECT_FALSE(NetInfo::sameSubnet(odd, ip)) << ip;
    }
    EXPECT_TRUE(NetInfo::sameSubnet(odd, "172.23.9.9"));  // runs of spaces separate like one
    EXPECT_FALSE(NetInfo::sameSubnet({}, "10.0.0.1"));
}

TEST(NetInfo, SystemEntriesNeverListLoopback) {
    EXPECT_FALSE(NetInfo::sameSubnet("127.0.0.5"));
    for (const auto& entry : NetInfo::ipv4Interfaces()) {
        EXPECT_EQ(entry.find(" 127."), std::string::npos) << entry;
        EXPECT_NE(entry.find('/'), std::string::npos) << entry;
    }
    bool sawLoopback = false;
    for (const auto& record : NetInfo::systemRecords()) {
        if (record.family == AF_INET && record.address == ip(127, 0, 0, 1)) sawLoopback = true;
    }
    EXPECT_TRUE(sawLoopback);
}

}  // namespace
}  // namespace velmora
