#include "platform/netmon/route_messages.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cstddef>
#include <cstring>

namespace velmora::RouteMessages {
namespace {

constexpr std::size_t kHeaderSize = sizeof(nlmsghdr);

// Messages start on 4-byte boundaries; the padding after one is not part of its length.
constexpr std::size_t aligned(std::size_t length) {
    return (length + 3U) & ~std::size_t{3};
}

bool isChange(std::uint16_t type) {
    switch (type) {
        case RTM_NEWLINK:
        case RTM_DELLINK:
        case RTM_NEWADDR:
        case RTM_DELADDR:
        case RTM_NEWROUTE:
        case RTM_DELROUTE:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool reportsChange(std::span<const std::uint8_t> datagram) {
    std::size_t offset = 0;
    while (datagram.size() - offset >= kHeaderSize) {
        nlmsghdr header{};
        std::memcpy(&header, datagram.data() + offset, kHeaderSize);  // the buffer need not be aligned
        const std::size_t length = header.nlmsg_len;
        if (length < kHeaderSize || length > datagram.size() - offset) return false;
        if (isChange(header.nlmsg_type)) return true;
        if (aligned(length) >= datagram.size() - offset) return false;
        offset += aligned(length);
    }
    return false;
}

}  // namespace velmora::RouteMessages
