#pragma once

// Loopback-only sockets for the transport and channel tests (nothing here ever reaches another host), and a
// way to start a call on its own thread and know for certain that it is blocked in the kernel.

#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <future>
#include <system_error>
#include <thread>

#include "core/posix/unique_fd.h"

namespace velmora::test {

inline void check(bool ok, const char* what) {
    if (!ok) throw std::system_error(errno, std::generic_category(), what);
}

// A socket bound to an ephemeral port of 127.0.0.1, listening unless `backlog` is negative. A bound socket
// that never listens refuses every connection (and keeps the port from other programs meanwhile). With
// backlog 0 the kernel queues one finished connection and then drops further connection requests, which
// makes a connect that never completes. A chosen `port` may be taken again at once after an earlier run.
class LoopbackListener {
  public:
    explicit LoopbackListener(int backlog = 16, std::uint16_t port = 0)
        : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in a{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof a;
        const int one = 1;
        check(port == 0 || ::setsockopt(fd_.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0, "reuse");
        check(::bind(fd_.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0, "bind");
        check(::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&a), &length) == 0, "getsockname");
        check(backlog < 0 || ::listen(fd_.get(), backlog) == 0, "listen");
        port_ = ntohs(a.sin_port);
    }
    std::uint16_t port() const { return port_; }
    UniqueFd accept() {
        UniqueFd fd(::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        check(fd.valid(), "accept");
        return fd;
    }

  private:
    UniqueFd fd_;
    std::uint16_t port_ = 0;
};

struct RefusingPort : LoopbackListener {
    RefusingPort() : LoopbackListener(-1) {}
};

// A plain client connection to a loopback port (the raw peer of the tests).
inline UniqueFd connectLoopback(std::uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    check(::connect(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0, "connect");
    return fd;
}

inline std::pair<UniqueFd, UniqueFd> socketPair() {
    int fds[2];
    check(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0, "socketpair");
    return {UniqueFd(fds[0]), UniqueFd(fds[1])};
}

// Writes all of `size` bytes on a raw socket (the peer side of a test).
inline void sendAll(int fd, const void* data, std::size_t size) {
    for (auto* p = static_cast<const std::uint8_t*>(data); size > 0;) {
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        check(n > 0, "send");
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

// True while thread `tid` of this process sleeps in a socket read, write or poll (the file says "running"
// while the thread runs).
inline bool blockedOnSocket(pid_t tid) {
    long call = -1;
    if (!(std::ifstream("/proc/self/task/" + std::to_string(tid) + "/syscall") >> call)) return false;
#ifdef SYS_poll
    if (call == SYS_poll) return true;
#endif
    return call == SYS_ppoll || call == SYS_recvfrom || call == SYS_recvmsg || call == SYS_sendto;
}

// Runs `call` on a thread of its own and returns once that thread is blocked on a socket (or the call has
// ended, or a minute passed), so that whatever the test does next happens during the blocked call.
template <typename F>
auto startBlockedCall(F call) {
    std::promise<pid_t> started;
    std::future<pid_t> tid = started.get_future();
    auto result = std::async(std::launch::async, [started = std::move(started), call]() mutable {
        started.set_value(static_cast<pid_t>(::gettid()));
        return call();
    });
    const pid_t id = tid.get();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!blockedOnSocket(id) && result.wait_for(std::chrono::seconds(0)) != std::future_status::ready &&
           std::chrono::steady_clock::now() < giveUp)
        std::this_thread::yield();
    return result;
}

}  // namespace velmora::test
