// The routing socket's datagrams as the kernel sends them, and as a short or lying one would look.
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <gtest/gtest.h>
#include <cstring>
#include <vector>

#include "core/bytes.h"
#include "platform/netmon/route_messages.h"

namespace velmora {
namespace {

// One message: a header claiming `claimed` bytes (0 = its true length), `body` zero bytes after it, padded
// to the next 4-byte boundary as the kernel does.
Bytes message(std::uint16_t type, std::size_t body, std::uint32_t claimed = 0) {
    nlmsghdr header{};
    header.nlmsg_len = claimed != 0 ? claimed : static_cast<std::uint32_t>(sizeof header + body);
    header.nlmsg_type = type;
    Bytes out(sizeof header + body + (4 - body % 4) % 4, 0);
    std::memcpy(out.data(), &header, sizeof header);
    return out;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(RouteMessages, FindsChangesAndNeverReadsPastTheDatagram) {
    const Bytes newAddr = message(RTM_NEWADDR, 40);
    Bytes cut = newAddr;
    cut.resize(15);
    const struct {
        const char* name;
        Bytes datagram;
        bool change;
    } cases[] = {
        {"empty", {}, false},
        {"shorter than a header", cut, false},
        {"an address added", newAddr, true},
        {"each kind of change counts", message(RTM_DELROUTE, 28), true},
        {"a link after an odd-length no-op, found past the padding",
         join({message(NLMSG_NOOP, 1), message(RTM_NEWLINK, 16)}), true},
        {"a query's answer markers are not news", join({message(NLMSG_DONE, 4), message(NLMSG_ERROR, 20)}),
         false},
        {"a request type is not news", message(RTM_GETADDR, 8), false},
        {"a length past the end", message(RTM_NEWADDR, 40, 4096), false},
        {"a length shorter than its header (would loop forever)", message(RTM_NEWADDR, 40, 4), false},
        {"a change behind a cut message is not trusted",
         join({message(NLMSG_NOOP, 4, 200), message(RTM_NEWADDR, 8)}), false},
    };
    for (const auto& c : cases) {
        // Every case also read from an odd address: the buffer owes the parser no alignment.
        Bytes shifted(c.datagram.size() + 1);
        if (!c.datagram.empty()) std::memcpy(shifted.data() + 1, c.datagram.data(), c.datagram.size());
        EXPECT_EQ(RouteMessages::reportsChange(c.datagram), c.change) << c.name;
        EXPECT_EQ(RouteMessages::reportsChange({shifted.data() + 1, c.datagram.size()}), c.change) << c.name;
    }
}

}  // namespace
}  // namespace velmora
