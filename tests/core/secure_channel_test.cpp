#include "core/channel/secure_channel.h"

#include <gtest/gtest.h>

#include <mutex>

#include "core/crypto/cxp_crypto.h"
#include "core/errors/friendly_errors.h"
#include "core/protocol/cxp_error.h"
#include "core/transport/tcp_transport.h"
#include "hex_bytes.h"
#include "loopback.h"

namespace velmora {

// Builds channels with chosen keys and counters, so a test can play a hostile peer that seals its own
// records.
struct SecureChannelTestAccess {
    static std::unique_ptr<SecureChannel> withKeys(std::shared_ptr<Transport> transport,
                                                   const SecureChannel::SessionKeys& keys) {
        return std::unique_ptr<SecureChannel>(new SecureChannel(std::move(transport), true, keys, Bytes(32)));
    }
    static void setSendCounter(SecureChannel& channel, std::uint64_t value) { channel.sendCounter_ = value; }
    static void setRecvCounter(SecureChannel& channel, std::uint64_t value) { channel.recvCounter_ = value; }
};

namespace {

using test::bytesOf;
using test::fromHex;

// Independently computed (Python "cryptography") from shared = 00 01 .. 1f and transcript =
// SHA-256("transcript").
const Bytes kShared = fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
const Bytes kTranscript = CXPCrypto::sha256(bytesOf("transcript"));
const Bytes kC2S = fromHex("9ccb6361932ecf1db2b178e68e7ae95538cbd3117a7a2dffdd7ff76cc8799755");
const Bytes kS2C = fromHex("6cf580dd1975a10ddfd964449680d50e2cf7fad8c4a765e001e0e46e0648ca32");
const Bytes kSeed = fromHex("9000788bc9f76d3eacd153d0d50c756702760aeaa1596855f171e5a09cac2090");

// The text of a protocol error, "CXPError <kind>" for another kind, or "no error".
std::string errorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const CXPError& e) {
        return e.kind() == CXPError::Kind::protocolError ? e.text() : std::string("CXPError ") + e.what();
    } catch (const std::exception& e) {
        return std::string("other: ") + e.what();
    }
    return "no error";
}

Bytes be32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

