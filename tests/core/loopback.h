#pragma once

// Loopback-only sockets for the transport and channel tests: nothing here ever reaches another host.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "core/posix/unique_fd.h"

namespace velmora::test {

inline sockaddr_in loopbackAddress(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

inline void check(bool ok, const char* what) {
    if (!ok) throw std::system_error(errno, std::generic_category(), what);
}

// A socket bound to an ephemeral port of 127.0.0.1.
inline std::pair<UniqueFd, std::uint16_t> boundLoopbackSocket() {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    check(fd.valid(), "socket");
    sockaddr_in a = loopbackAddress(0);
    check(::bind(fd.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0, "bind");
    socklen_t length = sizeof a;
    check(::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&a), &length) == 0, "getsockname");
    return {std::move(fd), ntohs(a.sin_port)};
}

// A listening socket on 127.0.0.1. With backlog 0 the kernel queues one finished connection and then drops
// further connection requests, which makes a connect that never completes.
class LoopbackListener {
  public:
    explicit LoopbackListener(int backlog = 16) {
        auto [fd, port] = boundLoopbackSocket();
        check(::listen(fd.get(), backlog) == 0, "listen");
        fd_ = std::move(fd);
        port_ = port;
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

// A loopback port that is bound but never listens: every connection to it is refused. Held for the test's
// lifetime so that no other program can take the port meanwhile.
class RefusingPort {
  public:
    RefusingPort() {
        auto [fd, port] = boundLoopbackSocket();
        fd_ = std::move(fd);
        port_ = port;
    }
    std::uint16_t port() const { return port_; }

  private:
    UniqueFd fd_;
    std::uint16_t port_ = 0;
};

// A plain client connection to a loopback port (the raw peer of the tests).
inline UniqueFd connectLoopback(std::uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    check(fd.valid(), "socket");
    sockaddr_in a = loopbackAddress(port);
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
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        check(n > 0, "send");
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace velmora::test
