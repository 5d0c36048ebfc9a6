// The companion phone on a loopback port: connections one after the other, and a clean stop while a
// computer is still connected.
#include <gtest/gtest.h>

#include "core/channel/secure_channel.h"
#include "core/session/link_session.h"
#include "core/transport/tcp_transport.h"
#include "sim_phone/computer_end.h"
#include "support/companion/phone_server.h"

namespace velmora::test {
namespace {

std::unique_ptr<LinkSession> connectTo(std::uint16_t port, const Identity& computer, PeerStore& store,
                                       std::shared_ptr<TcpTransport>& transport) {
    transport = std::make_shared<TcpTransport>("127.0.0.1", port);
    transport->connect(120.0);
    return LinkSession::open(SecureChannel::connectAsClient(transport), computer, store, std::nullopt, true,
                             [](const Peer&, const std::string&) { return true; });
}

TEST(PhoneServer, ServesOneComputerAfterAnotherAndStopsUnderALiveSession) {
    companion::CompanionPhone phone;
    MemoryPeerStore store;
    const SoftwareIdentity computer("Computador de Teste", "linux");
    std::shared_ptr<TcpTransport> transport;
    ComputerEnd end;
    std::unique_ptr<LinkSession> session;
    std::thread loop;
    {
        companion::PhoneServer server(phone);
        // The first connection pairs, the second goes straight to the session.
        connectTo(server.port(), computer, store, transport)->close();
        ASSERT_TRUE(server.waitForOutcomes(1, 120));
        EXPECT_TRUE(server.outcomes()[0].shownCode);
        session = connectTo(server.port(), computer, store, transport);
        loop = std::thread([&] { session->run(end); });
        EXPECT_TRUE(phone.waitForSession(120));
        EXPECT_TRUE(end.waitControl("status"));
        // Destroyed here with the computer still connected: the phone hangs up and the server ends.
    }
    EXPECT_TRUE(end.waitCount("close", 1));
    EXPECT_FALSE(phone.sessionLive());
    loop.join();
}

}  // namespace
}  // namespace velmora::test
