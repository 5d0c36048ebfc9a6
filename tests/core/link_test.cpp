#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>

#include <algorithm>

#include "core/channel/secure_channel.h"
#include "core/crypto/cxp_crypto.h"
#include "core/errors/cxp_error.h"
#include "core/session/link_session.h"
#include "core/transport/tcp_transport.h"
#include "helpers.h"
#include "loopback.h"
#include "support/wait_until.h"

namespace velmora {

// Channels with chosen keys and counters, so that a test can play a hostile peer that seals its own records.
struct SecureChannelTestAccess {
    static std::unique_ptr<SecureChannel> withKeys(std::shared_ptr<Transport> transport,
                                                   const SecureChannel::SessionKeys& keys) {
        return std::unique_ptr<SecureChannel>(new SecureChannel(std::move(transport), true, keys, Bytes(32)));
    }
    static void setSendCounter(SecureChannel& channel, std::uint64_t value) { channel.sendCounter_ = value; }
    static void setRecvCounter(SecureChannel& channel, std::uint64_t value) { channel.recvCounter_ = value; }
};

namespace {

using test::outcomeOf;
using Lines = std::vector<std::string>;

// State lines logged on the test's own thread. A literal address needs no resolver: the tests give none.
void logInto(TcpTransport& transport, Lines& lines) {
    transport.setStateLog([&lines](const std::string& line) { lines.push_back(line); });
}

std::vector<SocketAddress> loopbackAt(std::initializer_list<std::uint16_t> ports) {
    std::vector<SocketAddress> out;
    for (std::uint16_t port : ports)
        out.push_back(*numericAddress("127.0.0.1", port));
    return out;
}

// A resolver that blocks until the test ends, like a lookup stuck on an unanswering DNS server.
struct HangingResolver {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    ~HangingResolver() { release.set_value(); }
    Resolver resolver() const {
        return [r = released](const std::string&, std::uint16_t) {
            r.wait();
            return std::vector<SocketAddress>{};
        };
    }
};

// Backlog 0 with one connection parked in the queue: the kernel drops every further request, so a connect
// hangs in its handshake exactly like a phone that does not answer.
struct FullListener {
    test::LoopbackListener listener{0};
    UniqueFd parked = test::connectLoopback(listener.port());
};

// A connected transport and the raw peer socket of the test.
struct ConnectedPair {
    test::LoopbackListener listener;
    TcpTransport transport{"127.0.0.1", listener.port(), Resolver{}};
    UniqueFd peer = (transport.connect(60), listener.accept());
    void send(const Bytes& bytes) { test::sendAll(peer.get(), bytes.data(), bytes.size()); }
};

TEST(TcpTransport, ConnectsToALiteralWithoutTheResolverWithTheLinksSocketOptions) {
    ConnectedPair c;
    Lines lines;
    logInto(c.transport, lines);
    const auto option = [fd = c.transport.descriptor()](int level, int name) {
        int value = -1;
        socklen_t length = sizeof value;
        EXPECT_EQ(::getsockopt(fd, level, name, &value, &length), 0);
        return value;
    };
    EXPECT_TRUE(option(IPPROTO_TCP, TCP_NODELAY) == 1 && option(SOL_SOCKET, SO_KEEPALIVE) == 1);
    // A phone that vanished is noticed within half a minute of silence.
    EXPECT_LE(option(IPPROTO_TCP, TCP_KEEPIDLE) +
                  option(IPPROTO_TCP, TCP_KEEPCNT) * option(IPPROTO_TCP, TCP_KEEPINTVL),
              30);
    c.transport.close();
    c.transport.close();
    EXPECT_EQ(lines, Lines{"conexão de rede: cancelled"});
}

TEST(TcpTransport, ARefusalIsFinalButTheNextAddressOfANameIsTried) {
    test::RefusingPort refusing;
    Lines lines;
    TcpTransport transport("127.0.0.1", refusing.port(), Resolver{});
    logInto(transport, lines);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(outcomeOf([&] { transport.connect(60); }), "ECONNREFUSED");
    // Far from the 60 s deadline: the refusal ended the attempt, no retry.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find("waiting(erro de rede ECONNREFUSED"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2], "conexão de rede: cancelled");
    EXPECT_EQ(outcomeOf([&] { transport.readExactly(1); }), "closed");
    EXPECT_EQ(outcomeOf([&] { transport.connect(1); }), "closed");

    test::LoopbackListener listener;
    TcpTransport named("phone.example", 9, [&](const std::string&, std::uint16_t) {
        return loopbackAt({refusing.port(), listener.port()});
    });
    named.connect(60);
    EXPECT_NO_THROW(listener.accept());
}

TEST(TcpTransport, ALookupFailureIsRetriedAndLoggedOnce) {
    test::LoopbackListener listener;
    int calls = 0;
    Lines lines;
    TcpTransport transport("phone.example", 9, [&](const std::string&, std::uint16_t) {
        if (++calls < 3) throw NetError::dns(EAI_NONAME);
        return loopbackAt({listener.port()});
    });
    logInto(transport, lines);
    transport.connect(60);
    EXPECT_EQ(calls, 3);
    ASSERT_EQ(lines.size(), 3u);  // the same failure twice is one state
    EXPECT_NE(lines[1].find("EAI_NONAME"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2], "conexão de rede: ready");
}

TEST(TcpTransport, TheDeadlineBoundsAHandshakeAndALookupThatNeverEnd) {
    FullListener full;
    HangingResolver hanging;
    TcpTransport handshake("127.0.0.1", full.listener.port(), Resolver{});
    TcpTransport lookup("slow.example", 9, hanging.resolver());
    for (TcpTransport* t : {&handshake, &lookup}) {
        Lines lines;
        logInto(*t, lines);
        EXPECT_EQ(outcomeOf([&] { t->connect(0.3); }), "timedOut");
        EXPECT_EQ(lines.back(), "conexão de rede: cancelled");
    }
}

TEST(TcpTransport, CloseFromAnotherThreadEndsEveryBlockedCall) {
    FullListener full;
    HangingResolver hanging;
    TcpTransport connecting("127.0.0.1", full.listener.port(), Resolver{});
    TcpTransport resolving("slow.example", 9, hanging.resolver());
    ConnectedPair reading, writing;
    const Bytes big(64 * 1024 * 1024, 0x5A);  // the peer never reads: the socket buffers fill
    const std::pair<TcpTransport*, std::function<void()>> cases[] = {
        {&connecting, [&] { connecting.connect(60); }},
        {&resolving, [&] { resolving.connect(60); }},
        {&reading.transport, [&] { reading.transport.readExactly(4); }},
        {&writing.transport, [&] { writing.transport.write(big); }},
    };
    for (const auto& [transport, call] : cases) {
        auto result = test::startBlockedCall([&call] { return outcomeOf(call); });
        transport->close();
        ASSERT_EQ(result.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        EXPECT_EQ(result.get(), "closed");
    }
    // The descriptor stays reserved until the transport dies: the number is still this socket.
    EXPECT_GE(reading.transport.descriptor(), 0);
    EXPECT_EQ(outcomeOf([&] { reading.transport.write(Bytes{1}); }), "closed");
}

TEST(TcpTransport, APeerThatClosesKeepsWhatArrivedAndAResetIsADroppedConnection) {
    for (const bool reset : {false, true}) {
        ConnectedPair c;
        Lines lines;
        logInto(c.transport, lines);
        linger hard{1, 0};  // close with RST instead of FIN
        if (reset) ::setsockopt(c.peer.get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        c.send(Bytes{1, 2, 3, 4, 5});
        c.peer.reset();
        if (!reset) {
            EXPECT_EQ(outcomeOf([&] { c.transport.readExactly(20); }), "closed");
            EXPECT_EQ(c.transport.readExactly(2), (Bytes{1, 2}));  // nothing that arrived is lost
            EXPECT_EQ(c.transport.readExactly(3), (Bytes{3, 4, 5}));
            continue;
        }
        const std::string error = outcomeOf([&] { c.transport.readExactly(20); });
        EXPECT_TRUE(error == "ECONNRESET" || error == "EPIPE") << error;
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("conexão de rede: failed(erro de rede " + error), std::string::npos)
            << lines[0];
    }
}

// Reads of record-like sizes (a length, a channel byte, a body) take the stream's bytes in order however
// the peer's writes cut it, whether the bytes land in the caller's span or wait as surplus for the next read.
TEST(TcpTransport, ReadsOfAnySizeTakeTheStreamInOrderWhateverItsWritesAre) {
    Bytes stream(400000);
    for (std::size_t i = 0; i < stream.size(); ++i)
        stream[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
    const std::size_t reads[] = {4, 1, 65555, 4, 1, 65555, 3, 131072, 70000, 1, 65536};
    for (const std::size_t writeSize : {std::size_t{1000}, std::size_t{65536}, stream.size()}) {
        SCOPED_TRACE(writeSize);
        auto [mine, theirs] = test::socketPair();
        TcpTransport transport(std::move(mine));
        std::thread writer([&, fd = theirs.get()] {
            for (std::size_t at = 0; at < stream.size(); at += writeSize)
                test::sendAll(fd, stream.data() + at, std::min(writeSize, stream.size() - at));
        });
        std::size_t at = 0;
        for (const std::size_t n : reads) {
            Bytes got(n);
            transport.readInto(got);
            ASSERT_EQ(got, Bytes(stream.begin() + static_cast<std::ptrdiff_t>(at),
                                 stream.begin() + static_cast<std::ptrdiff_t>(at + n)))
                << "read of " << n << " at " << at;
            at += n;
        }
        EXPECT_EQ(transport.readExactly(stream.size() - at),
                  Bytes(stream.begin() + static_cast<std::ptrdiff_t>(at), stream.end()));
        writer.join();
    }
}

TEST(TcpTransport, AnAdoptedSocketpairBlocksForDataAndTheDestructorReleasesIt) {
    auto [mine, theirs] = test::socketPair();
    // Even a socket handed over non-blocking gets blocking reads: this one waits for bytes sent later.
    ::fcntl(mine.get(), F_SETFL, ::fcntl(mine.get(), F_GETFL) | O_NONBLOCK);
    {
        TcpTransport transport(std::move(mine));
        transport.write(Bytes{9, 8, 7});
        auto reading = test::startBlockedCall([&] { return transport.readExactly(2); });
        test::sendAll(theirs.get(), "ab", 2);
        EXPECT_EQ(reading.get(), (Bytes{'a', 'b'}));
    }
    std::uint8_t got[4];
    EXPECT_EQ(::recv(theirs.get(), got, 4, MSG_WAITALL), 3);
    // The transport is gone and with it the other end: end of stream, not a hang.
    EXPECT_EQ(::recv(theirs.get(), got, 1, 0), 0);
}

using test::bytesOf;
using test::fromHex;

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

SecretBytes secret(const Bytes& bytes) {
    return SecretBytes(bytes.begin(), bytes.end());
}

// A client channel with the known keys over a raw peer.
struct KnownKeyClient : RawPeer {
    std::unique_ptr<SecureChannel> channel =
        SecureChannelTestAccess::withKeys(transport, {secret(kC2S), secret(kS2C), secret(kSeed)});
};

TEST(SecureChannelDerivation, KeyScheduleCodeCommitAndNonceMatchIndependentVectors) {
    const auto keys = SecureChannel::deriveSession(kShared, kTranscript);
    EXPECT_EQ(keys.c2s, secret(kC2S));
    EXPECT_EQ(keys.s2c, secret(kS2C));
    EXPECT_EQ(keys.sasSeed, secret(kSeed));

    const Bytes ncA(32, 0xa5), ns(32, 0x5a);
    // The 32-bit value here is 2549960281, above 2^31: read as signed it would give a wrong code.
    EXPECT_EQ(SecureChannel::sasCode(kSeed, kTranscript, ncA, ns), "960281");
    const Bytes ncZeros = fromHex(std::string(60, '0') + "05e5");  // 1509: a code with three leading zeros
    EXPECT_EQ(SecureChannel::sasCode(kSeed, kTranscript, ncZeros, ns), "000360");
    EXPECT_EQ(SecureChannel::sasCommit(kTranscript, ncA),
              fromHex("c7a9e0904a552ece3760a286304657de50e682597aa647e28511e853462ed5fe"));

    using N = std::array<std::uint8_t, 12>;
    EXPECT_EQ(SecureChannel::recordNonce(std::uint64_t{1} << 32), (N{0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(SecureChannel::recordNonce(0x0102030405060708), (N{0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

// Each release of secret storage as the allocator reports it, the bytes still readable: its size, and
// whether every byte was zero by then. Released on the test's thread only.
using Wipes = std::vector<std::pair<std::size_t, bool>>;
Wipes wipes;

TEST(SecretBytes, KeyMaterialReadsZeroWhenGrowthOrItsOwnerReleasesIt) {
    setWipeObserver([](const std::uint8_t* bytes, std::size_t size) {
        wipes.emplace_back(size, std::all_of(bytes, bytes + size, [](std::uint8_t b) { return b == 0; }));
    });
    std::size_t grown = 0;
    {
        SecretBytes key(40, 0xAB);
        key.push_back(1);  // moves to a larger buffer
        grown = key.capacity();
        EXPECT_EQ(std::exchange(wipes, {}), (Wipes{{40, true}}));
    }
    EXPECT_EQ(std::exchange(wipes, {}), (Wipes{{grown, true}}));
    {
        const auto keys = SecureChannel::deriveSession(kShared, kTranscript);
        EXPECT_EQ(std::exchange(wipes, {}), (Wipes{{64, true}}));  // the HKDF output the keys were cut from
        const KnownKeyClient k;
        wipes.clear();
    }
    EXPECT_EQ(wipes, Wipes(6, {32, true}));  // the channel's keys and seed, then the derived ones
    setWipeObserver(nullptr);
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

// Records leave in pieces and arrive opened where they were read; on the wire each is still one seal of the
// channel byte and the payload, whatever the payload's size against the pieces.
TEST(SecureChannelRecords, LargeRecordsAreOneSealOnTheWireBothWays) {
    KnownKeyClient c;
    c.channel->setPreAuth(false);
    std::uint64_t counter = 0;
    // Empty, one byte; a record of one piece less a byte, one piece, one piece and a byte on the wire; the
    // same around two pieces; 1 MiB; the largest record.
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{131051}, std::size_t{131052},
                                   std::size_t{131053}, std::size_t{262122}, std::size_t{262123},
                                   std::size_t{262124}, std::size_t{1} << 20, std::size_t{4194303}}) {
        SCOPED_TRACE(size);
        Bytes payload(size);
        for (std::size_t i = 0; i < size; ++i)
            payload[i] = static_cast<std::uint8_t>(i * 7 + size);
        const std::size_t split = size / 3;  // an id before the data, as file chunks are sent
        std::thread sender([&] {
            c.channel->send(Ch::files, ByteView(payload).first(split), ByteView(payload).subspan(split));
        });
        const Bytes sealed =
            CXPCrypto::seal(kC2S, SecureChannel::recordNonce(counter), concat({Bytes{Ch::files}, payload}));
        EXPECT_EQ(c.receive(4 + sealed.size()),
                  concat({be32(static_cast<std::uint32_t>(sealed.size())), sealed}));
        sender.join();

        std::thread writer([&] { c.send(serverRecord(counter, Ch::video, payload)); });
        EXPECT_EQ(c.channel->receive(), (Frame{Ch::video, payload}));
        writer.join();
        ++counter;
    }
}

TEST(SecureChannelRecords, LengthsAreCheckedAgainstTheStateBoundBeforeTheBodyIsRead) {
    // Before authentication, then after: the largest record of each state, and one byte more.
    const std::tuple<bool, std::uint32_t, bool> cases[] = {
        {true, 16, false},  {true, 17, true},   {true, 65552, true},    {true, 65553, false},
        {true, ~0u, false}, {false, 16, false}, {false, 4194320, true}, {false, 4194321, false}};
    for (const auto& [preAuth, length, accepted] : cases) {
        SCOPED_TRACE(std::to_string(length) + (preAuth ? " before auth" : " after auth"));
        KnownKeyClient k;
        k.channel->setPreAuth(preAuth);
        if (accepted) {
            // Any channel number reaches the caller, and the smallest record carries an empty payload.
            const Bytes payload(length - 17, 0x42);
            std::thread writer([&] { k.send(serverRecord(0, 255, payload)); });
            EXPECT_EQ(k.channel->receive(), (Frame{255, payload}));
            writer.join();
            continue;
        }
        k.send(concat({be32(length), bytesOf("untouched")}));
        EXPECT_EQ(outcomeOf([&] { k.channel->receive(); }),
                  protocol("registro inválido: " + std::to_string(length)));
        // Only the length was read: no body, no buffer sized by the hostile length.
        EXPECT_EQ(k.transport->readExactly(9), bytesOf("untouched"));
    }
}

TEST(SecureChannelRecords, ReplayedReorderedCutOrReflectedRecordsFail) {
    const Bytes r0 = serverRecord(0, Ch::control, bytesOf("zero"));
    const Bytes r1 = serverRecord(1, Ch::control, bytesOf("one"));
    Bytes cutTag = r0;
    cutTag.pop_back();
    cutTag[3] -= 1;  // a consistent length for the shortened body
    const Bytes sealed = CXPCrypto::seal(kC2S, SecureChannel::recordNonce(0), Bytes{0, 1});
    const Bytes otherDirection = concat({be32(static_cast<std::uint32_t>(sealed.size())), sealed});
    const std::string authFails = protocol("falha de autenticação do registro");
    // Replayed, reordered, cut short, sealed for the other direction, ended mid-record.
    const std::tuple<Bytes, bool, std::string> cases[] = {
        {concat({r0, r0}), true, authFails},
        {concat({r1, r0}), false, authFails},
        {cutTag, false, authFails},
        {otherDirection, false, authFails},
        {Bytes(r0.begin(), r0.begin() + 10), false, "closed"}};
    for (const auto& [wire, oneGoodFirst, error] : cases) {
        KnownKeyClient k;
        k.send(wire);
        ::shutdown(k.fd(), SHUT_WR);
        if (oneGoodFirst) k.channel->receive();
        EXPECT_EQ(outcomeOf([&] { k.channel->receive(); }), error) << CXPCrypto::hex(wire);
        // The counters are out of step now: the failure is final, for sends too.
        EXPECT_EQ(outcomeOf([&] { k.channel->send(Ch::control, bytesOf("x")); }), error);
        EXPECT_EQ(k.arrived(), "0");
    }
}

// A close from another thread ending a blocked receive is the end-to-end tests' subject; here, a failed send:
// a small record, and large ones whose write fails many pieces in.
TEST(SecureChannelRecords, AFailedWriteClosesTheTransportSoABlockedReceiveEnds) {
    for (const std::size_t size : {std::size_t{1}, std::size_t{1} << 20, std::size_t{4194303}}) {
        SCOPED_TRACE(size);
        KnownKeyClient k;
        k.channel->setPreAuth(false);
        auto receiving = test::startBlockedCall([&] { return outcomeOf([&] { k.channel->receive(); }); });
        ::shutdown(k.fd(), SHUT_RD);  // the peer reads no more: the next write fails
        EXPECT_EQ(outcomeOf([&] { k.channel->send(Ch::video, Bytes(size, 3)); }), "EPIPE");
        ASSERT_EQ(receiving.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        EXPECT_EQ(receiving.get(), "closed");
        // The first failure is final: later calls give it again, not the closed transport's error.
        EXPECT_EQ(outcomeOf([&] { k.channel->send(Ch::control, bytesOf("late")); }), "EPIPE");
        EXPECT_EQ(outcomeOf([&] { k.channel->receive(); }), "EPIPE");
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

// A record's wire bytes sealed the way the peer would, for the channel's own direction.
Bytes clientRecord(std::uint64_t counter, std::uint8_t channel, ByteView payload) {
    const Bytes sealed =
        CXPCrypto::seal(kC2S, SecureChannel::recordNonce(counter), concat({Bytes{channel}, payload}));
    return concat({be32(static_cast<std::uint32_t>(sealed.size())), sealed});
}

Bytes pattern(std::size_t size, std::uint8_t seed) {
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(i * 13 + seed + (i >> 16));
    return out;
}

// The bytes waiting in a socket's receive queue.
int queued(int fd) {
    int n = -1;
    ::ioctl(fd, FIONREAD, &n);
    return n;
}

// A run of records from one call carries the bytes of one send() per chunk, and the counter goes on after it.
TEST(SecureChannelRecords, ChunkedSendsAreTheWireBytesOfOneSendPerChunk) {
    const std::size_t kib64 = 65536;
    const struct {
        std::size_t body, chunk, records;
    } cases[] = {
        {0, kib64, 0},         {1, kib64, 1},         {kib64, kib64, 1},
        {kib64 + 1, kib64, 2}, {1 << 20, kib64, 16},  {(1 << 20) + 5, kib64, 17},
        {300000, 7, 42858},    {4194303, 4194303, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.body) + " in chunks of " + std::to_string(c.chunk));
        KnownKeyClient k;
        k.channel->setPreAuth(false);
        const Bytes body = pattern(c.body, 3);
        const Bytes head{0, 0, 0, 7};
        Bytes expected;
        std::uint64_t counter = 0;
        for (std::size_t at = 0; at < c.body; at += c.chunk, ++counter) {
            const ByteView part = ByteView(body).subspan(at, std::min(c.chunk, c.body - at));
            const Bytes record = clientRecord(counter, Ch::files, concat({head, part}));
            expected.insert(expected.end(), record.begin(), record.end());
        }
        EXPECT_EQ(counter, c.records);
        const Bytes last = clientRecord(counter, Ch::control, bytesOf("after"));
        expected.insert(expected.end(), last.begin(), last.end());
        std::thread sender([&] {
            k.channel->sendChunks(Ch::files, head, body, c.chunk);
            k.channel->send(Ch::control, bytesOf("after"));
        });
        EXPECT_EQ(k.receive(expected.size()), expected);
        sender.join();
    }
    KnownKeyClient k;
    EXPECT_EQ(outcomeOf([&] { k.channel->sendChunks(Ch::files, Bytes{}, Bytes(9), 0); }),
              "SecureChannel: pedaço vazio");
    k.channel->send(Ch::control, bytesOf("x"));  // the refused call failed nothing
    EXPECT_EQ(k.receive(4 + 1 + 1 + 16), clientRecord(0, Ch::control, bytesOf("x")));
}

// A large record that goes wrong on the way in, read ahead of its opening: the error is the first one,
// final, and no byte after the record is taken.
TEST(SecureChannelRecords, ALargeRecordSpoiledOrCutMidwayFailsOnceAndForAll) {
    const Bytes payload = pattern(1 << 20, 5);
    const Bytes good = serverRecord(0, Ch::video, payload);
    const Bytes next = serverRecord(1, Ch::control, bytesOf("next"));
    const std::string authFails = protocol("falha de autenticação do registro");
    const struct {
        std::string what;
        std::size_t flipAt;  // the byte changed, or 0 for none
        std::size_t cutAt;   // where the peer closes, or 0 for not at all
        std::string error;
    } cases[] = {
        {"a byte in the middle of the body", good.size() / 2, 0, authFails},
        {"the first byte of the body", 5, 0, authFails},
        {"the last byte of the tag", good.size() - 1, 0, authFails},
        {"cut one byte into the body", 0, 6, "closed"},
        {"cut at a piece boundary", 0, 5 + 131072, "closed"},
        {"cut one byte past it", 0, 5 + 131073, "closed"},
        {"cut in the middle", 0, good.size() / 2, "closed"},
        {"cut before the last tag byte", 0, good.size() - 1, "closed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        KnownKeyClient k;
        k.channel->setPreAuth(false);
        Bytes wire = good;
        if (c.flipAt) wire[c.flipAt] ^= 0x40;
        if (c.cutAt) wire.resize(c.cutAt);
        std::thread writer([&] {
            k.send(wire);
            if (c.cutAt)
                ::shutdown(k.fd(), SHUT_WR);
            else
                k.send(next);
        });
        EXPECT_EQ(outcomeOf([&] { k.channel->receive(); }), c.error);
        writer.join();
        EXPECT_EQ(outcomeOf([&] { k.channel->receive(); }), c.error);
        EXPECT_EQ(outcomeOf([&] { k.channel->send(Ch::control, bytesOf("x")); }), c.error);
        if (!c.cutAt) {
            EXPECT_EQ(k.transport->readExactly(next.size()), next);  // untouched
        }
    }
}

// close() from another thread while a large record is half way out or half way in: the call ends with the
// closed transport as its error, which stays the channel's, and nothing hangs.
TEST(SecureChannelRecords, ACloseEndsALargeSendOrReceiveInFlight) {
    {
        KnownKeyClient k;  // the peer reads nothing: 4 MiB cannot fit in the socket's buffers
        k.channel->setPreAuth(false);
        auto sending = std::async(std::launch::async, [&] {
            return outcomeOf([&] { k.channel->send(Ch::video, Bytes(4194303, 1)); });
        });
        ASSERT_TRUE(test::waitUntil([&] { return queued(k.fd()) > 0; }));
        k.channel->close();
        ASSERT_EQ(sending.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        EXPECT_EQ(sending.get(), "closed");
        EXPECT_EQ(outcomeOf([&] { k.channel->send(Ch::control, bytesOf("late")); }), "closed");
    }
    {
        KnownKeyClient k;
        k.channel->setPreAuth(false);
        const Bytes record = serverRecord(0, Ch::video, Bytes(4194303, 2));
        auto receiving =
            std::async(std::launch::async, [&] { return outcomeOf([&] { k.channel->receive(); }); });
        k.send(ByteView(record).first(record.size() / 2));
        // Once the channel has taken all that came, the rest of the record is awaited.
        ASSERT_TRUE(test::waitUntil([&] { return queued(k.transport->descriptor()) == 0; }));
        k.channel->close();
        ASSERT_EQ(receiving.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        EXPECT_EQ(receiving.get(), "closed");
        EXPECT_EQ(outcomeOf([&] { k.channel->receive(); }), "closed");
    }
}

// One Frame reused by a receive loop: each record replaces the one before whatever their sizes, and a
// failed one leaves the channel failed.
TEST(SecureChannelRecords, OneFrameTakesRecordsOfAnySizeInTurn) {
    KnownKeyClient k;
    k.channel->setPreAuth(false);
    const std::size_t sizes[] = {1 << 20, 3, 0, 300000, 65536, 65536, 4194303, 10};
    std::thread writer([&] {
        std::uint64_t counter = 0;
        for (const std::size_t size : sizes)
            k.send(serverRecord(counter++, static_cast<std::uint8_t>(size % 251), pattern(size, 9)));
        k.send(concat({be32(100), Bytes(100, 0)}));  // a forged record to end on
    });
    Frame frame;
    for (const std::size_t size : sizes) {
        SCOPED_TRACE(size);
        k.channel->receive(frame);
        EXPECT_EQ(frame, (Frame{static_cast<std::uint8_t>(size % 251), pattern(size, 9)}));
    }
    EXPECT_EQ(outcomeOf([&] { k.channel->receive(frame); }), protocol("falha de autenticação do registro"));
    EXPECT_EQ(outcomeOf([&] { k.channel->receive(); }), protocol("falha de autenticação do registro"));
    writer.join();
}

// Several threads send small and large records and runs of them at once; the other side opens every record
// in counter order, and each thread's records arrive whole and in the order it sent them.
TEST(SecureChannelRecords, RecordsFromManyThreadsArriveWholeAndInCounterOrder) {
    RawPeer wire;
    const auto sender =
        SecureChannelTestAccess::withKeys(wire.transport, {secret(kC2S), secret(kS2C), secret(kSeed)});
    // The test's end: a client whose receive key is the sender's send key.
    const auto peerTransport = std::make_shared<TcpTransport>(std::move(wire.ends.second));
    const auto receiver =
        SecureChannelTestAccess::withKeys(peerTransport, {secret(kS2C), secret(kC2S), secret(kSeed)});
    sender->setPreAuth(false);
    receiver->setPreAuth(false);
    constexpr int kThreads = 3, kEach = 12;
    const std::size_t sizes[] = {10, 300000, 1 << 20, 70000};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                const Bytes body = pattern(sizes[i % 4], static_cast<std::uint8_t>(t * 31 + i));
                const Bytes head{static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(i)};
                if (i % 4 == 3)
                    sender->sendChunks(static_cast<std::uint8_t>(t), head, body, 65536);
                else
                    sender->send(static_cast<std::uint8_t>(t), head, body);
            }
        });
    }
    int next[kThreads] = {};
    std::size_t chunkAt[kThreads] = {};
    const auto allIn = [&] {
        return std::all_of(std::begin(next), std::end(next), [](int n) { return n == kEach; });
    };
    while (!allIn()) {
        const Frame frame = receiver->receive();
        ASSERT_LT(frame.channel, kThreads);
        const int t = frame.channel;
        const int i = next[t];
        ASSERT_EQ(frame.payload.at(0), t);
        ASSERT_EQ(frame.payload.at(1), i);
        const Bytes body = pattern(sizes[i % 4], static_cast<std::uint8_t>(t * 31 + i));
        // A run of records (every fourth send: 70000 bytes) arrives as 65536 bytes, then the rest.
        const std::size_t n =
            i % 4 == 3 ? std::min<std::size_t>(65536, body.size() - chunkAt[t]) : body.size();
        EXPECT_EQ(Bytes(frame.payload.begin() + 2, frame.payload.end()),
                  Bytes(body.begin() + static_cast<std::ptrdiff_t>(chunkAt[t]),
                        body.begin() + static_cast<std::ptrdiff_t>(chunkAt[t] + n)));
        chunkAt[t] += n;
        if (chunkAt[t] == body.size()) {
            chunkAt[t] = 0;
            ++next[t];
        }
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(std::vector<int>(std::begin(next), std::end(next)), std::vector<int>(kThreads, kEach));
}

// The simulated phone signs with the same helper, so the end-to-end tests cannot catch a wrong layout here;
// these are the bytes the companion app signs and checks ("CXP1-auth", role, transcript).
TEST(LinkSessionAuth, SignedBytesAreTheLabelTheRoleAndTheTranscript) {
    EXPECT_EQ(LinkSession::authSignedBytes(LinkSession::roleComputer, Bytes(32, 0xAB)),
              concat({bytesOf("CXP1-auth"), Bytes{1}, Bytes(32, 0xAB)}));
    EXPECT_EQ(LinkSession::authSignedBytes(LinkSession::rolePhone, Bytes{0x00, 0xFF}),
              fromHex("435850312d617574680200ff"));
}

}  // namespace
}  // namespace velmora
