#pragma once

#include <exception>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/channel/secure_channel.h"
#include "core/identity/peer_store.h"
#include "core/loopback.h"
#include "core/session/link_session.h"
#include "core/transport/tcp_transport.h"
#include "support/recording_delegate.h"
#include "support/simulated_phone.h"

namespace velmora {

// A peer store in memory that counts its writes, so a test can prove that a failed opening changed
// nothing. Any thread; `mutex_` guards every field.
class MemoryPeerStore final : public PeerStore {
  public:
    std::optional<Peer> find(const std::string& id) const override {
        std::lock_guard lock(mutex_);
        const auto it = peers_.find(id);
        return it == peers_.end() ? std::nullopt : std::optional<Peer>(it->second);
    }
    // Keeps the peer even when the write "fails", as the file store does.
    bool save(const Peer& peer) override {
        std::lock_guard lock(mutex_);
        ++saves_;
        peers_[peer.id] = peer;
        return !failWrites_;
    }
    // Seeds the store without counting a save.
    void put(const Peer& peer) {
        std::lock_guard lock(mutex_);
        peers_[peer.id] = peer;
    }
    std::map<std::string, Peer> snapshot() const {
        std::lock_guard lock(mutex_);
        return peers_;
    }
    int saves() const {
        std::lock_guard lock(mutex_);
        return saves_;
    }
    // Makes later saves report a failed write.
    void failWrites() {
        std::lock_guard lock(mutex_);
        failWrites_ = true;
    }

  private:
    mutable std::mutex mutex_;
    std::map<std::string, Peer> peers_;
    int saves_ = 0;
    bool failWrites_ = false;
};

// The two ends of one byte pipe between the computer and the simulated phone. Both kinds stay on this
// machine: a socketpair, or a real TCP connection to 127.0.0.1 through the TCP transport's own connect().
enum class LinkKind { socketPair, loopbackTcp };

struct LinkEnds {
    std::shared_ptr<Transport> computer;
    std::shared_ptr<Transport> phone;
};

inline LinkEnds makeLink(LinkKind kind) {
    if (kind == LinkKind::socketPair) {
        auto [a, b] = test::socketPair();
        return {std::make_shared<TcpTransport>(std::move(a)), std::make_shared<TcpTransport>(std::move(b))};
    }
    test::LoopbackListener listener;
    auto computer = std::make_shared<TcpTransport>("127.0.0.1", listener.port());
    // The kernel completes the connection from the backlog, so accepting afterwards on this thread works;
    // the bound is only there for a machine that has stopped.
    computer->connect(120.0);
    return {computer, std::make_shared<TcpTransport>(listener.accept())};
}

inline std::string linkName(LinkKind kind) {
    return kind == LinkKind::socketPair ? "SocketPair" : "LoopbackTcp";
}

struct OpenOptions {
    LinkKind link = LinkKind::socketPair;
    std::optional<std::string> expected;
    bool userInitiated = true;
    bool acceptCode = true;  // the computer user's answer to the code
    // May replace or watch the ends before the opening starts.
    std::function<void(LinkEnds&)> wrap;
};

// One opening of a session against the simulated phone, the phone answering on a thread of its own.
struct OpenAttempt {
    std::unique_ptr<LinkSession> session;  // set when the opening succeeded
    std::exception_ptr error;              // set when it failed
    std::shared_ptr<Transport> computerEnd;
    std::future<PhoneOutcome> phone;
    std::optional<std::string> codeShown;  // the code the computer's prompt was given

    // Closes the computer's side and waits for the phone to finish.
    PhoneOutcome finish() {
        if (session) session->close();
        if (computerEnd) computerEnd->close();
        return phone.valid() ? phone.get() : PhoneOutcome{};
    }
    std::string errorText() const { return describe(error); }
};

// Connects, runs the channel handshake and LinkSession::open on the calling thread. Never throws.
inline OpenAttempt openSession(SimulatedPhone& phone, const Identity& computer, PeerStore& store,
                               const OpenOptions& options = {}) {
    OpenAttempt attempt;
    try {
        LinkEnds ends = makeLink(options.link);
        if (options.wrap) options.wrap(ends);
        attempt.computerEnd = ends.computer;
        attempt.phone = phone.serveAsync(ends.phone);
        auto prompt = [&attempt, accept = options.acceptCode](const Peer&, const std::string& code) {
            attempt.codeShown = code;
            return accept;
        };
        attempt.session = LinkSession::open(SecureChannel::connectAsClient(ends.computer), computer, store,
                                            options.expected, options.userInitiated, prompt);
    } catch (...) {
        attempt.error = std::current_exception();
    }
    return attempt;
}

// The Peer the computer should store for this phone.
inline Peer peerOf(const SimulatedPhone& phone, const std::string& name = "Celular Simulado") {
    return Peer{phone.id(), phone.identity().publicX963(), name, "android"};
}

}  // namespace velmora
