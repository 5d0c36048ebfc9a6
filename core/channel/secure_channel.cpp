#include "core/channel/secure_channel.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string_view>

#include "core/crypto/cxp_crypto.h"
#include "core/crypto/p256_private_key.h"
#include "core/errors/crypto_error.h"
#include "core/errors/cxp_error.h"
#include "core/text/limits.h"

namespace velmora {
namespace {

constexpr std::string_view magic = "CXP1";
constexpr std::size_t helloSize = 101;  // magic 4, ephemeral key 65, nonce 32
constexpr std::size_t keyOffset = 4;
constexpr std::size_t keySize = 65;
constexpr std::size_t helloNonceSize = 32;
constexpr std::size_t tagSize = 16;
// The smallest record: the channel byte and the tag.
constexpr std::uint32_t minRecord = 1 + tagSize;
constexpr std::uint32_t preAuthBound = Limits::preAuthRecord + tagSize;
constexpr std::uint32_t authBound = SecureChannel::maxRecord + tagSize;
// Records leave, and large ones arrive, in pieces of this size: small enough to stay in cache between the
// cipher and the socket copy, large enough that a piece is one cheap system call.
constexpr std::size_t recordPiece = 128 * 1024;
// The last counter value is never used: sealing with it would leave no next value but a wrap to 0, which
// would reuse the nonce of the first record.
constexpr std::uint64_t counterExhausted = std::numeric_limits<std::uint64_t>::max();

ByteView ascii(std::string_view text) {
    return ByteView(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void putBigEndian32(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t bigEndian32(const std::uint8_t* in) {
    return (std::uint32_t{in[0]} << 24) | (std::uint32_t{in[1]} << 16) | (std::uint32_t{in[2]} << 8) |
           std::uint32_t{in[3]};
}

std::uint32_t readLength(Transport& transport) {
    std::uint8_t prefix[4];
    transport.readInto(prefix);
    return bigEndian32(prefix);
}

// --- handshake ---

Bytes makeHello(const P256PrivateKey& key) {
    Bytes hello;
    hello.reserve(helloSize);
    hello.insert(hello.end(), magic.begin(), magic.end());
    hello.insert(hello.end(), key.publicX963().begin(), key.publicX963().end());
    const Bytes nonce = CXPCrypto::randomBytes(helloNonceSize);
    hello.insert(hello.end(), nonce.begin(), nonce.end());
    return hello;
}

// The length and the body as one write.
void writeMsg(Transport& transport, ByteView body) {
    Bytes message(4 + body.size());
    putBigEndian32(message.data(), static_cast<std::uint32_t>(body.size()));
    std::memcpy(message.data() + 4, body.data(), body.size());
    transport.write(message);
}

// Only a 101-byte hello is ever accepted; any other length is refused before a body byte is read.
Bytes readMsg(Transport& transport) {
    const std::uint32_t length = readLength(transport);
    if (length != helloSize) {
        throw CXPError::protocolError("hello com tamanho inesperado: " + std::to_string(length));
    }
    return transport.readExactly(helloSize);
}

// The shared secret with the peer's hello key, after checking the hello's form.
SecretBytes agree(const P256PrivateKey& own, const Bytes& peerHello) {
    if (peerHello.size() != helloSize || !std::equal(magic.begin(), magic.end(), peerHello.begin())) {
        throw CXPError::protocolError("handshake inválido");
    }
    try {
        return CXPCrypto::ecdh(own, ByteView(peerHello).subspan(keyOffset, keySize));
    } catch (const CryptoError&) {
        throw CXPError::protocolError("chave efêmera inválida");
    }
}

}  // namespace

SecureChannel::SecureChannel(std::shared_ptr<Transport> transport, bool isClient, SessionKeys keys,
                             Bytes transcript)
    : transport_(std::move(transport)),
      sendKey_(std::move(isClient ? keys.c2s : keys.s2c)),
      recvKey_(std::move(isClient ? keys.s2c : keys.c2s)),
      transcript_(std::move(transcript)),
      sasSeed_(std::move(keys.sasSeed)),
      isClient_(isClient),
      sendCipher_(sendKey_, true),
      recvCipher_(recvKey_, false) {}

std::unique_ptr<SecureChannel> SecureChannel::connectAsClient(std::shared_ptr<Transport> transport) {
    if (!transport) throw std::invalid_argument("SecureChannel: sem transporte");
    const P256PrivateKey key = P256PrivateKey::generate();
    const Bytes clientHello = makeHello(key);
    writeMsg(*transport, clientHello);
    const Bytes serverHello = readMsg(*transport);
    const SecretBytes shared = agree(key, serverHello);
    Bytes transcript = CXPCrypto::sha256({clientHello, serverHello});
    SessionKeys keys = deriveSession(shared, transcript);
    return std::unique_ptr<SecureChannel>(
        new SecureChannel(std::move(transport), true, std::move(keys), std::move(transcript)));
}

std::unique_ptr<SecureChannel> SecureChannel::acceptAsServer(std::shared_ptr<Transport> transport) {
    if (!transport) throw std::invalid_argument("SecureChannel: sem transporte");
    const Bytes clientHello = readMsg(*transport);
    const P256PrivateKey key = P256PrivateKey::generate();
    const Bytes serverHello = makeHello(key);
    writeMsg(*transport, serverHello);
    const SecretBytes shared = agree(key, clientHello);
    Bytes transcript = CXPCrypto::sha256({clientHello, serverHello});
    SessionKeys keys = deriveSession(shared, transcript);
    return std::unique_ptr<SecureChannel>(
        new SecureChannel(std::move(transport), false, std::move(keys), std::move(transcript)));
}

SecureChannel::SessionKeys SecureChannel::deriveSession(ByteView shared, ByteView transcript) {
    const SecretBytes okm = CXPCrypto::hkdf(shared, transcript, ascii("CXP1 keys"), 64);
    SessionKeys keys;
    keys.c2s.assign(okm.begin(), okm.begin() + 32);
    keys.s2c.assign(okm.begin() + 32, okm.end());
    keys.sasSeed = CXPCrypto::hkdf(shared, transcript, ascii("CXP1 sas seed"), 32);
    return keys;
}

std::array<std::uint8_t, 12> SecureChannel::recordNonce(std::uint64_t counter) {
    std::array<std::uint8_t, 12> nonce{};
    for (std::size_t i = 0; i < 8; ++i)
        nonce[11 - i] = static_cast<std::uint8_t>(counter >> (8 * i));
    return nonce;
}

// --- records ---

// Where sealed bytes go, a piece at a time. A piece is written only once more bytes need its room, so the
// last one is whole when end() writes it.
struct SecureChannel::Pieces {
    Transport& transport;
    std::uint8_t* piece;
    std::size_t size;
    std::size_t at = 0;

    // Room for at least `n` contiguous bytes (n <= size).
    std::uint8_t* room(std::size_t n) {
        if (size - at < n) next();
        return piece + at;
    }
    void put(ByteView bytes) {
        std::memcpy(room(bytes.size()), bytes.data(), bytes.size());
        at += bytes.size();
    }
    void seal(GcmStream& cipher, ByteView part) {
        while (!part.empty()) {
            const std::size_t n = std::min(part.size(), size - at);
            if (n == 0) {
                next();
                continue;
            }
            cipher.update(part.first(n), piece + at);
            at += n;
            part = part.subspan(n);
        }
    }
    void end() { transport.write(ByteView(piece, at)); }

  private:
    void next() {
        transport.write(ByteView(piece, at));
        at = 0;
    }
};

void SecureChannel::send(std::uint8_t channel, ByteView payload) {
    send(channel, ByteView(), payload);
}

void SecureChannel::send(std::uint8_t channel, ByteView head, ByteView body) {
    std::lock_guard lock(writeMutex_);
    sendLocked(channel, head, body, body.size(), 1);
}

void SecureChannel::sendChunks(std::uint8_t channel, ByteView head, ByteView body, std::size_t chunk) {
    if (chunk == 0) throw std::invalid_argument("SecureChannel: pedaço vazio");
    std::lock_guard lock(writeMutex_);
    sendLocked(channel, head, body, chunk, (body.size() + chunk - 1) / chunk);
}

void SecureChannel::sendLocked(std::uint8_t channel, ByteView head, ByteView body, std::size_t chunk,
                               std::size_t records) {
    throwIfFailed();
    if (records == 0) return;
    try {
        constexpr std::size_t largest = std::numeric_limits<std::uint32_t>::max() - minRecord;
        const std::size_t largestBody = std::min(chunk, body.size());
        if (head.size() > largest || largestBody > largest - head.size()) {
            // Its length could not be framed in 32 bits; nothing is sealed or written.
            throw CXPError::protocolError("registro grande demais: " +
                                          std::to_string(head.size() + largestBody));
        }
        // The length prefix, then the channel byte and the payload sealed straight behind it, a piece at a
        // time: each piece goes out while the cipher's output is still in cache, and the payload is read
        // once.
        const std::size_t wireSize = records * (4 + minRecord + head.size()) + body.size();
        const std::size_t pieceSize = std::min(wireSize, recordPiece);
        if (sendBuffer_.size() < pieceSize) sendBuffer_.resize(pieceSize);
        Pieces out{*transport_, sendBuffer_.data(), pieceSize};
        for (std::size_t i = 0; i < records; ++i) {
            const std::size_t from = std::min(i * chunk, body.size());
            sealRecord(out, channel, head, body.subspan(from, std::min(chunk, body.size() - from)));
        }
        out.end();
    } catch (...) {
        // Kept before the close, so the first failure is this one and not the closed transport a receive
        // blocked on another thread is about to report.
        latch(std::current_exception());
        transport_->close();
        throw;
    }
}

void SecureChannel::sealRecord(Pieces& out, std::uint8_t channel, ByteView head, ByteView body) {
    if (sendCounter_ == counterExhausted) throw CXPError::protocolError("contador de registros esgotado");
    std::uint8_t length[4];
    putBigEndian32(length, static_cast<std::uint32_t>(minRecord + head.size() + body.size()));
    out.put(ByteView(length));
    sendCipher_.start(recordNonce(sendCounter_));
    ++sendCounter_;  // from here on the nonce is spent, whatever happens
    const std::uint8_t channelByte[1] = {channel};
    out.seal(sendCipher_, ByteView(channelByte));
    out.seal(sendCipher_, head);
    out.seal(sendCipher_, body);
    sendCipher_.finishSeal(std::span<std::uint8_t, tagSize>(out.room(tagSize), tagSize));
    out.at += tagSize;
}

Frame SecureChannel::receive() {
    Frame frame;
    receive(frame);
    return frame;
}

void SecureChannel::receive(Frame& frame) {
    throwIfFailed();
    try {
        receiveRecord(frame);
    } catch (...) {
        latch(std::current_exception());
        throw;
    }
}

void SecureChannel::receiveRecord(Frame& frame) {
    const std::uint32_t length = readLength(*transport_);
    const std::uint32_t bound = preAuth_.load() ? preAuthBound : authBound;
    if (length < minRecord || length > bound) {
        throw CXPError::protocolError("registro inválido: " + std::to_string(length));
    }
    if (recvCounter_ == counterExhausted) throw CXPError::protocolError("contador de registros esgotado");
    // The channel byte apart, the rest of the record is read where its payload will stay and opened in
    // place, a piece at a time: each piece is opened while the socket copy has just left it in cache, and
    // there is no second buffer and no move over the channel byte.
    std::uint8_t sealedChannel[1];
    transport_->readInto(sealedChannel);
    frame.payload.resize(length - 1);
    const std::span<std::uint8_t> sealed(frame.payload);
    const std::size_t payloadSize = length - minRecord;
    const auto opening = [](auto&& step) {
        try {
            step();
        } catch (...) {
            throw CXPError::protocolError("falha de autenticação do registro");
        }
    };
    opening([&] {
        recvCipher_.start(recordNonce(recvCounter_));
        recvCipher_.update(ByteView(sealedChannel), &frame.channel);
    });
    for (std::size_t at = 0; at < sealed.size();) {
        const std::size_t n = std::min(sealed.size() - at, recordPiece);
        transport_->readInto(sealed.subspan(at, n));
        const std::size_t opened = std::min(at + n, payloadSize);
        if (opened > at)
            opening([&] { recvCipher_.update(sealed.subspan(at, opened - at), sealed.data() + at); });
        at += n;
    }
    opening([&] { recvCipher_.finishOpen(sealed.subspan(payloadSize)); });
    ++recvCounter_;
    frame.payload.resize(payloadSize);
}

void SecureChannel::throwIfFailed() const {
    if (failed_.load(std::memory_order_acquire)) std::rethrow_exception(failure_);
}

void SecureChannel::latch(std::exception_ptr error) noexcept {
    std::lock_guard lock(failMutex_);
    if (failed_.load(std::memory_order_relaxed)) return;
    failure_ = std::move(error);
    failed_.store(true, std::memory_order_release);
}

void SecureChannel::close() noexcept {
    transport_->close();
}

// --- pairing code ---

Bytes SecureChannel::sasCommit(ByteView transcript, ByteView nonceClient) {
    return CXPCrypto::sha256({ascii("CXP1-sas-commit"), transcript, nonceClient});
}

std::string SecureChannel::sasCode(ByteView seed, ByteView transcript, ByteView nonceClient,
                                   ByteView nonceServer) {
    Bytes info(ascii("CXP1 sas2").begin(), ascii("CXP1 sas2").end());
    info.insert(info.end(), nonceClient.begin(), nonceClient.end());
    info.insert(info.end(), nonceServer.begin(), nonceServer.end());
    const SecretBytes k = CXPCrypto::hkdf(seed, transcript, info, 4);
    // Unsigned all the way: read as a signed number, values from 2^31 up would give wrong codes.
    const std::uint32_t value = bigEndian32(k.data());
    char code[8];
    std::snprintf(code, sizeof code, "%06u", static_cast<unsigned>(value % 1000000u));
    return code;
}

std::string SecureChannel::pairingCode(ByteView nonceClient, ByteView nonceServer) const {
    return sasCode(sasSeed_, transcript_, nonceClient, nonceServer);
}

}  // namespace velmora
