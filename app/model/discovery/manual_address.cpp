#include "app/model/discovery/manual_address.h"

#include <arpa/inet.h>

#include <algorithm>
#include <string>
#include <vector>

namespace velmora {

namespace {

// 1...65535 in plain decimal digits; port 0 can only fail to connect.
std::optional<std::uint16_t> portNumber(std::string_view text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    if (!std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    unsigned value = 0;
    for (const char c : text)
        value = value * 10 + static_cast<unsigned>(c - '0');
    if (value < 1 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

// A whole IPv6 literal, with or without a zone ("fe80::1%eth0"); its colons would split it otherwise. Colons
// alone ("::", the unspecified address) name no host: such a text still does nothing.
bool isIpv6Literal(std::string_view text) {
    if (text.find_first_not_of(':') == std::string_view::npos) return false;
    const std::string address(text.substr(0, text.find('%')));
    in6_addr parsed{};
    return !address.empty() && ::inet_pton(AF_INET6, address.c_str(), &parsed) == 1;
}

// "[v6]" or "[v6]:port"; absent when the bracket does not close or holds nothing.
std::optional<TcpEndpoint> bracketed(std::string_view text, std::uint16_t defaultPort) {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos || close < 2) return std::nullopt;
    std::optional<std::uint16_t> port;
    if (close + 1 < text.size() && text[close + 1] == ':') {
        const std::string_view rest = text.substr(close + 2);
        port = portNumber(rest.substr(0, rest.find(':')));
    }
    return TcpEndpoint{std::string(text.substr(1, close - 1)), port.value_or(defaultPort)};
}

}  // namespace

std::optional<TcpEndpoint> parseManualAddress(std::string_view text, std::uint16_t defaultPort) {
    if (text.starts_with('[')) return bracketed(text, defaultPort);
    if (isIpv6Literal(text)) return TcpEndpoint{std::string(text), defaultPort};
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t colon = std::min(text.find(':', start), text.size());
        if (colon > start) pieces.push_back(text.substr(start, colon - start));
        start = colon + 1;
    }
    if (pieces.empty()) return std::nullopt;
    const auto port = pieces.size() > 1 ? portNumber(pieces[1]) : std::nullopt;
    return TcpEndpoint{std::string(pieces[0]), port.value_or(defaultPort)};
}

}  // namespace velmora
