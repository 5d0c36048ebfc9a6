#pragma once

#include <cstdint>
#include <span>

namespace velmora::RouteMessages {

// Whether one datagram read from a NETLINK_ROUTE socket holds at least one message that says an address,
// a route or a link came, went or changed. Each message's length is checked against what is left before its
// header is trusted; the walk stops at the first message that does not fit, so a short or lying datagram
// reports only what stood whole before it.
bool reportsChange(std::span<const std::uint8_t> datagram);

}  // namespace velmora::RouteMessages
