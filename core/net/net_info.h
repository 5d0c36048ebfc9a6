#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::NetInfo {

// One element of the system's interface address list, as far as the entries need it.
struct InterfaceRecord {
    std::string name;
    unsigned flags = 0;                    // IFF_UP, IFF_LOOPBACK, ...
    int family = 0;                        // AF_INET, AF_INET6, AF_PACKET, ...
    std::optional<std::uint32_t> address;  // IPv4 address, host byte order
    std::optional<std::uint32_t> netmask;  // IPv4 netmask, host byte order
};

// "name addr/prefix" for every usable IPv4 address, in the order given: the interface is up and not
// loopback, the record has an IPv4 address and a netmask, and the address is not link-local (169.254/16).
// The prefix is the number of one bits in the mask.
std::vector<std::string> entries(const std::vector<InterfaceRecord>& records);

// The records of getifaddrs (empty when the call fails).
std::vector<InterfaceRecord> systemRecords();

// The computer's interface entries right now.
std::vector<std::string> ipv4Interfaces();

// Whether `ip` (a dotted quad) lies in the subnet of at least one entry; an entry with prefix 0 never
// matches, and neither does a host name or an IPv6 text.
bool sameSubnet(const std::vector<std::string>& entries, std::string_view ip);
bool sameSubnet(std::string_view ip);

// "entries joined by ", " | gateway G" for logs; "sem IPv4" without entries, "nenhum" without a gateway.
std::string describe(const std::vector<std::string>& entries, const std::optional<std::string>& gateway);
std::string describe(const std::optional<std::string>& gateway);

}  // namespace velmora::NetInfo
