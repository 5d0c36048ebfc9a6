#pragma once

#include <atomic>
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
// nothing. Any thread.
class MemoryPeerStore final : public PeerStore {
  public:
    std::optional<Peer> find(const std::string& id) const override {
        std::lock_guard lock(mutex_);
        return peers_.contains(id) ? std::optional(peers_.at(id)) : std::nullopt;
    }
    // A failed write still keeps the peer, as the file store does.
    bool save(const Peer& peer) override {
        put(peer);
        ++saves_;
        return !failWrites_;
    }
    void put(const Peer& peer) {  // seeds the store without counting a save
        std::lock_guard lock(mutex_);
        peers_[peer.id] = peer;
    }
    std::map<std::string, Peer> snapshot() const {
        std::lock_guard lock(mutex_);
        return peers_;
    }
    int saves() const { return saves_; }
    void failWrites() { failWrites_ = true; }  // later saves report a failed write

  private:
    mutable std::mutex mutex_;  // guards peers_
    std::map<std::string, Peer> peers_;
    std::atomic<int> saves_ = 0;
    std::atomic<bool> failWrites_ = false;
};

// The two ends of one byte pipe between the computer and the simulated phone. Both kinds stay on this
// machine: a socketpair, or a real TCP connection to 127.0.0.1 through the TCP transport's own connect().
enum class LinkKind { socketPair, loopbackTcp };

struct LinkEnds {
    std::shared_ptr<Transport> computer, phone;
};

inline LinkEnds makeLink(LinkKind kind) {
    if (kind == LinkKind::socketPair) {
        auto [a, b] = test::socketPair();
        return {std::make_shared<TcpTransport>(std::move(a)), std::make_shared<TcpTransport>(std::move(b))};
    }
    test::LoopbackListener listener;
    auto computer = std::make_shared<TcpTransport>("127.0.0.1", listener.port());
    computer->connect(120.0);  // completed by the kernel from the backlog, accepted only afterwards
    return {computer, std::make_shared<TcpTransport>(listener.accept())};
}

inline std::string linkName(LinkKind kind) {
    return kind == LinkKind::socketPair ? "SocketPair" : "LoopbackTcp";
}

struct OpenOptions {
    std::optional<std::string> expected = {};
    bool userInitiated = true;
    bool acceptCode = true;  // the computer user's answer to the code
    LinkKind link = LinkKind::socketPair;
    std::function<void(LinkEnds&)> wrap = {};  // may replace or watch the ends before the opening starts
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
        if (computerEnd) computerEnd->close();
        return phone.valid() ? phone.get() : PhoneOutcome{};
    }
    std::string errorText() const { return describe(error); }
};

// Connects, runs the channel handshake and LinkSession::open on the calling thread. Never throws. A failed
// opening closes the computer's end at once, as the application does, so the phone never waits on it.
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
        if (attempt.computerEnd) attempt.computerEnd->close();
    }
    return attempt;
}

// The Peer the computer should store for this phone.
inline Peer peerOf(const SimulatedPhone& phone, const std::string& name = "Celular Simulado") {
    return Peer{phone.id(), phone.identity().publicX963(), name, "android"};
}

}  // namespace velmora
