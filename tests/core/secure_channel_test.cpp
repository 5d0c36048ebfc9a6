#include "core/channel/secure_channel.h"

#include <gtest/gtest.h>

#include "core/crypto/cxp_crypto.h"
#include "core/protocol/cxp_error.h"
#include "core/transport/tcp_transport.h"
#include "helpers.h"
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
using test::outcomeOf;

// Independently computed (Python "cryptography") from shared = 00 01 .. 1f and transcript =
// SHA-256("transcript").
const Bytes kShared = fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
const Bytes kTranscript = CXPCrypto::sha256(bytesOf("transcript"));
const Bytes kC2S = fromHex("9ccb6361932ecf1db2b178e68e7ae95538cbd3117a7a2dffdd7ff76cc8799755");
const Bytes kS2C = fromHex("6cf580dd1975a10ddfd964449680d50e2cf7fad8c4a765e001e0e46e0648ca32");
const Bytes kSeed = fromHex("9000788bc9f76d3eacd153d0d50c756702760aeaa1596855f171e5a09cac2090");

std::string protocol(const std::string& text) {
    return "protocolError: " + text;
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

// One end of a socketpair as the channel's transport, the other as the raw socket of the test's peer.
struct RawPeer {
    std::pair<UniqueFd, UniqueFd> ends = test::socketPair();
    std::shared_ptr<TcpTransport> transport = std::make_shared<TcpTransport>(std::move(ends.first));
    int fd() const { return ends.second.get(); }
    void send(ByteView bytes) { test::sendAll(fd(), bytes.data(), bytes.size()); }
    Bytes receive(std::size_t n) {
        Bytes out(n);
        EXPECT_EQ(::recv(fd(), out.data(), n, MSG_WAITALL), static_cast<ssize_t>(n));
        return out;
    }
    // What has reached the peer so far: the byte count, and "+EOF" once the channel's side has closed.
    std::string arrived() {
        std::uint8_t chunk[4096];
        for (std::size_t count = 0;;) {
            const ssize_t n = ::recv(fd(), chunk, sizeof chunk, MSG_DONTWAIT);
            if (n <= 0) return std::to_string(count) + (n == 0 ? "+EOF" : "");
            count += static_cast<std::size_t>(n);
        }
    }
};

// A record as the server would seal it with the known keys.
Bytes serverRecord(std::uint64_t counter, std::uint8_t channel, ByteView payload) {
    const Bytes sealed =
        CXPCrypto::seal(kS2C, SecureChannel::recordNonce(counter), concat({Bytes{channel}, payload}));
    return concat({be32(static_cast<std::uint32_t>(sealed.size())), sealed});
}

// A client channel with the known keys over a raw peer.
struct KnownKeyClient : RawPeer {
    std::unique_ptr<SecureChannel> channel =
        SecureChannelTestAccess::withKeys(transport, {kC2S, kS2C, kSeed});
};

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

TEST(SecureChannelHandshake, BothEndsAgreeOverHellosOfTheWireForm) {
    RawPeer toClient, toServer;
    auto server =
        std::async(std::launch::async, [&] { return SecureChannel::acceptAsServer(toServer.transport); });
    auto client =
        std::async(std::launch::async, [&] { return SecureChannel::connectAsClient(toClient.transport); });
    // The test relays the hellos, client first, and sees them on the wire.
    const Bytes clientHello = toClient.receive(105);
    toServer.send(clientHello);
    const Bytes serverHello = toServer.receive(105);
    toClient.send(serverHello);
    for (const Bytes& hello : {clientHello, serverHello})
        EXPECT_EQ(Bytes(hello.begin(), hello.begin() + 9), concat({be32(101), bytesOf("CXP1"), Bytes{0x04}}));
    const auto c = client.get(), s = server.get();
    EXPECT_EQ(c->transcript(),
              CXPCrypto::sha256({ByteView(clientHello).subspan(4), ByteView(serverHello).subspan(4)}));
    EXPECT_EQ(c->transcript(), s->transcript());
    EXPECT_EQ(c->sasSeed(), s->sasSeed());
    EXPECT_TRUE(c->preAuth() && s->preAuth());
    const Bytes nc = CXPCrypto::randomBytes(32), ns = CXPCrypto::randomBytes(32);
    EXPECT_EQ(c->pairingCode(nc, ns), s->pairingCode(nc, ns));
}

TEST(SecureChannelHandshake, BothRolesRefuseABadHello) {
    // Which key forms the agreement refuses is the crypto tests' subject; one refusal shows how it ends here.
    const Bytes key = concat({Bytes{0x04}, Bytes(64, 0x01), Bytes(32, 0)});
    const struct {
        Bytes wire;  // what the hostile peer sends as its hello
        std::string error;
        bool answered;  // the responder answers a whole hello before it examines it
    } cases[] = {
        {concat({be32(100), Bytes(100, 0)}), protocol("hello com tamanho inesperado: 100"), false},
        {concat({be32(102), Bytes(102, 0)}), protocol("hello com tamanho inesperado: 102"), false},
        {be32(0xFFFFFFFF), protocol("hello com tamanho inesperado: 4294967295"), false},
        {concat({be32(101), bytesOf("CXP2"), key}), protocol("handshake inválido"), true},
        {concat({be32(101), bytesOf("CXP1"), key}), protocol("chave efêmera inválida"), true},
        {concat({be32(101), bytesOf("CXP1")}), "closed", false},  // then end of stream
    };
    for (const bool asClient : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.error + (asClient ? " sent to the client" : " sent to the responder"));
            RawPeer raw;
            raw.send(c.wire);  // waits in the socket until the client has sent its own hello
            ::shutdown(raw.fd(), SHUT_WR);
            EXPECT_EQ(outcomeOf([&] {
                          if (asClient)
                              SecureChannel::connectAsClient(raw.transport);
                          else
                              SecureChannel::acceptAsServer(raw.transport);
                      }),
                      c.error);
            // The client speaks first. Closing is the caller's decision: no end of stream reached the peer.
            EXPECT_EQ(raw.arrived(), asClient || c.answered ? "105" : "0");
        }
    }
}

