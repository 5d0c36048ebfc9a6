#include "app/model/discovery/manual_address.h"

#include <algorithm>
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

}  // namespace

std::optional<TcpEndpoint> parseManualAddress(std::string_view text, std::uint16_t defaultPort) {
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
