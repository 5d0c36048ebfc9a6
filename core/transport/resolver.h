#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/transport/poll_wait.h"

namespace velmora {

// One socket address as getaddrinfo gives it.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    int family() const { return storage.ss_family; }
};

// Turns a host name and port into the addresses to try, in order. Throws NetError::dns when the name cannot
// be resolved. May block for a long time (the system resolver does); the transport bounds it with its
// deadline.
using Resolver = std::function<std::vector<SocketAddress>(const std::string& host, std::uint16_t port)>;

// The system resolver (getaddrinfo, stream sockets, only address families this machine has configured).
Resolver systemResolver();

// The address of an IP literal (IPv4, IPv6, IPv6 with a zone), found without any name lookup; nullopt for a
// name that would need the resolver.
std::optional<SocketAddress> numericAddress(const std::string& host, std::uint16_t port);

struct ResolveOutcome {
    enum class Status { resolved, failed, woken, timedOut };
    Status status = Status::timedOut;
    std::vector<SocketAddress> addresses;  // when resolved
    std::string failure;                   // when failed: the text of what the resolver threw
};

// Runs `resolver` on a helper thread of its own and waits for it until `deadline`, or until `wakeFd` becomes
// readable. A resolver still running when the wait ends is left to finish on its own; its result is dropped.
ResolveOutcome resolveWithin(const Resolver& resolver, const std::string& host, std::uint16_t port,
                             Deadline deadline, int wakeFd);

}  // namespace velmora
