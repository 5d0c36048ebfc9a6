#include "core/transport/tcp_transport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sched.h>

#include <atomic>
#include <mutex>

#include "core/errors/friendly_errors.h"
#include "core/errors/net_error.h"
#include "core/protocol/cxp_error.h"
#include "loopback.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

// The state lines of a transport, collected from whichever thread logs them.
struct StateLines {
    std::mutex mutex;
    Lines lines;
    void attach(TcpTransport& t) {
        t.setStateLog([this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        });
    }
    Lines snapshot() {
        std::lock_guard lock(mutex);
        return lines;
    }
};

Resolver resolverThatMustNotRun() {
    return [](const std::string& host, std::uint16_t) -> std::vector<SocketAddress> {
        ADD_FAILURE() << "resolver asked for " << host;
        throw NetError::dns(EAI_FAIL);
    };
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

CXPError::Kind cxpKindOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CXPError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "no CXPError thrown";
    return CXPError::Kind::protocolError;
}

int sockOption(int fd, int level, int name) {
    int value = -1;
    socklen_t length = sizeof value;
    EXPECT_EQ(::getsockopt(fd, level, name, &value, &length), 0);
    return value;
}

Bytes pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 31 + i / 251);
    return b;
}

// A connected transport and the raw peer socket of the test.
struct ConnectedPair {
    test::LoopbackListener listener;
    TcpTransport transport{"127.0.0.1", listener.port(), resolverThatMustNotRun()};
    UniqueFd peer;
    ConnectedPair() {
        transport.connect(60);
        peer = listener.accept();
    }
};

