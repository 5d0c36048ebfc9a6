#include "core/net/net_info.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <bit>
#include <cstring>
#include <memory>

#include "core/net/ipv4.h"
#include "core/text/split.h"

namespace velmora::NetInfo {
namespace {

std::string dotted(std::uint32_t hostOrder) {
    return std::to_string(hostOrder >> 24) + "." + std::to_string((hostOrder >> 16) & 0xff) + "." +
           std::to_string((hostOrder >> 8) & 0xff) + "." + std::to_string(hostOrder & 0xff);
}

std::optional<std::uint32_t> ipv4Of(const sockaddr* address) {
    if (address == nullptr || address->sa_family != AF_INET) return std::nullopt;
    sockaddr_in in{};
    std::memcpy(&in, address, sizeof in);
    return ntohl(in.sin_addr.s_addr);
}

constexpr std::uint32_t linkLocalNet = 0xA9FE0000;  // 169.254.0.0/16: self-assigned, never a real network

}  // namespace

std::vector<std::string> entries(const std::vector<InterfaceRecord>& records) {
    std::vector<std::string> out;
    for (const auto& record : records) {
        if ((record.flags & (IFF_UP | IFF_LOOPBACK)) != IFF_UP) continue;
        if (record.family != AF_INET || !record.address || !record.netmask) continue;
        if ((*record.address & 0xFFFF0000) == linkLocalNet) continue;
        out.push_back(record.name + " " + dotted(*record.address) + "/" +
                      std::to_string(std::popcount(*record.netmask)));
    }
    return out;
}

std::vector<InterfaceRecord> systemRecords() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return {};
    std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owner(list, &::freeifaddrs);
    std::vector<InterfaceRecord> records;
    for (const ifaddrs* item = list; item != nullptr; item = item->ifa_next) {
        InterfaceRecord record;
        record.name = item->ifa_name != nullptr ? item->ifa_name : "";
        record.flags = item->ifa_flags;
        record.family = item->ifa_addr != nullptr ? item->ifa_addr->sa_family : AF_UNSPEC;
        record.address = ipv4Of(item->ifa_addr);
        record.netmask = ipv4Of(item->ifa_netmask);
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<std::string> ipv4Interfaces() {
    return entries(systemRecords());
}

bool sameSubnet(const std::vector<std::string>& entries, std::string_view ip) {
    for (const auto& entry : entries) {
        const auto pieces = Split::pieces(entry, ' ');
        if (pieces.size() != 2) continue;
        const auto slash = pieces[1].find('/');
        if (slash == std::string_view::npos) continue;
        const auto prefixText = pieces[1].substr(slash + 1);
        // Two digits cover every prefix; a longer text could only overflow, never match.
        if (prefixText.empty() || prefixText.size() > 2) continue;
        if (prefixText.find_first_not_of("0123456789") != std::string_view::npos) continue;
        const std::int64_t prefix = std::stoi(std::string(prefixText));
        if (IPv4::contains(pieces[1].substr(0, slash), prefix, ip)) return true;
    }
    return false;
}

bool sameSubnet(std::string_view ip) {
    return sameSubnet(ipv4Interfaces(), ip);
}

std::string describe(const std::vector<std::string>& entries, const std::optional<std::string>& gateway) {
    std::string line;
    for (const auto& entry : entries) {
        if (!line.empty()) line += ", ";
        line += entry;
    }
    if (line.empty()) line = "sem IPv4";
    return line + " | gateway " + gateway.value_or("nenhum");
}

std::string describe(const std::optional<std::string>& gateway) {
    return describe(ipv4Interfaces(), gateway);
}

}  // namespace velmora::NetInfo
