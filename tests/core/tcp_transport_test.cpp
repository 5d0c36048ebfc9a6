#include "core/transport/tcp_transport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <numeric>
#include <thread>

#include "core/errors/friendly_errors.h"
#include "core/errors/net_error.h"
#include "core/protocol/cxp_error.h"
#include "core/transport/resolver.h"
#include "loopback.h"

namespace velmora {
namespace {

using test::LoopbackListener;
using test::RefusingPort;

// Collects the state lines of a transport.
struct StateLines {
    std::mutex mutex;
    std::vector<std::string> lines;
    TcpTransport::StateLog sink() {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
    }
    std::vector<std::string> snapshot() {
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
class HangingResolver {
  public:
    ~HangingResolver() { release_.set_value(); }
    Resolver resolver() const {
        return [released = released_](const std::string&, std::uint16_t) {
            released.wait();
            return std::vector<SocketAddress>{};
        };
    }

  private:
    std::promise<void> release_;
    std::shared_future<void> released_ = release_.get_future().share();
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

Bytes pattern(std::size_t n, std::uint8_t seed = 0) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 31 + seed);
    return b;
}

// A connected transport and the raw peer socket of the test.
struct ConnectedPair {
    LoopbackListener listener;
    TcpTransport transport{"127.0.0.1", listener.port(), resolverThatMustNotRun()};
    UniqueFd peer;
    ConnectedPair() {
        transport.connect(5);
        peer = listener.accept();
    }
};

TEST(TcpTransport, ConnectsToALiteralWithoutTheResolverAndSetsSocketOptions) {
    LoopbackListener listener;
    StateLines log;
    TcpTransport transport("127.0.0.1", listener.port(), resolverThatMustNotRun());
    transport.setStateLog(log.sink());
    transport.connect(5);
    const int fd = transport.descriptor();
    EXPECT_EQ(sockOption(fd, IPPROTO_TCP, TCP_NODELAY), 1);
    EXPECT_EQ(sockOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(sockOption(fd, IPPROTO_TCP, TCP_KEEPIDLE), 10);
    EXPECT_EQ(sockOption(fd, IPPROTO_TCP, TCP_KEEPINTVL), 5);
    EXPECT_EQ(sockOption(fd, IPPROTO_TCP, TCP_KEEPCNT), 3);
    transport.close();
    transport.close();
    EXPECT_EQ(log.snapshot(),
              (std::vector<std::string>{"conexão de rede: preparing", "conexão de rede: ready",
                                        "conexão de rede: cancelled"}));
}

TEST(TcpTransport, ARefusedPortEndsTheAttemptAtOnceWithTheRefusal) {
    RefusingPort port;
    StateLines log;
    TcpTransport transport("127.0.0.1", port.port(), resolverThatMustNotRun());
    transport.setStateLog(log.sink());
    const auto started = std::chrono::steady_clock::now();
    try {
        transport.connect(60);
        FAIL() << "connected to a port nobody listens on";
    } catch (const NetError& e) {
        EXPECT_EQ(e.kind(), NetError::Kind::posix);
        EXPECT_EQ(e.code(), ECONNREFUSED);
        EXPECT_NE(std::string(e.what()).find("ECONNREFUSED"), std::string::npos) << e.what();
        EXPECT_EQ(FriendlyErrors::text(e), FriendlyErrors::refused());
    }
    // Well short of the deadline: a refusal is final.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    const auto lines = log.snapshot();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "conexão de rede: preparing");
    EXPECT_NE(lines[1].find("conexão de rede: waiting("), std::string::npos);
    EXPECT_NE(lines[1].find("ECONNREFUSED"), std::string::npos);
    EXPECT_EQ(lines[2], "conexão de rede: cancelled");
    // The attempt is over: reads, writes and a second connect all fail as closed.
    EXPECT_EQ(cxpKindOf([&] { transport.readExactly(1); }), CXPError::Kind::closed);
    EXPECT_EQ(cxpKindOf([&] { transport.connect(1); }), CXPError::Kind::closed);
}

TEST(TcpTransport, ARefusalMovesOnToTheNextAddressOfAName) {
    RefusingPort refusing;
    LoopbackListener listener;
    Resolver twoAddresses = [&](const std::string&, std::uint16_t) {
        return std::vector<SocketAddress>{*numericAddress("127.0.0.1", refusing.port()),
                                          *numericAddress("127.0.0.1", listener.port())};
    };
    StateLines log;
    TcpTransport transport("phone.example", 9, twoAddresses);
    transport.setStateLog(log.sink());
    transport.connect(5);
    UniqueFd peer = listener.accept();
    const auto lines = log.snapshot();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find("ECONNREFUSED"), std::string::npos);
    EXPECT_EQ(lines[2], "conexão de rede: ready");
}

TEST(TcpTransport, AConnectionThatNeverCompletesTimesOutAtTheDeadline) {
    // Backlog 0 with one connection parked in the queue: the kernel drops every further request, so the
    // next connect hangs in its handshake exactly like a phone that does not answer.
    LoopbackListener listener(0);
    UniqueFd parked = test::connectLoopback(listener.port());
    StateLines log;
    TcpTransport transport("127.0.0.1", listener.port(), resolverThatMustNotRun());
    transport.setStateLog(log.sink());
    EXPECT_EQ(cxpKindOf([&] { transport.connect(0.3); }), CXPError::Kind::timedOut);
    EXPECT_EQ(log.snapshot().back(), "conexão de rede: cancelled");
}

TEST(TcpTransport, TheDeadlineAlsoBoundsAResolverThatHangs) {
    HangingResolver hanging;
    TcpTransport transport("slow.example", 9, hanging.resolver());
    EXPECT_EQ(cxpKindOf([&] { transport.connect(0.2); }), CXPError::Kind::timedOut);
}

TEST(TcpTransport, CloseFromAnotherThreadEndsEveryBlockedCall) {
    LoopbackListener full(0);  // one parked connection: the kernel drops further connection requests
    UniqueFd parked = test::connectLoopback(full.port());
    HangingResolver hanging;
    TcpTransport connecting("127.0.0.1", full.port(), resolverThatMustNotRun());
    TcpTransport resolving("slow.example", 9, hanging.resolver());
    ConnectedPair reading, writing;
    const Bytes big = pattern(64 * 1024 * 1024);  // the peer never reads: the socket buffers fill
    struct Case {
        const char* what;
        TcpTransport& transport;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"pending connect", connecting, [&] { connecting.connect(60); }},
        {"wait for the resolver", resolving, [&] { resolving.connect(60); }},
        {"blocked read", reading.transport, [&] { reading.transport.readExactly(4); }},
        {"blocked write", writing.transport, [&] { writing.transport.write(big); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto result = std::async(std::launch::async, [&] { return cxpKindOf(c.call); });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        c.transport.close();
        ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        EXPECT_EQ(result.get(), CXPError::Kind::closed);
    }
    // The descriptor stays reserved until the transport dies: the number is still this socket.
    EXPECT_GE(reading.transport.descriptor(), 0);
    EXPECT_EQ(cxpKindOf([&] { reading.transport.write(Bytes{1}); }), CXPError::Kind::closed);
}

TEST(TcpTransport, ALookupFailureIsRetriedUntilTheDeadline) {
    std::atomic<int> calls{0};
    Resolver failing = [&calls](const std::string&, std::uint16_t) -> std::vector<SocketAddress> {
        ++calls;
        throw NetError::dns(EAI_NONAME);
    };
    StateLines log;
    TcpTransport transport("missing.example", 9, failing);
    transport.setStateLog(log.sink());
    EXPECT_EQ(cxpKindOf([&] { transport.connect(1.2); }), CXPError::Kind::timedOut);
    EXPECT_GE(calls.load(), 2);
    // The same failure again is one state, not one line per retry.
    const auto lines = log.snapshot();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find("EAI_NONAME"), std::string::npos) << lines[1];
}

TEST(TcpTransport, AnUnreachableNetworkEndsTheAttemptAtOnce) {
    // Inside a network namespace of its own, made by this thread only, there is no route anywhere (not even
    // loopback is up), so the kernel answers ENETUNREACH without a packet leaving.
    std::promise<std::string> outcome;
    std::thread([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            outcome.set_value("skip");
            return;
        }
        TcpTransport transport("10.1.2.3", 9, resolverThatMustNotRun());
        try {
            transport.connect(60);
            outcome.set_value("connected");
        } catch (const NetError& e) {
            outcome.set_value(e.code() == ENETUNREACH &&
                                      FriendlyErrors::text(e) == FriendlyErrors::unreachable()
                                  ? "unreachable"
                                  : e.what());
        } catch (const std::exception& e) {
            outcome.set_value(e.what());
        }
    }).join();
    const std::string result = outcome.get_future().get();
    if (result == "skip") GTEST_SKIP() << "no permission to make a network namespace";
    EXPECT_EQ(result, "unreachable");
}

TEST(TcpTransport, ReadsKeepTheSurplusOfOneReceiveForLaterCalls) {
    ConnectedPair c;
    const Bytes sent = pattern(1000);
    test::sendAll(c.peer.get(), sent.data(), sent.size());
    ::shutdown(c.peer.get(), SHUT_WR);
    // After the peer's end of stream only buffered bytes can satisfy a read.
    Bytes got = c.transport.readExactly(4);
    EXPECT_EQ(c.transport.readExactly(0), Bytes{});
    Bytes rest = c.transport.readExactly(996);
    got.insert(got.end(), rest.begin(), rest.end());
    EXPECT_EQ(got, sent);
    EXPECT_EQ(cxpKindOf([&] { c.transport.readExactly(1); }), CXPError::Kind::closed);
}

TEST(TcpTransport, LargeReadsArriveWholeAndInOrder) {
    ConnectedPair c;
    const Bytes sent = pattern(3 * 1024 * 1024 + 17, 7);
    std::thread writer([&] { test::sendAll(c.peer.get(), sent.data(), sent.size()); });
    Bytes got;
    for (std::size_t size : {std::size_t{5}, std::size_t{1024 * 1024}, std::size_t{65535}, std::size_t{65536},
                             std::size_t{1}, sent.size() - 5 - 1024 * 1024 - 65535 - 65536 - 1}) {
        Bytes part = c.transport.readExactly(size);
        ASSERT_EQ(part.size(), size);
        got.insert(got.end(), part.begin(), part.end());
    }
    writer.join();
    EXPECT_EQ(got, sent);
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
    c.transport.setStateLog(log.sink());
    linger hard{1, 0};  // close with RST instead of FIN
    ASSERT_EQ(::setsockopt(c.peer.get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard), 0);
    c.peer.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    try {
        c.transport.write(Bytes(16, 0));
        c.transport.write(Bytes(16, 0));
        c.transport.readExactly(1);
        FAIL() << "the reset went unnoticed";
    } catch (const NetError& e) {
        EXPECT_TRUE(e.code() == ECONNRESET || e.code() == EPIPE) << e.what();
        EXPECT_EQ(FriendlyErrors::text(e), FriendlyErrors::dropped());
        EXPECT_EQ(log.snapshot(),
                  std::vector<std::string>{"conexão de rede: failed(" + std::string(e.what()) + ")"});
    }
}

TEST(TcpTransport, AnAdoptedSocketpairCarriesBytesAndTheDestructorReleasesIt) {
    auto [mine, theirs] = test::socketPair();
    // Even a socket handed over non-blocking gets blocking reads: this one waits for bytes sent later.
    ::fcntl(mine.get(), F_SETFL, ::fcntl(mine.get(), F_GETFL) | O_NONBLOCK);
    {
        TcpTransport transport(std::move(mine));
        transport.write(Bytes{9, 8, 7});
        std::thread later([fd = theirs.get()] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            test::sendAll(fd, "ab", 2);
        });
        EXPECT_EQ(transport.readExactly(2), (Bytes{'a', 'b'}));
        later.join();
    }
    std::uint8_t got[4];
    EXPECT_EQ(::recv(theirs.get(), got, 4, MSG_WAITALL), 3);
    // The transport is gone and with it the other end: end of stream, not a hang.
    EXPECT_EQ(::recv(theirs.get(), got, 1, 0), 0);
}

}  // namespace
}  // namespace velmora
