// The monitor against the real kernel, inside a network namespace of the test's own: nothing here touches the
// machine's own interfaces, and no packet is sent.
#include <arpa/inet.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/netmon/rtnetlink_monitor.h"

namespace velmora {
namespace {

constexpr int kNotAllowed = 77;

// Counts onChange calls and waits, a generous minute at most, for the next one.
class Changes {
  public:
    std::function<void()> callback() {
        return [this] {
            std::lock_guard lock(mutex_);
            ++count_;
            cv_.notify_all();
        };
    }
    bool waitForOne() {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(60), [&] { return count_ > 0; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    int count_ = 0;
};

// The old interface ioctls, so that the test needs no `ip` tool: they act on the calling process's namespace.
bool interfaceCall(unsigned long request, ifreq& req) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool ok = fd >= 0 && ::ioctl(fd, request, &req) == 0;
    if (!ok) std::perror(req.ifr_name);
    if (fd >= 0) ::close(fd);
    return ok;
}

bool bringLoopbackUp() {
    ifreq req{};
    std::strcpy(req.ifr_name, "lo");
    if (!interfaceCall(SIOCGIFFLAGS, req)) return false;
    req.ifr_flags = static_cast<short>(req.ifr_flags | IFF_UP);
    return interfaceCall(SIOCSIFFLAGS, req);
}

// A second address on the loopback, as the label "lo:1".
bool addAddress() {
    ifreq req{};
    std::strcpy(req.ifr_name, "lo:1");
    sockaddr_in in{};
    in.sin_family = AF_INET;
    ::inet_pton(AF_INET, "10.200.0.1", &in.sin_addr);
    std::memcpy(&req.ifr_addr, &in, sizeof in);
    return interfaceCall(SIOCSIFADDR, req);
}

int fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

// Runs in a forked child, alone in its new namespace: user and network where unprivileged namespaces are
// allowed, network alone where only root may make one.
int story() {
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0 && ::unshare(CLONE_NEWNET) != 0) return kNotAllowed;
    Changes first;
    Changes again;
    RtnetlinkMonitor monitor;
    monitor.start(first.callback());
    if (!bringLoopbackUp()) return kNotAllowed;
    if (!first.waitForOne()) return fail("loopback came up unseen");
    // Stopped while waiting in poll and started again on a fresh socket: the new callback hears a new change.
    monitor.start(again.callback());
    if (!addAddress()) return fail("could not add an address");
    if (!again.waitForOne()) return fail("added address unseen");
    return 0;  // the destructor joins the running thread
}

TEST(RtnetlinkMonitor, SeesALinkComeUpAndAnAddressAddedInItsOwnNamespace) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(story());
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kNotAllowed) GTEST_SKIP() << "network namespaces are not allowed here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's line above";
}

}  // namespace
}  // namespace velmora