TEST(SecureChannelRecords, TheWireBytesOfARecordMatchAnIndependentVector) {
    KnownKeyClient c;
    c.channel->send(Ch::control, bytesOf("first"));
    c.channel->send(Ch::input, bytesOf("hello"));
    EXPECT_EQ(c.receive(4), be32(22));
    c.receive(22);
    // Record number 1 (nonce 0..01) of channel 3 with payload "hello", sealed by Python's AES-GCM.
    EXPECT_EQ(c.receive(26), concat({be32(22), fromHex("15628206c26c8477497d095471f2d0482862833660b9")}));
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
        EXPECT_EQ(outcomeOf([&] { k.channel->receive(); }),
                  protocol("registro inválido: " + std::to_string(c.length)));
        // Only the length was read: no body, no buffer sized by the hostile length.
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
    const std::string authFails = protocol("falha de autenticação do registro");
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
        {"end of stream mid-record", Bytes(r0.begin(), r0.begin() + 10), 0, "closed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        KnownKeyClient k;
        k.send(c.wire);
        ::shutdown(k.ends.second.get(), SHUT_WR);
        for (int i = 0; i < c.goodFirst; ++i)
            EXPECT_NO_THROW(k.channel->receive());
        EXPECT_EQ(outcomeOf([&] { k.channel->receive(); }), c.error);
    }
}

TEST(SecureChannelRecords, AFailedWriteOrACloseFromAnotherThreadEndsABlockedReceive) {
    for (const bool failedWrite : {true, false}) {
        SCOPED_TRACE(failedWrite ? "failed write" : "close");
        KnownKeyClient k;
        auto receiving = test::startBlockedCall([&] { return outcomeOf([&] { k.channel->receive(); }); });
        if (failedWrite) {
            ::shutdown(k.fd(), SHUT_RD);  // the peer reads no more: the next write fails
            EXPECT_NE(outcomeOf([&] { k.channel->send(Ch::control, bytesOf("x")); }), "no error");
        } else {
            k.channel->close();
        }
        ASSERT_EQ(receiving.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        EXPECT_EQ(receiving.get(), "closed");
        EXPECT_THROW(k.channel->send(Ch::control, bytesOf("late")), std::exception);
    }
}

TEST(SecureChannelRecords, ACounterAtItsLastValueFailsTheChannelInsteadOfReusingANonce) {
    KnownKeyClient k;
    const std::uint64_t last = std::numeric_limits<std::uint64_t>::max();
    SecureChannelTestAccess::setSendCounter(*k.channel, last - 1);
    k.channel->send(Ch::control, bytesOf("the last nonce"));
    EXPECT_EQ(outcomeOf([&] { k.channel->send(Ch::control, bytesOf("one too many")); }),
              protocol("contador de registros esgotado"));
    EXPECT_EQ(k.arrived(), std::to_string(4 + 1 + 14 + 16) + "+EOF");  // one record, then the close

    KnownKeyClient r;
    SecureChannelTestAccess::setRecvCounter(*r.channel, last);
    const Bytes record = serverRecord(last, Ch::control, bytesOf("x"));
    r.send(record);
    EXPECT_EQ(outcomeOf([&] { r.channel->receive(); }), protocol("contador de registros esgotado"));
    EXPECT_EQ(r.transport->readExactly(record.size() - 4),
              Bytes(record.begin() + 4, record.end()));  // unread
}

}  // namespace
}  // namespace velmora