TEST(TcpTransport, ConnectsToALiteralWithoutTheResolverAndSetsSocketOptions) {
    ConnectedPair c;
    StateLines log;
    log.attach(c.transport);
    const int fd = c.transport.descriptor();
    EXPECT_EQ(sockOption(fd, IPPROTO_TCP, TCP_NODELAY), 1);
    EXPECT_EQ(sockOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(sockOption(fd, IPPROTO_TCP, TCP_KEEPIDLE), 10);
    EXPECT_EQ(sockOption(fd, IPPROTO_TCP, TCP_KEEPINTVL), 5);
    EXPECT_EQ(sockOption(fd, IPPROTO_TCP, TCP_KEEPCNT), 3);
    c.transport.close();
    c.transport.close();
    EXPECT_EQ(log.snapshot(), Lines{"conexão de rede: cancelled"});
}

TEST(TcpTransport, ARefusalIsFinalButTheNextAddressOfANameIsTried) {
    test::RefusingPort refusing;
    StateLines log;
    TcpTransport transport("127.0.0.1", refusing.port(), resolverThatMustNotRun());
    log.attach(transport);
    const auto started = std::chrono::steady_clock::now();
    try {
        transport.connect(60);
        FAIL() << "connected to a port nobody listens on";
    } catch (const NetError& e) {
        EXPECT_EQ(e.code(), ECONNREFUSED);
        EXPECT_EQ(FriendlyErrors::text(e), FriendlyErrors::refused());
    }
    // Far from the 60 s deadline: the refusal ended the attempt, no retry.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    const Lines lines = log.snapshot();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find("waiting(erro de rede ECONNREFUSED"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2], "conexão de rede: cancelled");
    EXPECT_EQ(cxpKindOf([&] { transport.readExactly(1); }), CXPError::Kind::closed);
    EXPECT_EQ(cxpKindOf([&] { transport.connect(1); }), CXPError::Kind::closed);

    test::LoopbackListener listener;
    TcpTransport named("phone.example", 9, [&](const std::string&, std::uint16_t) {
        return std::vector<SocketAddress>{*numericAddress("127.0.0.1", refusing.port()),
                                          *numericAddress("127.0.0.1", listener.port())};
    });
    named.connect(60);
    EXPECT_NO_THROW(listener.accept());
}

TEST(TcpTransport, ALookupFailureIsRetriedAndLoggedOnce) {
    test::LoopbackListener listener;
    std::atomic<int> calls{0};
    StateLines log;
    TcpTransport transport("phone.example", 9, [&](const std::string&, std::uint16_t) {
        if (++calls < 3) throw NetError::dns(EAI_NONAME);
        return std::vector<SocketAddress>{*numericAddress("127.0.0.1", listener.port())};
    });
    log.attach(transport);
    transport.connect(60);
    EXPECT_EQ(calls.load(), 3);
    const Lines lines = log.snapshot();
    ASSERT_EQ(lines.size(), 3u);  // the same failure twice is one state
    EXPECT_NE(lines[1].find("EAI_NONAME"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2], "conexão de rede: ready");
}

TEST(TcpTransport, TheDeadlineBoundsAHandshakeAndALookupThatNeverEnd) {
    // Backlog 0 with one connection parked in the queue: the kernel drops every further request, so the
    // next connect hangs in its handshake exactly like a phone that does not answer.
    test::LoopbackListener full(0);
    UniqueFd parked = test::connectLoopback(full.port());
    HangingResolver hanging;
    TcpTransport handshake("127.0.0.1", full.port(), resolverThatMustNotRun());
    TcpTransport lookup("slow.example", 9, hanging.resolver());
    for (TcpTransport* t : {&handshake, &lookup}) {
        StateLines log;
        log.attach(*t);
        EXPECT_EQ(cxpKindOf([&] { t->connect(0.3); }), CXPError::Kind::timedOut);
        EXPECT_EQ(log.snapshot().back(), "conexão de rede: cancelled");
    }
}

TEST(TcpTransport, CloseFromAnotherThreadEndsEveryBlockedCall) {
    test::LoopbackListener full(0);
    UniqueFd parked = test::connectLoopback(full.port());
    HangingResolver hanging;
    TcpTransport connecting("127.0.0.1", full.port(), resolverThatMustNotRun());
    TcpTransport resolving("slow.example", 9, hanging.resolver());
    ConnectedPair reading, writing;
    const Bytes big = pattern(64 * 1024 * 1024);  // the peer never reads: the socket buffers fill
    const std::pair<TcpTransport*, std::function<void()>> cases[] = {
        {&connecting, [&] { connecting.connect(60); }},
        {&resolving, [&] { resolving.connect(60); }},
        {&reading.transport, [&] { reading.transport.readExactly(4); }},
        {&writing.transport, [&] { writing.transport.write(big); }},
    };
    for (const auto& [transport, call] : cases) {
        auto result = test::startBlockedCall([&call] { return cxpKindOf(call); });
        transport->close();
        ASSERT_EQ(result.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        EXPECT_EQ(result.get(), CXPError::Kind::closed);
    }
    // The descriptor stays reserved until the transport dies: the number is still this socket.
    EXPECT_GE(reading.transport.descriptor(), 0);
    EXPECT_EQ(cxpKindOf([&] { reading.transport.write(Bytes{1}); }), CXPError::Kind::closed);
}

TEST(TcpTransport, AnUnreachableNetworkEndsTheAttemptAtOnce) {
    // Inside a network namespace of its own, made by this thread only, there is no route anywhere (not even
    // loopback is up), so the kernel answers ENETUNREACH without a packet leaving.
    std::string result;
    std::thread([&] {
        if (::unshare(CLONE_NEWNET) != 0) return;
        try {
            TcpTransport("10.1.2.3", 9, resolverThatMustNotRun()).connect(60);
            result = "connected";
        } catch (const NetError& e) {
            const bool ok =
                e.code() == ENETUNREACH && FriendlyErrors::text(e) == FriendlyErrors::unreachable();
            result = ok ? "unreachable" : e.what();
        } catch (const std::exception& e) {
            result = e.what();
        }
    }).join();
    if (result.empty()) GTEST_SKIP() << "no permission to make a network namespace";
    EXPECT_EQ(result, "unreachable");
}

TEST(TcpTransport, ReadsOfAnySizeArriveWholeInOrderAndKeepTheSurplus) {
    ConnectedPair c;
    const Bytes sent = pattern(3 * 1024 * 1024 + 17);
    std::thread writer([&] {
        test::sendAll(c.peer.get(), sent.data(), sent.size());
        ::shutdown(c.peer.get(), SHUT_WR);
    });
    Bytes got;
    for (std::size_t size : {4, 0, 1024 * 1024, 65535, 65536, 1, 1000}) {
        const Bytes part = c.transport.readExactly(size);
        got.insert(got.end(), part.begin(), part.end());
    }
    const Bytes rest = c.transport.readExactly(sent.size() - got.size());
    got.insert(got.end(), rest.begin(), rest.end());
    writer.join();
    EXPECT_EQ(got, sent);
    EXPECT_EQ(cxpKindOf([&] { c.transport.readExactly(1); }), CXPError::Kind::closed);
}

TEST(TcpTransport, APeerClosingMidReadGivesClosedAndKeepsWhatArrived) {
    ConnectedPair c;
    const Bytes sent = pattern(10);
    test::sendAll(c.peer.get(), sent.data(), sent.size());
    c.peer.reset();
    EXPECT_EQ(cxpKindOf([&] { c.transport.readExactly(20); }), CXPError::Kind::closed);
    EXPECT_EQ(c.transport.readExactly(10), sent);
}

TEST(TcpTransport, AResetByThePeerIsADroppedConnection) {
    ConnectedPair c;
    StateLines log;
    log.attach(c.transport);
    linger hard{1, 0};  // close with RST instead of FIN
    ASSERT_EQ(::setsockopt(c.peer.get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard), 0);
    c.peer.reset();
    pollfd arrived{c.transport.descriptor(), POLLIN, 0};
    ASSERT_EQ(::poll(&arrived, 1, 60000), 1);  // the reset has reached the socket
    try {
        c.transport.write(Bytes(16, 0));
        FAIL() << "the reset went unnoticed";
    } catch (const NetError& e) {
        EXPECT_TRUE(e.code() == ECONNRESET || e.code() == EPIPE) << e.what();
        EXPECT_EQ(FriendlyErrors::text(e), FriendlyErrors::dropped());
        EXPECT_EQ(log.snapshot(), Lines{"conexão de rede: failed(" + std::string(e.what()) + ")"});
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

}  // namespace
}  // namespace velmora
