// The simulated phone as a program: started as a person would, it pairs with the computer's real
// session code over loopback TCP and then talks.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "core/channel/secure_channel.h"
#include "core/session/link_session.h"
#include "core/transport/tcp_transport.h"
#include "support/memory_peer_store.h"
#include "support/recording_delegate.h"
#include "support/software_identity.h"

namespace velmora {
namespace {

struct PipeCloser {
    void operator()(FILE* f) const { ::pclose(f); }
};

std::string readLine(FILE* f) {
    char buffer[512];
    if (!std::fgets(buffer, sizeof buffer, f)) return "";
    std::string line(buffer);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
}

TEST(SimPhoneProgram, PairsOnALoopbackPortAndAnswersControlMessages) {
    std::unique_ptr<FILE, PipeCloser> program(::popen(
        (std::string(VELMORA_SIM_PHONE) + " --port 0 --once --name 'Telefone de Teste'").c_str(), "r"));
    ASSERT_TRUE(program);
    const std::string banner = readLine(program.get());
    const auto at = banner.rfind("127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << banner;
    const auto port = static_cast<std::uint16_t>(std::stoi(banner.substr(at + 10)));

    auto transport = std::make_shared<TcpTransport>("127.0.0.1", port);
    transport->connect(5.0);
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
    std::string shownHere;
    auto session = LinkSession::open(SecureChannel::connectAsClient(transport), computer, store, std::nullopt,
                                     true, [&](const Peer&, const std::string& code) {
                                         shownHere = code;
                                         return true;
                                     });
    EXPECT_TRUE(session->newlyPaired());
    EXPECT_EQ(session->peer().name, "Telefone de Teste");

    RecordingDelegate delegate;
    std::thread loop([&] { session->run(delegate); });
    session->sendControl({{"t", "ping"}, {"seq", 7}});
    ASSERT_TRUE(delegate.waitForEvents(3));  // caps, status, pong
    session->close();
    loop.join();
    const auto events = delegate.events();
    EXPECT_EQ(events[0].message.at("t"), "caps");
    EXPECT_EQ(events[1].message.at("t"), "status");
    EXPECT_EQ(events[2].message, (nlohmann::json{{"t", "pong"}, {"seq", 7}}));
    EXPECT_EQ(session->peerCaps()->at("t"), "caps");

    std::string output;
    for (std::string line = readLine(program.get()); !line.empty(); line = readLine(program.get())) {
        output += line + "\n";
    }
    EXPECT_NE(output.find("código de pareamento: " + shownHere), std::string::npos) << output;
    EXPECT_NE(output.find("computador: " + computer.id()), std::string::npos) << output;
    EXPECT_NE(output.find("recebido: {\"seq\":7,\"t\":\"ping\"}"), std::string::npos) << output;
    EXPECT_EQ(::pclose(program.release()), 0);
}

}  // namespace
}  // namespace velmora
