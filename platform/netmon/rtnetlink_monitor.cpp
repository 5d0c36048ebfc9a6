#include "platform/netmon/rtnetlink_monitor.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/exec/task_guard.h"
#include "core/log/velmora_log.h"
#include "platform/netmon/route_messages.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

// A burst ends when the socket has been quiet this long; a flapping link still reports at least this often.
constexpr int kQuietMs = 150;
constexpr auto kLongestBurst = std::chrono::seconds(1);

constexpr unsigned kGroups =
    RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_IFADDR | RTMGRP_IPV6_ROUTE;

void logFailure(const char* what, int error) {
    VelmoraLog::write(std::string("monitor de rede indisponível (") + what + "): " + std::strerror(error));
}

UniqueFd openRouteSocket() {
    UniqueFd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE));
    if (!fd.valid()) {
        logFailure("socket", errno);
        return {};
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = kGroups;
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        logFailure("bind", errno);
        return {};
    }
    return fd;
}

enum class Drained { nothing, change, failed };

// Reads every datagram waiting on the socket. Only the kernel's own messages count: another process could
// otherwise make the model re-plan at will. A full receive queue means messages were lost, which counts as
// a change too, since what they said is unknown.
Drained drain(int fd) {
    alignas(nlmsghdr) std::array<std::uint8_t, 16384> buffer{};
    bool changed = false;
    for (;;) {
        sockaddr_nl sender{};
        iovec part{buffer.data(), buffer.size()};
        msghdr message{};
        message.msg_name = &sender;
        message.msg_namelen = sizeof sender;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        const ssize_t got = ::recvmsg(fd, &message, MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR) continue;
            if (errno == ENOBUFS) {
                changed = true;
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) return changed ? Drained::change : Drained::nothing;
            logFailure("recvmsg", errno);
            return Drained::failed;
        }
        if (sender.nl_pid != 0) continue;
        const auto size = static_cast<std::size_t>(got);
        if ((message.msg_flags & MSG_TRUNC) != 0 || RouteMessages::reportsChange({buffer.data(), size})) {
            changed = true;
        }
    }
}

enum class Wait { stop, socket, quiet, failed };

Wait waitFor(int socketFd, int stopFd, int timeoutMs) {
    std::array<pollfd, 2> fds{pollfd{socketFd, POLLIN, 0}, pollfd{stopFd, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            logFailure("poll", errno);
            return Wait::failed;
        }
        if (fds[1].revents != 0) return Wait::stop;
        // POLLERR is how an overrun shows (ENOBUFS): it is read like news, and drain() counts it as a change.
        if (fds[0].revents & (POLLHUP | POLLNVAL)) return Wait::failed;
        return ready == 0 ? Wait::quiet : Wait::socket;
    }
}

// The thread's loop: wait for news, then keep reading until the socket has been quiet for a moment (or the
// burst has gone on for long enough) and report once.
void watch(UniqueFd socket, int stopFd, const std::function<void()>& onChange) {
    pthread_setname_np(pthread_self(), "velmora.netmon");
    for (;;) {
        const Wait first = waitFor(socket.get(), stopFd, -1);
        if (first != Wait::socket) return;
        Drained news = drain(socket.get());
        if (news == Drained::failed) return;
        if (news == Drained::nothing) continue;
        const auto burstEnds = Clock::now() + kLongestBurst;
        while (Clock::now() < burstEnds) {
            const Wait more = waitFor(socket.get(), stopFd, kQuietMs);
            if (more == Wait::stop || more == Wait::failed) return;
            if (more == Wait::quiet) break;
            if (drain(socket.get()) == Drained::failed) return;
        }
        runGuarded(onChange, "monitor de rede");
    }
}

}  // namespace

RtnetlinkMonitor::~RtnetlinkMonitor() {
    stop();
}

void RtnetlinkMonitor::start(std::function<void()> onChange) {
    stop();
    UniqueFd socket = openRouteSocket();
    if (!socket.valid()) return;
    stopSignal_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stopSignal_.valid()) {
        logFailure("eventfd", errno);
        return;
    }
    thread_ = std::thread(watch, std::move(socket), stopSignal_.get(), std::move(onChange));
}

void RtnetlinkMonitor::stop() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        // An eventfd write of 1 cannot fail short of overflowing its counter, which one write cannot do.
        [[maybe_unused]] const ssize_t wrote = ::write(stopSignal_.get(), &one, sizeof one);
        thread_.join();
    }
    stopSignal_.reset();
}

}  // namespace velmora
