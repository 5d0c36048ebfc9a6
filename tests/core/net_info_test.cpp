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

TEST(NetInfo, SystemEntriesNeverListLoopback) {
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
