// The simulated phone as a program: started as a person would, it pairs with the computer's real
// session code over loopback TCP and then talks.

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "support/session_harness.h"

namespace velmora {
namespace {

std::string readLine(FILE* f) {
    char buffer[512];
    std::string line = std::fgets(buffer, sizeof buffer, f) ? buffer : "";
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
}

TEST(SimPhoneProgram, PairsOnALoopbackPortAndAnswersControlMessages) {
    FILE* program = ::popen(
        (std::string(VELMORA_SIM_PHONE) + " --port 0 --once --name 'Telefone de Teste'").c_str(), "r");
    ASSERT_TRUE(program);
    const std::string banner = readLine(program);
    const auto at = banner.rfind("127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << banner;

    auto transport = std::make_shared<TcpTransport>("127.0.0.1", std::stoi(banner.substr(at + 10)));
    transport->connect(120.0);
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
    EXPECT_TRUE(delegate.waitForEvents(3));
    session->close();
    loop.join();
    EXPECT_EQ(delegate.story(), (std::vector<std::string>{R"({"files":true,"mirror":true,"t":"caps"})",
                                                          R"({"battery":87,"charging":false,"t":"status"})",
                                                          R"({"seq":7,"t":"pong"})", "close"}));

    std::string output;
    for (std::string line = readLine(program); !line.empty(); line = readLine(program))
        output += line + "\n";
    EXPECT_NE(output.find("código de pareamento: " + shownHere), std::string::npos) << output;
    EXPECT_NE(output.find("computador: " + computer.id()), std::string::npos) << output;
    EXPECT_NE(output.find("recebido: {\"seq\":7,\"t\":\"ping\"}"), std::string::npos) << output;
    EXPECT_EQ(::pclose(program), 0);
}

}  // namespace
}  // namespace velmora
