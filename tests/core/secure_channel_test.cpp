#include "core/channel/secure_channel.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "core/crypto/cxp_crypto.h"
#include "core/errors/friendly_errors.h"
#include "core/protocol/cxp_error.h"
#include "core/transport/tcp_transport.h"
#include "hex_bytes.h"
#include "loopback.h"
#include "tap_transport.h"

namespace velmora {

// Builds channels with chosen keys and counters, so a test can play a hostile peer that seals its own
// records.
struct SecureChannelTestAccess {
    static std::unique_ptr<SecureChannel> withKeys(std::shared_ptr<Transport> transport, bool isClient,
                                                   const SecureChannel::SessionKeys& keys) {
        return std::unique_ptr<SecureChannel>(
            new SecureChannel(std::move(transport), isClient, keys, Bytes(32)));
    }
    static void setSendCounter(SecureChannel& channel, std::uint64_t value) { channel.sendCounter_ = value; }
    static void setRecvCounter(SecureChannel& channel, std::uint64_t value) { channel.recvCounter_ = value; }
};

namespace {

using test::bytesOf;
using test::fromHex;
using test::TapTransport;

// Independently computed (Python "cryptography") from shared = 00 01 .. 1f and transcript =
// SHA-256("transcript").
const Bytes kShared = fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
const Bytes kTranscript = CXPCrypto::sha256(bytesOf("transcript"));
const Bytes kC2S = fromHex("9ccb6361932ecf1db2b178e68e7ae95538cbd3117a7a2dffdd7ff76cc8799755");
const Bytes kS2C = fromHex("6cf580dd1975a10ddfd964449680d50e2cf7fad8c4a765e001e0e46e0648ca32");
const Bytes kSeed = fromHex("9000788bc9f76d3eacd153d0d50c756702760aeaa1596855f171e5a09cac2090");

std::string protocolErrorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const CXPError& e) {
        if (e.kind() == CXPError::Kind::protocolError) return e.text();
        return std::string("CXPError ") + e.what();
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

// One end of a socketpair as the channel's transport (behind a tap), the other as a raw socket of the test.
struct RawPeer {
    std::shared_ptr<TcpTransport> transport;
    std::shared_ptr<TapTransport> tap;
    UniqueFd peer;

    RawPeer() {
        auto [mine, theirs] = test::socketPair();
        transport = std::make_shared<TcpTransport>(std::move(mine));
        tap = std::make_shared<TapTransport>(transport);
        peer = std::move(theirs);
    }
    void send(ByteView bytes) { test::sendAll(peer.get(), bytes.data(), bytes.size()); }
    Bytes receive(std::size_t n) {
        Bytes out(n);
        EXPECT_EQ(::recv(peer.get(), out.data(), n, MSG_WAITALL), static_cast<ssize_t>(n));
        return out;
    }
};

// A record as the server would seal it with the known keys.
Bytes serverRecord(std::uint64_t counter, std::uint8_t channel, ByteView payload) {
    const Bytes plaintext = concat({Bytes{channel}, payload});
    const Bytes sealed = CXPCrypto::seal(kS2C, SecureChannel::recordNonce(counter), plaintext);
    return concat({be32(static_cast<std::uint32_t>(sealed.size())), sealed});
}

// A client channel with the known keys over a raw peer.
struct KnownKeyClient : RawPeer {
    std::unique_ptr<SecureChannel> channel =
        SecureChannelTestAccess::withKeys(tap, true, {kC2S, kS2C, kSeed});
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

Pair socketpairChannels() {
    auto [a, b] = test::socketPair();
    return handshake(std::make_shared<TcpTransport>(std::move(a)),
                     std::make_shared<TcpTransport>(std::move(b)));
}

// A receive on its own thread; its result is the kind of CXPError it ended with.
std::future<CXPError::Kind> receiveInBackground(SecureChannel& channel) {
    return std::async(std::launch::async, [&channel] {
        try {
            channel.receive();
        } catch (const CXPError& e) {
            return e.kind();
        }
        ADD_FAILURE() << "receive ended without a CXPError";
        return CXPError::Kind::protocolError;
    });
}

// --- derivations ---

TEST(SecureChannelDerivation, KeyScheduleCodeAndCommitMatchIndependentVectors) {
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
}

TEST(SecureChannelDerivation, RecordNonceIsTheCounterBigEndianBehindFourZeroBytes) {
    using N = std::array<std::uint8_t, 12>;
    EXPECT_EQ(SecureChannel::recordNonce(0), N{});
    EXPECT_EQ(SecureChannel::recordNonce(1), (N{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(SecureChannel::recordNonce(std::uint64_t{1} << 32), (N{0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(SecureChannel::recordNonce(0x0102030405060708), (N{0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

// --- handshake ---

TEST(SecureChannelHandshake, BothEndsAgreeAndTheHellosHaveTheirWireForm) {
    auto [a, b] = test::socketPair();
    auto clientTap = std::make_shared<TapTransport>(std::make_shared<TcpTransport>(std::move(a)));
    auto serverTap = std::make_shared<TapTransport>(std::make_shared<TcpTransport>(std::move(b)));
    Pair p = handshake(clientTap, serverTap);

    const auto clientWrites = clientTap->writes();
    const auto serverWrites = serverTap->writes();
    ASSERT_EQ(clientWrites.size(), 1u);
    ASSERT_EQ(serverWrites.size(), 1u);
    for (const Bytes& hello : {clientWrites[0], serverWrites[0]}) {
        ASSERT_EQ(hello.size(), 105u);
        EXPECT_EQ(Bytes(hello.begin(), hello.begin() + 9), concat({be32(101), bytesOf("CXP1"), Bytes{0x04}}));
    }
    const ByteView clientHello = ByteView(clientWrites[0]).subspan(4);
    const ByteView serverHello = ByteView(serverWrites[0]).subspan(4);
    EXPECT_EQ(p.client->transcript(), CXPCrypto::sha256({clientHello, serverHello}));
    EXPECT_EQ(p.client->transcript(), p.server->transcript());
    EXPECT_EQ(p.client->sasSeed(), p.server->sasSeed());
    EXPECT_TRUE(p.client->preAuth());
    EXPECT_TRUE(p.server->preAuth());
    const Bytes nc = CXPCrypto::randomBytes(32), ns = CXPCrypto::randomBytes(32);
    EXPECT_EQ(p.client->pairingCode(nc, ns), p.server->pairingCode(nc, ns));
    EXPECT_EQ(p.client->pairingCode(nc, ns).size(), 6u);

    // Each side's send key is the other's receive key.
    p.client->send(Ch::control, bytesOf("{\"t\":\"auth\"}"));
    p.server->send(Ch::files, bytesOf("chunk"));
    EXPECT_EQ(p.server->receive(), (Frame{Ch::control, bytesOf("{\"t\":\"auth\"}")}));
    EXPECT_EQ(p.client->receive(), (Frame{Ch::files, bytesOf("chunk")}));
}

TEST(SecureChannelHandshake, OverRealLoopbackTcpWithLargeRecordsAfterAuthentication) {
    test::LoopbackListener listener;
    auto clientTransport = std::make_shared<TcpTransport>("127.0.0.1", listener.port());
    clientTransport->connect(5);
    auto serverTransport = std::make_shared<TcpTransport>(listener.accept());
    Pair p = handshake(clientTransport, serverTransport);
    p.client->setPreAuth(false);
    p.server->setPreAuth(false);

    Bytes big(SecureChannel::maxRecord - 1);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    auto sender = std::async(std::launch::async, [&] {
        p.server->send(Ch::video, big);
        p.server->send(Ch::audio, {});
    });
    EXPECT_EQ(p.client->receive(), (Frame{Ch::video, big}));
    EXPECT_EQ(p.client->receive(), (Frame{Ch::audio, {}}));
    sender.get();
    p.client->send(Ch::input, bytesOf("key"));
    EXPECT_EQ(p.server->receive(), (Frame{Ch::input, bytesOf("key")}));
}

struct HelloCase {
    const char* name;
    Bytes wire;  // what the hostile peer sends as its hello
    std::string error;
    std::vector<std::size_t> reads;  // what the channel may ask its transport for
};

std::vector<HelloCase> helloCases() {
    // Which key forms the agreement refuses is the crypto tests' subject; one refusal shows how it ends here.
    Bytes offCurve = concat({bytesOf("CXP1"), Bytes{0x04}, Bytes(64, 0x01), Bytes(32, 0)});
    Bytes badMagic = concat({bytesOf("CXP2"), Bytes{0x04}, Bytes(64, 0x01), Bytes(32, 0)});
    return {
        {"length 100", concat({be32(100), Bytes(100, 0)}), "hello com tamanho inesperado: 100", {4}},
        {"length 102", concat({be32(102), Bytes(102, 0)}), "hello com tamanho inesperado: 102", {4}},
        {"length 0", be32(0), "hello com tamanho inesperado: 0", {4}},
        {"length 2^32-1", be32(0xFFFFFFFF), "hello com tamanho inesperado: 4294967295", {4}},
        {"other magic", concat({be32(101), badMagic}), "handshake inválido", {4, 101}},
        {"key off the curve", concat({be32(101), offCurve}), "chave efêmera inválida", {4, 101}},
    };
}

TEST(SecureChannelHandshake, BothRolesRefuseABadHello) {
    for (const bool asClient : {true, false}) {
        for (const HelloCase& c : helloCases()) {
            SCOPED_TRACE(std::string(c.name) + (asClient ? " sent to the client" : " sent to the responder"));
            RawPeer raw;
            raw.send(c.wire);  // waits in the socket until the client has sent its own hello
            EXPECT_EQ(protocolErrorText([&] {
                          if (asClient)
                              SecureChannel::connectAsClient(raw.tap);
                          else
                              SecureChannel::acceptAsServer(raw.tap);
                      }),
                      c.error);
            EXPECT_EQ(raw.tap->reads(), c.reads);
            EXPECT_EQ(raw.tap->closes(), 0);  // closing is the caller's decision
            // The client speaks first; the responder answers a well-sized hello before it examines it.
            EXPECT_EQ(raw.tap->writes().size(), asClient || c.reads.size() == 2 ? 1u : 0u);
        }
    }
}

TEST(SecureChannelHandshake, APeerClosingMidHelloEndsItAsClosed) {
    RawPeer raw;
    raw.send(concat({be32(101), bytesOf("CXP1")}));
    ::shutdown(raw.peer.get(), SHUT_WR);
    try {
        SecureChannel::acceptAsServer(raw.tap);
        FAIL();
    } catch (const CXPError& e) {
        EXPECT_EQ(e.kind(), CXPError::Kind::closed);
        EXPECT_EQ(FriendlyErrors::text(e), FriendlyErrors::dropped());
    }
}

// --- records ---

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

struct LengthCase {
    bool preAuth;
    std::uint32_t length;
    bool accepted;
};

TEST(SecureChannelRecords, LengthsAreCheckedAgainstTheStateBoundBeforeTheBodyIsRead) {
    const std::vector<LengthCase> cases = {
        {true, 0, false},     {true, 16, false},         {true, 17, true},        {true, 65552, true},
        {true, 65553, false}, {true, 0xFFFFFFFF, false}, {false, 16, false},      {false, 17, true},
        {false, 65553, true}, {false, 4194320, true},    {false, 4194321, false}, {false, 0x80000000, false},
    };
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.length) + (c.preAuth ? " before auth" : " after auth"));
        KnownKeyClient k;
        k.channel->setPreAuth(c.preAuth);
        if (c.accepted) {
            const Bytes payload(c.length - 17, 0x42);
            std::thread writer([&] { k.send(serverRecord(0, Ch::video, payload)); });
            const Frame frame = k.channel->receive();
            writer.join();
            EXPECT_EQ(frame.channel, Ch::video);
            EXPECT_EQ(frame.payload.size(), payload.size());
            continue;
        }
        const Bytes marker = bytesOf("untouched");
        k.send(concat({be32(c.length), marker}));
        const std::string error = protocolErrorText([&] { k.channel->receive(); });
        EXPECT_EQ(error, "registro inválido: " + std::to_string(c.length));
        EXPECT_EQ(FriendlyErrors::text(CXPError::protocolError(error)), FriendlyErrors::protocolProblem());
        // Only the length was asked for: no body read, no buffer sized by the hostile length.
        EXPECT_EQ(k.tap->reads(), std::vector<std::size_t>{4});
        EXPECT_EQ(k.transport->readExactly(marker.size()), marker);
    }
}

TEST(SecureChannelRecords, AnyChannelNumberAndAnEmptyPayloadReachTheCaller) {
    KnownKeyClient k;
    k.send(concat({serverRecord(0, 9, bytesOf("x")), serverRecord(1, 255, {})}));
    EXPECT_EQ(k.channel->receive(), (Frame{9, bytesOf("x")}));
    EXPECT_EQ(k.channel->receive(), (Frame{255, {}}));
}

TEST(SecureChannelRecords, ReplayedReorderedDroppedOrAlteredRecordsFailAuthentication) {
    const Bytes r0 = serverRecord(0, Ch::control, bytesOf("zero"));
    const Bytes r1 = serverRecord(1, Ch::control, bytesOf("one"));
    auto flipped = [&](std::size_t at) {
        Bytes r = r0;
        r[at] ^= 0x01;
        return r;
    };
    Bytes cutTag = r0;
    cutTag.pop_back();
    cutTag[3] -= 1;  // a consistent length for the shortened body
    struct Case {
        const char* name;
        Bytes wire;
        int goodFirst;  // records received before the bad one
    };
    const std::vector<Case> cases = {
        {"replayed", concat({r0, r0}), 1},
        {"reordered", concat({r1, r0}), 0},
        {"dropped", r1, 0},
        {"flipped channel byte", flipped(4), 0},
        {"flipped payload", flipped(6), 0},
        {"flipped tag", flipped(r0.size() - 1), 0},
        {"tag cut short", cutTag, 0},
        {"wrong direction's key",
         [] {
             const Bytes sealed = CXPCrypto::seal(kC2S, SecureChannel::recordNonce(0), Bytes{0, 1});
             return concat({be32(static_cast<std::uint32_t>(sealed.size())), sealed});
         }(),
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KnownKeyClient k;
        k.send(c.wire);
        for (int i = 0; i < c.goodFirst; ++i)
            EXPECT_NO_THROW(k.channel->receive());
        EXPECT_EQ(protocolErrorText([&] { k.channel->receive(); }), "falha de autenticação do registro");
    }
}

TEST(SecureChannelRecords, APeerClosingMidRecordEndsTheReceiveAsClosed) {
    KnownKeyClient k;
    const Bytes r0 = serverRecord(0, Ch::control, Bytes(100, 1));
    k.send(ByteView(r0).first(60));
    k.peer.reset();
    try {
        k.channel->receive();
        FAIL();
    } catch (const CXPError& e) {
        EXPECT_EQ(e.kind(), CXPError::Kind::closed);
    }
}

TEST(SecureChannelRecords, TwoThreadsSendingAtOnceProduceWholeRecordsInCounterOrder) {
    Pair p = socketpairChannels();
    constexpr int perThread = 300;
    auto sendFrom = [&](std::uint8_t channel) {
        for (int i = 0; i < perThread; ++i) {
            Bytes payload(static_cast<std::size_t>(i * 37 % 3000), channel);
            payload.push_back(static_cast<std::uint8_t>(i));
            p.client->send(channel, payload);
        }
    };
    std::thread a(sendFrom, Ch::files), b(sendFrom, Ch::input);
    // Every record opening proves it arrived whole and with the next counter value.
    int next[256] = {};
    for (int n = 0; n < 2 * perThread; ++n) {
        const Frame f = p.server->receive();
        ASSERT_FALSE(f.payload.empty());
        EXPECT_EQ(f.payload.back(), static_cast<std::uint8_t>(next[f.channel]++));
    }
    a.join();
    b.join();
    EXPECT_EQ(next[Ch::files], perThread);
    EXPECT_EQ(next[Ch::input], perThread);
}

TEST(SecureChannelRecords, AFailedWriteClosesTheTransportSoABlockedReceiveEnds) {
    KnownKeyClient k;
    auto receiving = receiveInBackground(*k.channel);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    k.tap->setFailWrites(true);
    EXPECT_THROW(k.channel->send(Ch::control, bytesOf("x")), std::runtime_error);
    EXPECT_EQ(k.tap->closes(), 1);
    ASSERT_EQ(receiving.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(receiving.get(), CXPError::Kind::closed);
}

TEST(SecureChannelRecords, CloseFromAnotherThreadEndsABlockedReceive) {
    Pair p = socketpairChannels();
    auto receiving = receiveInBackground(*p.client);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    p.client->close();
    ASSERT_EQ(receiving.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(receiving.get(), CXPError::Kind::closed);
    EXPECT_THROW(p.client->send(Ch::control, bytesOf("late")), CXPError);
}

TEST(SecureChannelRecords, ACounterAtItsLastValueFailsTheChannelInsteadOfReusingANonce) {
    KnownKeyClient k;
    const std::uint64_t last = std::numeric_limits<std::uint64_t>::max();
    SecureChannelTestAccess::setSendCounter(*k.channel, last - 1);
    k.channel->send(Ch::control, bytesOf("the last nonce"));
    EXPECT_EQ(protocolErrorText([&] { k.channel->send(Ch::control, bytesOf("one too many")); }),
              "contador de registros esgotado");
    EXPECT_EQ(k.tap->writes().size(), 1u);
    EXPECT_EQ(k.tap->closes(), 1);

    KnownKeyClient r;
    SecureChannelTestAccess::setRecvCounter(*r.channel, last);
    r.send(serverRecord(last, Ch::control, bytesOf("x")));
    EXPECT_EQ(protocolErrorText([&] { r.channel->receive(); }), "contador de registros esgotado");
    EXPECT_EQ(r.tap->reads(), std::vector<std::size_t>{4});
}

}  // namespace
}  // namespace velmora
