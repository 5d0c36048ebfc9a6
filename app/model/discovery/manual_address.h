#pragma once

#include <optional>
#include <string_view>

#include "core/discovery/discovered_phone.h"

namespace velmora {

// An address the user typed in the preferences: a host, or a host, ":" and a port. Empty pieces between
// colons are dropped; the first piece is the host (not checked: a name or an address), the second the port
// when it is a decimal number of 1...65535, else `defaultPort`. Further pieces are ignored. An IPv6 address
// is typed whole ("fe80::1", on `defaultPort`) or in brackets ("[fe80::1]:5555"). Absent when there is no
// host at all (empty text, only colons, empty or unclosed brackets). Pure.
std::optional<TcpEndpoint> parseManualAddress(std::string_view text, std::uint16_t defaultPort);

}  // namespace velmora
