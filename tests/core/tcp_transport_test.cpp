#include "core/transport/tcp_transport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sched.h>

#include "helpers.h"
#include "loopback.h"

namespace velmora {
namespace {

using test::outcomeOf;
using Lines = std::vector<std::string>;

// State lines logged on the test's own thread.
void logInto(TcpTransport& transport, Lines& lines) {
    transport.setStateLog([&lines](const std::string& line) { lines.push_back(line); });
}

std::vector<SocketAddress> loopbackAt(std::initializer_list<std::uint16_t> ports) {
    std::vector<SocketAddress> out;
    for (std::uint16_t port : ports)
        out.push_back(*numericAddress("127.0.0.1", port));
    return out;
}

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

// Backlog 0 with one connection parked in the queue: the kernel drops every further request, so a connect
// hangs in its handshake exactly like a phone that does not answer.
struct FullListener {
    test::LoopbackListener listener{0};
    UniqueFd parked = test::connectLoopback(listener.port());
};

// A connected transport and the raw peer socket of the test.
struct ConnectedPair {
    test::LoopbackListener listener;
    TcpTransport transport{"127.0.0.1", listener.port(), resolverThatMustNotRun()};
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
    EXPECT_EQ(option(IPPROTO_TCP, TCP_NODELAY), 1);
    EXPECT_EQ(option(SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(option(IPPROTO_TCP, TCP_KEEPIDLE), 10);
    EXPECT_EQ(option(IPPROTO_TCP, TCP_KEEPINTVL), 5);
    EXPECT_EQ(option(IPPROTO_TCP, TCP_KEEPCNT), 3);
    c.transport.close();
    c.transport.close();
    EXPECT_EQ(lines, Lines{"conexão de rede: cancelled"});
}

TEST(TcpTransport, ARefusalIsFinalButTheNextAddressOfANameIsTried) {
    test::RefusingPort refusing;
    Lines lines;
    TcpTransport transport("127.0.0.1", refusing.port(), resolverThatMustNotRun());
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
    TcpTransport handshake("127.0.0.1", full.listener.port(), resolverThatMustNotRun());
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
    TcpTransport connecting("127.0.0.1", full.listener.port(), resolverThatMustNotRun());
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

TEST(TcpTransport, AnUnreachableNetworkEndsTheAttemptAtOnce) {
    // Inside a network namespace of its own, made by this thread only, there is no route anywhere (not even
    // loopback is up), so the kernel answers ENETUNREACH without a packet leaving.
    std::string result;
    std::thread([&] {
        if (::unshare(CLONE_NEWNET) == 0)
            result = outcomeOf([] { TcpTransport("10.1.2.3", 9, resolverThatMustNotRun()).connect(60); });
    }).join();
    if (result.empty()) GTEST_SKIP() << "no permission to make a network namespace";
    EXPECT_EQ(result, "ENETUNREACH");
}

TEST(TcpTransport, APeerClosingMidReadGivesClosedAndKeepsWhatArrived) {
    ConnectedPair c;
    const Bytes sent{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    c.send(sent);
    c.peer.reset();
    EXPECT_EQ(outcomeOf([&] { c.transport.readExactly(20); }), "closed");
    EXPECT_EQ(c.transport.readExactly(0), Bytes{});
    EXPECT_EQ(c.transport.readExactly(4), Bytes(sent.begin(), sent.begin() + 4));
    EXPECT_EQ(c.transport.readExactly(6), Bytes(sent.begin() + 4, sent.end()));
}

TEST(TcpTransport, AResetByThePeerIsADroppedConnection) {
    ConnectedPair c;
    Lines lines;
    logInto(c.transport, lines);
    linger hard{1, 0};  // close with RST instead of FIN
    ASSERT_EQ(::setsockopt(c.peer.get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard), 0);
    c.peer.reset();
    pollfd arrived{c.transport.descriptor(), POLLIN, 0};
    ASSERT_EQ(::poll(&arrived, 1, 60000), 1);  // the reset has reached the socket
    const std::string error = outcomeOf([&] { c.transport.write(Bytes(16, 0)); });
    EXPECT_TRUE(error == "ECONNRESET" || error == "EPIPE") << error;
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("conexão de rede: failed(erro de rede " + error), std::string::npos) << lines[0];
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
