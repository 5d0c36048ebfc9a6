// The parser on datagrams whole, short and lying; the monitor against the real kernel in a network namespace
// of the test's own, so the machine's own interfaces are never touched. No packet is sent.
#include <arpa/inet.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <condition_variable>
#include <cstring>

#include "core/bytes.h"
#include "platform/netmon/route_messages.h"
#include "platform/netmon/rtnetlink_monitor.h"

namespace velmora {
namespace {

// A header claiming `claimed` bytes (0: its true length), then `body` zero bytes and the padding to 4 bytes.
Bytes message(std::uint16_t type, std::size_t body, std::uint32_t claimed = 0) {
    nlmsghdr header{};
    header.nlmsg_len = claimed != 0 ? claimed : static_cast<std::uint32_t>(sizeof header + body);
    header.nlmsg_type = type;
    Bytes out(sizeof header + (body + 3) / 4 * 4, 0);
    std::memcpy(out.data(), &header, sizeof header);
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(RouteMessages, FindsChangesAndNeverReadsPastTheDatagram) {
    const struct {
        const char* name;
        Bytes datagram;
        bool change;
    } cases[] = {
        {"shorter than a header", Bytes(15, 0xff), false},
        {"an address added", message(RTM_NEWADDR, 40), true},
        {"a link after an odd-length no-op, past the padding",
         message(NLMSG_NOOP, 1) + message(RTM_NEWLINK, 16), true},
        {"answer markers and requests are not news", message(NLMSG_DONE, 4) + message(RTM_GETADDR, 8), false},
        {"a length past the end hides what follows",
         message(RTM_NEWROUTE, 40, 4096) + message(RTM_NEWADDR, 8), false},
        {"a length shorter than its header (would loop forever)", message(RTM_DELADDR, 40, 4), false},
    };
    for (const auto& c : cases) {
        // Read from an odd address too: the buffer owes the parser no alignment.
        Bytes shifted = Bytes(1) + c.datagram;
        EXPECT_EQ(RouteMessages::reportsChange(c.datagram), c.change) << c.name;
        EXPECT_EQ(RouteMessages::reportsChange({shifted.data() + 1, c.datagram.size()}), c.change) << c.name;
    }
}

constexpr int kNotAllowed = 77;

// Runs in a forked child, alone in its new namespaces (network alone where only root may make one).
int story() {
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0 && ::unshare(CLONE_NEWNET) != 0) return kNotAllowed;
    std::mutex mutex;
    std::condition_variable cv;
    bool reported = false;
    RtnetlinkMonitor monitor;
    monitor.start([&] {
        std::lock_guard lock(mutex);
        reported = true;
        cv.notify_all();
    });
    // 10.200.0.1 as a second loopback address, through the old ioctl: it needs no `ip` tool.
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(0x0AC80001);
    ifreq request{};
    std::strcpy(request.ifr_name, "lo:1");
    std::memcpy(&request.ifr_addr, &in, sizeof in);
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::ioctl(fd, SIOCSIFADDR, &request) != 0) return kNotAllowed;
    std::unique_lock lock(mutex);
    // On return the destructor stops the thread while it waits in poll.
    return cv.wait_for(lock, std::chrono::seconds(60), [&] { return reported; }) ? 0 : 1;
}

TEST(RtnetlinkMonitor, SeesAnAddressAddedInItsOwnNamespace) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(story());
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kNotAllowed) GTEST_SKIP() << "network namespaces are not allowed here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the added address went unseen";
}

}  // namespace
}  // namespace velmora
