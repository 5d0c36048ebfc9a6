// The Avahi browser under the model, against a real avahi-daemon on the loopback of the namespace that
// netns_run.sh made: announcements come and go through avahi-publish and the model's list follows.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "platform/dnssd/avahi_browser.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

// avahi-publish announcing one service until it is killed.
pid_t announce(const std::string& name, std::uint16_t port, std::vector<std::string> args) {
    args.insert(args.begin(), {"avahi-publish", "-s", name, "_corvix._tcp", std::to_string(port)});
    std::vector<char*> argv(args.size() + 1);  // ends with nullptr
    std::ranges::transform(args, argv.begin(), [](std::string& arg) { return arg.data(); });
    pid_t pid = 0;
    return posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : 0;
}

TEST(AvahiBrowser, TheModelFollowsAnnouncementsOnTheNamespacesLoopback) {
    if (!std::getenv("VELMORA_IN_NETNS")) GTEST_SKIP() << "runs only inside netns_run.sh's namespace";
    test::ModelHarness h;
    ModelPorts ports = h.ports();
    ports.browser = std::make_shared<AvahiBrowser>();
    h.model = AppModel::create(ports, false);
    const AppModel& model = *h.model;
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().browserReady; }));
    const std::string a(32, 'a'), b(32, 'b');
    const pid_t pids[] = {announce("Nimbo", 47625, {"id=" + a, "name=Nimbo 7", "pair=1", "ip=192.168.1.20"}),
                          announce("Sem id", 1, {"name=Anon"}),
                          announce("Ruim", 1, {"id=" + std::string(32, 'A')}),
                          announce("Celular do Teste", 5555, {"id=" + b, "ip=127.0.0.1"})};
    const auto logged = [&] {  // each announcement resolves in its own time
        return std::ranges::all_of(
            std::array{"descartado: id ausente", "descartado: id inválido", "IP inválido"},
            [log = h.log()](const char* line) { return log.find(line) != std::string::npos; });
    };
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().phones.size() == 2 && logged(); }));
    const auto& phones = model.state().phones;
    const bool aFirst = phones[0].id == a;
    const DiscoveredPhone &nimbo = phones[aFirst ? 0 : 1], &other = phones[aFirst ? 1 : 0];
    EXPECT_EQ(nimbo.name, "Nimbo 7");
    EXPECT_EQ(AppModel::netEndpoint(nimbo), (TcpEndpoint{"192.168.1.20", 47625}));
    EXPECT_EQ(model.pairFlag(nimbo), true);
    EXPECT_EQ(other.name, "Celular do Teste") << "the service name stands in";
    EXPECT_EQ(AppModel::netEndpoint(other), (TcpEndpoint{"127.0.0.1", 5555})) << "127.0.0.1 is no phone's ip";

    ::kill(pids[0], SIGTERM);
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().phones.size() == 1; }));
    EXPECT_EQ(model.state().phones[0].id, b);
    // The daemon restarts (an upgrade, say): the list empties at once, the browse fails and starts again
    // 3 s later, waits for the new daemon and finds what is announced there.
    ASSERT_EQ(std::system("avahi-daemon -k"), 0);
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().phones.empty() && model.state().lastError; }));
    h.advance(3);
    ASSERT_EQ(std::system(std::getenv("VELMORA_AVAHI_START")), 0);
    const pid_t again = announce("Nimbo", 47625, {"id=" + a});
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().phones.size() == 1; }));
    ::kill(again, SIGTERM), ::waitpid(again, nullptr, 0);
    for (const pid_t pid : pids)
        ::kill(pid, SIGTERM), ::waitpid(pid, nullptr, 0);
}

}  // namespace
}  // namespace velmora
