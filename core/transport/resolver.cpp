#include "core/transport/resolver.h"

#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "core/errors/net_error.h"
#include "core/posix/unique_fd.h"

namespace velmora {
namespace {

struct AddrInfoDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoDeleter>;

// getaddrinfo with the given flags; the EAI code on failure (0 on success).
int lookUp(const std::string& host, std::uint16_t port, int flags, AddrInfoList& out) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags | AI_NUMERICSERV;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
    out.reset(rc == 0 ? list : nullptr);
    return rc;
}

std::vector<SocketAddress> toAddresses(const addrinfo* list) {
    std::vector<SocketAddress> out;
    for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
        if (ai->ai_addrlen > sizeof(sockaddr_storage)) continue;
        SocketAddress a;
        std::memcpy(&a.storage, ai->ai_addr, ai->ai_addrlen);
        a.length = ai->ai_addrlen;
        out.push_back(a);
    }
    return out;
}

// What the helper thread and the waiting thread share. The helper holds it too, so a wait that gives up early
// leaves nothing dangling.
struct PendingLookup {
    std::mutex mutex;  // guards addresses, failure, done
    std::vector<SocketAddress> addresses;
    std::optional<std::string> failure;
    bool done = false;
    UniqueFd doneFd{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
};

}  // namespace

Resolver systemResolver() {
    return [](const std::string& host, std::uint16_t port) {
        AddrInfoList list;
        const int rc = lookUp(host, port, AI_ADDRCONFIG, list);
        if (rc != 0) throw NetError::dns(rc);
        auto addresses = toAddresses(list.get());
        if (addresses.empty()) throw NetError::dns(EAI_NONAME);
        return addresses;
    };
}

std::optional<SocketAddress> numericAddress(const std::string& host, std::uint16_t port) {
    // With AI_NUMERICHOST getaddrinfo only parses; it never consults DNS, so it cannot block.
    AddrInfoList list;
    if (lookUp(host, port, AI_NUMERICHOST, list) != 0) return std::nullopt;
    auto addresses = toAddresses(list.get());
    if (addresses.empty()) return std::nullopt;
    return addresses.front();
}

ResolveOutcome resolveWithin(const Resolver& resolver, const std::string& host, std::uint16_t port,
                             Deadline deadline, int wakeFd) {
    auto pending = std::make_shared<PendingLookup>();
    if (!pending->doneFd.valid()) throw PosixError(errno);
    std::thread([pending, resolver, host, port] {
        // Only plain values cross back to the waiting thread: the exception itself stays on this one.
        std::vector<SocketAddress> addresses;
        std::optional<std::string> failure;
        try {
            addresses = resolver(host, port);
        } catch (const std::exception& e) {
            failure = e.what();
        } catch (...) {
            failure = "erro desconhecido na resolução de nome";
        }
        {
            std::lock_guard lock(pending->mutex);
            pending->addresses = std::move(addresses);
            pending->failure = std::move(failure);
            pending->done = true;
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(pending->doneFd.get(), &one, sizeof one);
    }).detach();

    ResolveOutcome outcome;
    switch (waitFor(pending->doneFd.get(), POLLIN, wakeFd, deadline)) {
        case WaitResult::woken:
            outcome.status = ResolveOutcome::Status::woken;
            return outcome;
        case WaitResult::timedOut:
            outcome.status = ResolveOutcome::Status::timedOut;
            return outcome;
        case WaitResult::ready:
            break;
    }
    std::lock_guard lock(pending->mutex);
    if (pending->failure) {
        outcome.status = ResolveOutcome::Status::failed;
        outcome.failure = *pending->failure;
    } else {
        outcome.status = ResolveOutcome::Status::resolved;
        outcome.addresses = std::move(pending->addresses);
    }
    return outcome;
}

}  // namespace velmora