Bytes concat(std::initializer_list<ByteView> parts) {
    Bytes out;
    for (ByteView p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A transport in front of another that records the size of every read, the bytes of every write and the
// closes; writes can be made to fail.
class TapTransport final : public Transport {
    template <typename F>
    auto locked(F f) {
        std::lock_guard lock(mutex_);
        return f();
    }

  public:
    explicit TapTransport(std::shared_ptr<Transport> inner) : inner_(std::move(inner)) {}
    Bytes readExactly(std::size_t n) override {
        locked([&] { reads_.push_back(n); });
        return inner_->readExactly(n);
    }
    void write(ByteView data) override {
        const bool fail = locked([&] {
            writes_.emplace_back(data.begin(), data.end());
            return failWrites_;
        });
        if (fail) throw std::runtime_error("escrita recusada pelo teste");
        inner_->write(data);
    }
    void close() noexcept override {
        locked([&] { ++closes_; });
        inner_->close();
    }
    void failWrites() {
        locked([&] { failWrites_ = true; });
    }
    std::vector<std::size_t> reads() {
        return locked([&] { return reads_; });
    }
    std::vector<Bytes> writes() {
        return locked([&] { return writes_; });
    }
    int closes() {
        return locked([&] { return closes_; });
    }

  private:
    std::shared_ptr<Transport> inner_;
    std::mutex mutex_;  // guards everything below
    std::vector<std::size_t> reads_;
    std::vector<Bytes> writes_;
    bool failWrites_ = false;
    int closes_ = 0;
};

// One end of a socketpair as the channel's transport (behind a tap), the other as a raw socket of the test.
struct RawPeer {
    std::pair<UniqueFd, UniqueFd> ends = test::socketPair();
    std::shared_ptr<TcpTransport> transport = std::make_shared<TcpTransport>(std::move(ends.first));
    std::shared_ptr<TapTransport> tap = std::make_shared<TapTransport>(transport);
    void send(ByteView bytes) { test::sendAll(ends.second.get(), bytes.data(), bytes.size()); }
};

// A record as the server would seal it with the known keys.
Bytes serverRecord(std::uint64_t counter, std::uint8_t channel, ByteView payload) {
    const Bytes sealed =
        CXPCrypto::seal(kS2C, SecureChannel::recordNonce(counter), concat({Bytes{channel}, payload}));
    return concat({be32(static_cast<std::uint32_t>(sealed.size())), sealed});
}

// A client channel with the known keys over a raw peer.
struct KnownKeyClient : RawPeer {
    std::unique_ptr<SecureChannel> channel = SecureChannelTestAccess::withKeys(tap, {kC2S, kS2C, kSeed});
};

struct Pair {
    std::unique_ptr<SecureChannel> client;
    std::unique_ptr<SecureChannel> server;
};

Pair handshake(std::shared_ptr<Transport> clientSide, std::shared_ptr<Transport> serverSide) {
    auto server =
        std::async(std::launch::async, [serverSide] { return SecureChannel::acceptAsServer(serverSide); });
    auto client = SecureChannel::connectAsClient(clientSide);
    return {std::move(client), server.get()};
}

TEST(SecureChannelDerivation, KeyScheduleCodeCommitAndNonceMatchIndependentVectors) {
    const auto keys = SecureChannel::deriveSession(kShared, kTranscript);
    EXPECT_EQ(keys.c2s, kC2S);
    EXPECT_EQ(keys.s2c, kS2C);
    EXPECT_EQ(keys.sasSeed, kSeed);

    const Bytes ncA(32, 0xa5), ns(32, 0x5a);
    // The 32-bit value here is 2549960281, above 2^31: read as signed it would give a wrong code.
    EXPECT_EQ(SecureChannel::sasCode(kSeed, kTranscript, ncA, ns), "960281");
    Bytes ncZeros(32, 0);
    ncZeros[30] = 0x05;
    ncZeros[31] = 0xe5;  // 1509: a value whose code keeps three leading zeros
    EXPECT_EQ(SecureChannel::sasCode(kSeed, kTranscript, ncZeros, ns), "000360");
    EXPECT_EQ(SecureChannel::sasCommit(kTranscript, ncA),
              fromHex("c7a9e0904a552ece3760a286304657de50e682597aa647e28511e853462ed5fe"));

    using N = std::array<std::uint8_t, 12>;
    EXPECT_EQ(SecureChannel::recordNonce(std::uint64_t{1} << 32), (N{0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(SecureChannel::recordNonce(0x0102030405060708), (N{0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(SecureChannelHandshake, BothEndsAgreeAndTheHellosHaveTheirWireForm) {
    auto [a, b] = test::socketPair();
    auto clientTap = std::make_shared<TapTransport>(std::make_shared<TcpTransport>(std::move(a)));
    auto serverTap = std::make_shared<TapTransport>(std::make_shared<TcpTransport>(std::move(b)));
    Pair p = handshake(clientTap, serverTap);

    const Bytes clientHello = clientTap->writes().at(0), serverHello = serverTap->writes().at(0);
    EXPECT_EQ(clientTap->writes().size() + serverTap->writes().size(), 2u);
    for (const Bytes& hello : {clientHello, serverHello}) {
        ASSERT_EQ(hello.size(), 105u);
        EXPECT_EQ(Bytes(hello.begin(), hello.begin() + 9), concat({be32(101), bytesOf("CXP1"), Bytes{0x04}}));
    }
    EXPECT_EQ(p.client->transcript(),
              CXPCrypto::sha256({ByteView(clientHello).subspan(4), ByteView(serverHello).subspan(4)}));
    EXPECT_EQ(p.client->transcript(), p.server->transcript());
    EXPECT_EQ(p.client->sasSeed(), p.server->sasSeed());
    EXPECT_TRUE(p.client->preAuth() && p.server->preAuth());
    const Bytes nc = CXPCrypto::randomBytes(32), ns = CXPCrypto::randomBytes(32);
    EXPECT_EQ(p.client->pairingCode(nc, ns), p.server->pairingCode(nc, ns));

    // Each side's send key is the other's receive key.
    p.client->send(Ch::control, bytesOf("{\"t\":\"auth\"}"));
    p.server->send(Ch::files, bytesOf("chunk"));
    EXPECT_EQ(p.server->receive(), (Frame{Ch::control, bytesOf("{\"t\":\"auth\"}")}));
    EXPECT_EQ(p.client->receive(), (Frame{Ch::files, bytesOf("chunk")}));
}

TEST(SecureChannelHandshake, BothRolesRefuseABadHello) {
    // Which key forms the agreement refuses is the crypto tests' subject; one refusal shows how it ends here.
    const Bytes key = concat({Bytes{0x04}, Bytes(64, 0x01), Bytes(32, 0)});
    const struct {
        Bytes wire;  // what the hostile peer sends as its hello
        std::string error;
        std::vector<std::size_t> reads;  // what the channel may ask its transport for
        bool answered;                   // the responder answers a whole hello before it examines it
    } cases[] = {
        {concat({be32(100), Bytes(100, 0)}), "hello com tamanho inesperado: 100", {4}, false},
        {concat({be32(102), Bytes(102, 0)}), "hello com tamanho inesperado: 102", {4}, false},
        {be32(0xFFFFFFFF), "hello com tamanho inesperado: 4294967295", {4}, false},
        {concat({be32(101), bytesOf("CXP2"), key}), "handshake inválido", {4, 101}, true},
        {concat({be32(101), bytesOf("CXP1"), key}), "chave efêmera inválida", {4, 101}, true},
        {concat({be32(101), bytesOf("CXP1")}), "CXPError closed", {4, 101}, false},  // then end of stream
    };
    for (const bool asClient : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.error + (asClient ? " sent to the client" : " sent to the responder"));
            RawPeer raw;
            raw.send(c.wire);  // waits in the socket until the client has sent its own hello
            ::shutdown(raw.ends.second.get(), SHUT_WR);
            EXPECT_EQ(errorText([&] {
                          if (asClient)
                              SecureChannel::connectAsClient(raw.tap);
                          else
                              SecureChannel::acceptAsServer(raw.tap);
                      }),
                      c.error);
            EXPECT_EQ(raw.tap->reads(), c.reads);
            EXPECT_EQ(raw.tap->closes(), 0);  // closing is the caller's decision
            EXPECT_EQ(raw.tap->writes().size(), asClient || c.answered ? 1u : 0u);  // the client speaks first
        }
    }
}

TEST(SecureChannelRecords, TheWireBytesOfARecordMatchAnIndependentVector) {
    KnownKeyClient c;
    c.channel->send(Ch::control, bytesOf("first"));
    c.channel->send(Ch::input, bytesOf("hello"));
    const auto writes = c.tap->writes();
    ASSERT_EQ(writes.size(), 2u);
    // Record number 1 (nonce 0..01) of channel 3 with payload "hello", sealed by Python's AES-GCM.
    EXPECT_EQ(writes[1], concat({be32(22), fromHex("15628206c26c8477497d095471f2d0482862833660b9")}));
    EXPECT_EQ(writes[0].size(), 4u + 1 + 5 + 16);
}

TEST(SecureChannelRecords, LengthsAreCheckedAgainstTheStateBoundBeforeTheBodyIsRead) {
    const struct {
        bool preAuth;
        std::uint32_t length;
        bool accepted;
    } cases[] = {
        {true, 16, false},    {true, 17, true},          {true, 65552, true},
        {true, 65553, false}, {true, 0xFFFFFFFF, false}, {false, 16, false},
        {false, 65553, true}, {false, 4194320, true},    {false, 4194321, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.length) + (c.preAuth ? " before auth" : " after auth"));
        KnownKeyClient k;
        k.channel->setPreAuth(c.preAuth);
        if (c.accepted) {
            // Any channel number reaches the caller, and the smallest record carries an empty payload.
            const Bytes payload(c.length - 17, 0x42);
            std::thread writer([&] { k.send(serverRecord(0, 255, payload)); });
            EXPECT_EQ(k.channel->receive(), (Frame{255, payload}));
            writer.join();
            continue;
        }
        const Bytes marker = bytesOf("untouched");
        k.send(concat({be32(c.length), marker}));
        const std::string error = errorText([&] { k.channel->receive(); });
        EXPECT_EQ(error, "registro inválido: " + std::to_string(c.length));
        EXPECT_EQ(FriendlyErrors::text(CXPError::protocolError(error)), FriendlyErrors::protocolProblem());
        // Only the length was asked for: no body read, no buffer sized by the hostile length.
        EXPECT_EQ(k.tap->reads(), std::vector<std::size_t>{4});
        EXPECT_EQ(k.transport->readExactly(marker.size()), marker);
    }
}

TEST(SecureChannelRecords, ReplayedReorderedDroppedAlteredOrCutRecordsFail) {
    const Bytes r0 = serverRecord(0, Ch::control, bytesOf("zero"));
    const Bytes r1 = serverRecord(1, Ch::control, bytesOf("one"));
    Bytes flipped = r0, cutTag = r0;
    flipped[6] ^= 0x01;
    cutTag.pop_back();
    cutTag[3] -= 1;  // a consistent length for the shortened body
    const Bytes sealed = CXPCrypto::seal(kC2S, SecureChannel::recordNonce(0), Bytes{0, 1});
    const Bytes otherDirection = concat({be32(static_cast<std::uint32_t>(sealed.size())), sealed});
    const std::string authFails = "falha de autenticação do registro";
    const struct {
        const char* name;
        Bytes wire;
        int goodFirst;  // records received before the bad one
        std::string error;
    } cases[] = {
        {"replayed", concat({r0, r0}), 1, authFails},
        {"reordered", concat({r1, r0}), 0, authFails},
        {"dropped", r1, 0, authFails},
        {"flipped payload", flipped, 0, authFails},
        {"tag cut short", cutTag, 0, authFails},
        {"wrong direction's key", otherDirection, 0, authFails},
        {"end of stream mid-record", Bytes(r0.begin(), r0.begin() + 10), 0, "CXPError closed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KnownKeyClient k;
        k.send(c.wire);
        ::shutdown(k.ends.second.get(), SHUT_WR);
        for (int i = 0; i < c.goodFirst; ++i)
            EXPECT_NO_THROW(k.channel->receive());
        EXPECT_EQ(errorText([&] { k.channel->receive(); }), c.error);
    }
}

TEST(SecureChannelRecords, TwoThreadsSendingAtOnceProduceWholeRecordsInCounterOrder) {
    auto [a, b] = test::socketPair();
    Pair p =
        handshake(std::make_shared<TcpTransport>(std::move(a)), std::make_shared<TcpTransport>(std::move(b)));
    constexpr int perThread = 300;
    auto sendFrom = [&](std::uint8_t channel) {
        for (int i = 0; i < perThread; ++i) {
            Bytes payload(static_cast<std::size_t>(i * 37 % 3000), channel);
            payload.push_back(static_cast<std::uint8_t>(i));
            p.client->send(channel, payload);
        }
    };
    std::thread first(sendFrom, Ch::files), second(sendFrom, Ch::input);
    // Every record opening proves it arrived whole and with the next counter value.
    int next[256] = {};
    for (int n = 0; n < 2 * perThread; ++n) {
        const Frame f = p.server->receive();
        ASSERT_FALSE(f.payload.empty());
        EXPECT_EQ(f.payload.back(), static_cast<std::uint8_t>(next[f.channel]++));
    }
    first.join();
    second.join();
    EXPECT_EQ(next[Ch::files], perThread);
    EXPECT_EQ(next[Ch::input], perThread);
}

TEST(SecureChannelRecords, AFailedWriteOrACloseFromAnotherThreadEndsABlockedReceive) {
    for (const bool failedWrite : {true, false}) {
        SCOPED_TRACE(failedWrite ? "failed write" : "close");
        KnownKeyClient k;
        auto receiving = test::startBlockedCall([&] { return errorText([&] { k.channel->receive(); }); });
        if (failedWrite) {
            k.tap->failWrites();
            EXPECT_THROW(k.channel->send(Ch::control, bytesOf("x")), std::runtime_error);
        } else {
            k.channel->close();
        }
        EXPECT_EQ(k.tap->closes(), 1);
        ASSERT_EQ(receiving.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        EXPECT_EQ(receiving.get(), "CXPError closed");
        EXPECT_THROW(k.channel->send(Ch::control, bytesOf("late")), std::exception);
    }
}

TEST(SecureChannelRecords, ACounterAtItsLastValueFailsTheChannelInsteadOfReusingANonce) {
    KnownKeyClient k;
    const std::uint64_t last = std::numeric_limits<std::uint64_t>::max();
    SecureChannelTestAccess::setSendCounter(*k.channel, last - 1);
    k.channel->send(Ch::control, bytesOf("the last nonce"));
    EXPECT_EQ(errorText([&] { k.channel->send(Ch::control, bytesOf("one too many")); }),
              "contador de registros esgotado");
    EXPECT_EQ(k.tap->writes().size(), 1u);
    EXPECT_EQ(k.tap->closes(), 1);

    KnownKeyClient r;
    SecureChannelTestAccess::setRecvCounter(*r.channel, last);
    r.send(serverRecord(last, Ch::control, bytesOf("x")));
    EXPECT_EQ(errorText([&] { r.channel->receive(); }), "contador de registros esgotado");
    EXPECT_EQ(r.tap->reads(), std::vector<std::size_t>{4});
}

}  // namespace
}  // namespace velmora
