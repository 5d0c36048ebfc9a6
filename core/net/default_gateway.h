#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora::DefaultGateway {

// The default gateway in the text of the kernel's IPv4 routing table (/proc/net/route): among the rows with
// destination 0.0.0.0/0 that are up and go through a gateway, the one with the lowest metric (the first on a
// tie), as a dotted quad. Absent when there is none or the table cannot be read. Malformed rows are skipped.
std::optional<std::string> parseRouteTable(std::string_view text);

// The computer's default gateway now. Blocking file read; call off the GUI thread.
std::optional<std::string> read(const std::string& routeTablePath = "/proc/net/route");

}  // namespace velmora::DefaultGateway
