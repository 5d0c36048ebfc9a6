#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "core/bytes.h"
#include "core/channel/secure_channel.h"
#include "core/exec/executor.h"
#include "core/identity/identity.h"
#include "core/identity/peer.h"
#include "core/identity/peer_store.h"
#include "core/session/session_delegate.h"

namespace velmora {

// One authenticated session with one phone, over a secure channel it owns for its whole life. The
// computer is always the channel's client.
//
// Threads: open() runs on the caller's (connecting) thread and blocks in every receive; run() then
// blocks on one thread of the caller's choice, the only one that receives from then on. The sends
// and close() may be called from any thread at any time; the channel's write lock keeps records
// whole and in order. `closed_` and `lastRx_` are atomics; `peerCaps_` is guarded by `capsMutex_`;
// `transportKind_` by `kindMutex_`.
class LinkSession {
  public:
    // Asked, on the opening thread, whether both screens show the same six-digit code.
    using Prompt = std::function<bool(const Peer& peer, const std::string& code)>;

    // The one short-code scheme this side accepts in "pair.begin".
    static constexpr const char* sasCR1 = "cr1";
    // The type of the computer's commitment, the first message of the pairing exchange; the companion
    // app recognises exactly this text.
    static constexpr const char* pairCommitType = "pair.commit";

    // The role bytes of the two "auth" signatures.
    static constexpr std::uint8_t roleComputer = 0x01;
    static constexpr std::uint8_t rolePhone = 0x02;
    // What an "auth" signs: "CXP1-auth", the signer's role, the channel's transcript. The transcript
    // binds the signature to this channel's hellos, so a recorded "auth" cannot be replayed elsewhere.
    static Bytes authSignedBytes(std::uint8_t role, ByteView transcript);

    // Authenticates the phone on `channel` (a fresh client channel) and, when the phone asks for it,
    // pairs it. `expected` is a prefix of the id the caller expects; `userInitiated` false refuses
    // phones that are not paired. Throws CXPError or passes on the channel's, the decoder's and the
    // identity's errors. On failure the channel is dropped; closing its transport is the caller's task,
    // as is ending a stalled opening by closing the transport from another thread. `clock` dates lastRx();
    // it is the owner's (the model's) clock and must outlive the session.
    static std::unique_ptr<LinkSession> open(std::unique_ptr<SecureChannel> channel, const Identity& me,
                                             PeerStore& store, const std::optional<std::string>& expected,
                                             bool userInitiated, const Prompt& prompt,
                                             const Clock& clock = SteadyClock::shared());

    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;
    ~LinkSession();

    // Receives until the session ends, reporting each record to `delegate` and the end once through
    // sessionDidClose. Only the first call runs; a later one returns at once.
    void run(SessionDelegate& delegate);

    // Each sends one record; errors of the channel go to the caller and do not end the loop.
    void sendControl(const nlohmann::json& message);
    void sendInput(const nlohmann::json& message);
    void sendFileChunk(std::uint32_t tid, ByteView data);
    // A block of a file as records of `chunk` bytes (the last one what remains), the bytes of one
    // sendFileChunk() each, sealed and written together so that a large block's sealing and writing overlap.
    void sendFileChunks(std::uint32_t tid, ByteView data, std::size_t chunk);

    // Ends the session from any thread: a receive blocked in run() fails and the loop ends quietly.
    void close();

    SecureChannel& channel() { return *channel_; }
    const Peer& peer() const { return peer_; }
    bool newlyPaired() const { return newlyPaired_; }
    // True when pairing succeeded but the peer store could not make the new peer durable (it is kept in
    // memory); the owner logs it and tells the user the pairing may not survive a restart.
    bool peerSaveFailed() const { return peerSaveFailed_; }
    bool closed() const { return closed_.load(); }
    // Names this session for the life of the process: no other session ever gets it, whereas a freed
    // session's address may come back for the next one. Work that hops threads compares this.
    std::uint64_t serial() const { return serial_; }
    // When the last record arrived, in seconds on the session's clock; the heartbeat watches it.
    double lastRx() const { return lastRx_.load(); }
    // The phone's last "caps" message, whole.
    std::optional<nlohmann::json> peerCaps() const;
    // Label of the link carrying the session ("tcp" unless the owner says otherwise).
    std::string transportKind() const;
    void setTransportKind(std::string kind);

  private:
    // Sessions come from open() alone; the token keeps the constructor out of other hands while
    // letting make_unique call it.
    struct OpenedToken {
        explicit OpenedToken() = default;
    };

  public:
    LinkSession(OpenedToken, std::unique_ptr<SecureChannel> channel, Peer peer, bool newlyPaired,
                bool peerSaveFailed, const Clock& clock);

  private:
    // Reads one record and hands it on; throws what ends the session.
    void receiveOne(SessionDelegate& delegate);

    const std::unique_ptr<SecureChannel> channel_;
    const Peer peer_;
    const bool newlyPaired_;
    const bool peerSaveFailed_;
    const Clock& clock_;
    const std::uint64_t serial_;
    std::atomic<bool> closed_{false};
    std::atomic<bool> ran_{false};
    std::atomic<double> lastRx_;
    // The receive loop's: each record is read into it, so a stream of file or video records reuses one
    // buffer instead of allocating and clearing one per record.
    Frame received_;

    mutable std::mutex capsMutex_;
    std::shared_ptr<const nlohmann::json> peerCaps_;

    mutable std::mutex kindMutex_;
    std::string transportKind_ = "tcp";
};

}  // namespace velmora
