#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora::IPv4 {

// The strict dotted quad: exactly four decimal pieces of 1 to 3 digits, each at most 255, no leading zero
// ("01" fails, "0" is fine), nothing else anywhere. The value has the first octet in its top byte.
std::optional<std::uint32_t> value(std::string_view text);

// True when both texts are addresses and agree in their top `prefix` bits; false for a prefix outside
// 1...32 (a prefix of 0 does not cover every address).
bool contains(std::string_view network, std::int64_t prefix, std::string_view ip);

}  // namespace velmora::IPv4
