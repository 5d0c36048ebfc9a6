#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "core/bytes.h"
#include "core/channel/frame.h"
#include "core/crypto/gcm_stream.h"
#include "core/crypto/secret_bytes.h"
#include "core/transport/transport.h"

namespace velmora {

// The encrypted, authenticated record layer of CXP over any Transport: an ephemeral P-256 exchange in two
// 101-byte hellos, per-direction AES-256-GCM keys, then length-prefixed sealed records whose nonces are a
// per-direction counter, never sent.
//
// Threads: send() from any thread (the write lock covers sealing, the counter and the writes, so records
// leave whole and in counter order); receive() from one thread at a time (the opening thread, then the
// session's receive loop), which alone touches the receive counter; close() from any thread; setPreAuth()
// once, by the session, before its receive loop starts. Every record is sealed and written, or read and
// opened, on the calling thread: threads of the channel's own to overlap the cipher with the socket copy
// halved the rate on a busy machine, where each hand-over waits for a turn of the scheduler.
//
// The first failed send or receive is final: every later send and receive throws that same error again, so
// no caller can go on over a channel whose counters or transport are in doubt. The keys and the pairing
// seed are wiped when the channel ends.
class SecureChannel {
  public:
    // The largest plaintext of a record once authenticated, channel byte included.
    static constexpr std::uint32_t maxRecord = 4194304;

    // The handshake of the connecting side. Throws CXPError::protocolError for a bad hello or key; transport
    // errors pass through unchanged. The transport is not closed on failure: the caller owns that decision
    // (and may close it from another thread to end a handshake that stalls).
    static std::unique_ptr<SecureChannel> connectAsClient(std::shared_ptr<Transport> transport);
    // The responder's handshake (the phone's role): it sends its hello before it examines the client's.
    static std::unique_ptr<SecureChannel> acceptAsServer(std::shared_ptr<Transport> transport);

    SecureChannel(const SecureChannel&) = delete;
    SecureChannel& operator=(const SecureChannel&) = delete;

    // Seals and writes one record. A record is sealed and written a piece at a time (the pieces join into
    // the same bytes as one seal of the whole), so a large payload is read once, by the cipher, while it is
    // still in cache for the write. A failed write or seal closes the transport, so a receive blocked on
    // another thread ends too. After any failure of the channel, throws that first error.
    void send(std::uint8_t channel, ByteView payload);
    // The same record with the payload `head` followed by `body`, sealed from where they lie: no copy is
    // made to join them.
    void send(std::uint8_t channel, ByteView head, ByteView body);
    // Records of `head` followed by the next `chunk` bytes of `body` (the last one what remains), as many
    // as `body` fills, none when it is empty: the bytes of one send() each, under one hold of the write
    // lock, so a large body's sealing and writing overlap across its records. Fails as send().
    void sendChunks(std::uint8_t channel, ByteView head, ByteView body, std::size_t chunk);
    // Reads, checks and opens one record. The length is checked against the bound of the current state
    // before any byte of the body is read. After any failure of the channel, throws that first error.
    Frame receive();
    // The same into `frame`, whose buffer is reused: a loop that receives records of like sizes into one
    // Frame neither allocates nor clears a buffer per record. After a failure its content is meaningless.
    void receive(Frame& frame);
    // Closes the transport: every pending and later read and write fails.
    void close() noexcept;

    // SHA-256 of the client hello followed by the server hello.
    const Bytes& transcript() const { return transcript_; }
    // The seed of the six-digit pairing code; for the session's pairing exchange only.
    const SecretBytes& sasSeed() const { return sasSeed_; }
    bool isClient() const { return isClient_; }
    // While true, incoming records are bounded by the pre-authentication limit.
    bool preAuth() const { return preAuth_.load(); }
    void setPreAuth(bool value) { preAuth_.store(value); }

    // sasCode over this channel's seed and transcript.
    std::string pairingCode(ByteView nonceClient, ByteView nonceServer) const;

    // SHA-256 of "CXP1-sas-commit", the transcript and the client's pairing nonce: the client's commitment.
    static Bytes sasCommit(ByteView transcript, ByteView nonceClient);
    // The six-digit code both screens show.
    static std::string sasCode(ByteView seed, ByteView transcript, ByteView nonceClient,
                               ByteView nonceServer);

    struct SessionKeys {
        SecretBytes c2s;      // client-to-server record key (32 bytes)
        SecretBytes s2c;      // server-to-client record key (32 bytes)
        SecretBytes sasSeed;  // 32 bytes
    };
    static SessionKeys deriveSession(ByteView shared, ByteView transcript);

    // The GCM nonce of record number `counter`: 4 zero bytes, then the counter big-endian.
    static std::array<std::uint8_t, 12> recordNonce(std::uint64_t counter);

  private:
    friend struct SecureChannelTestAccess;

    SecureChannel(std::shared_ptr<Transport> transport, bool isClient, SessionKeys keys, Bytes transcript);

    struct Pieces;

    // Write lock held: `records` records, the i-th carrying head and body[i * chunk, (i + 1) * chunk).
    void sendLocked(std::uint8_t channel, ByteView head, ByteView body, std::size_t chunk,
                    std::size_t records);
    void sealRecord(Pieces& out, std::uint8_t channel, ByteView head, ByteView body);
    void receiveRecord(Frame& frame);
    // Throws the first failure, if there was one.
    void throwIfFailed() const;
    // Keeps `error` as the first failure, unless one is kept already.
    void latch(std::exception_ptr error) noexcept;

    const std::shared_ptr<Transport> transport_;
    const SecretBytes sendKey_;
    const SecretBytes recvKey_;
    const Bytes transcript_;
    const SecretBytes sasSeed_;
    const bool isClient_;
    std::atomic<bool> preAuth_{true};

    std::mutex writeMutex_;  // guards sendCounter_, sendCipher_, sendBuffer_; serialises whole records
    std::uint64_t sendCounter_ = 0;
    GcmStream sendCipher_;
    Bytes sendBuffer_;  // the piece of outgoing records being sealed, reused

    // Receiving thread only.
    std::uint64_t recvCounter_ = 0;
    GcmStream recvCipher_;

    // The first failure: written once under failMutex_, then `failed_` is set (release); read after seeing
    // `failed_` (acquire) and never changed again.
    std::mutex failMutex_;
    std::atomic<bool> failed_{false};
    std::exception_ptr failure_;
};

}  // namespace velmora
