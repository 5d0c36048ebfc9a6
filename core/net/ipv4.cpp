#include "core/net/ipv4.h"

namespace velmora::IPv4 {

std::optional<std::uint32_t> value(std::string_view text) {
    std::uint32_t result = 0;
    for (int piece = 0; piece < 4; ++piece) {
        if (piece > 0) {
            if (text.empty() || text.front() != '.') return std::nullopt;
            text.remove_prefix(1);
        }
        std::size_t digits = 0;
        unsigned octet = 0;
        while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9') {
            octet = octet * 10 + static_cast<unsigned>(text[digits] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || octet > 255) return std::nullopt;
        if (digits > 1 && text.front() == '0') return std::nullopt;
        result = (result << 8) | octet;
        text.remove_prefix(digits);
    }
    if (!text.empty()) return std::nullopt;
    return result;
}

bool contains(std::string_view network, std::int64_t prefix, std::string_view ip) {
    const auto net = value(network);
    const auto addr = value(ip);
    if (!net || !addr || prefix < 1 || prefix > 32) return false;
    const std::uint32_t mask = prefix == 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> prefix);
    return (*net & mask) == (*addr & mask);
}

}  // namespace velmora::IPv4
