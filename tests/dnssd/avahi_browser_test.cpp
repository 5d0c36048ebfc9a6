// The Avahi browser under the model, against a real avahi-daemon on the loopback of a network namespace that
// netns_run.sh made: announcements come and go through avahi-publish, and the model's phone list, pairing
// flags and rejections follow. Run outside that namespace, it skips.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "platform/dnssd/avahi_browser.h"
#include "support/model_harness.h"

extern char** environ;

namespace velmora {
namespace {

using test::ModelHarness;

// One announcement, for as long as the object lives.
class Announcement {
  public:
    Announcement(const std::string& name, std::uint16_t port, const std::vector<std::string>& txt) {
        std::vector<std::string> args{"avahi-publish", "-s", name, "_corvix._tcp", std::to_string(port)};
        args.insert(args.end(), txt.begin(), txt.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, "avahi-publish", nullptr, nullptr, argv.data(), environ) != 0) pid_ = 0;
    }
    ~Announcement() { withdraw(); }
    Announcement(const Announcement&) = delete;
    Announcement& operator=(const Announcement&) = delete;
    void withdraw() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
    bool started() const { return pid_ > 0; }

  private:
    pid_t pid_ = 0;
};

const std::string kGood = "0123456789abcdef0123456789abcdef";
const std::string kOther = "fedcba9876543210fedcba9876543210";

TEST(AvahiBrowser, TheModelFollowsAnnouncementsOnTheNamespacesLoopback) {
    if (!std::getenv("VELMORA_IN_NETNS")) GTEST_SKIP() << "runs only inside netns_run.sh's namespace";
    ModelHarness h;
    ModelPorts ports = h.ports();
    ports.browser = std::make_shared<AvahiBrowser>();
    h.model = AppModel::create(ports, false);
    AppModel& model = *h.model;
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().browserReady; }));

    Announcement good("Pixel", 47625, {"id=" + kGood, "name=Pixel 7", "pair=1", "ip=192.168.1.20"});
    Announcement noId("Sem id", 47625, {"name=Anon"});
    Announcement badId("Id ruim", 47625, {"id=" + std::string(32, 'A')});
    Announcement badIp("Celular do Teste", h.transports->port.load(), {"id=" + kOther, "ip=127.0.0.1"});
    ASSERT_TRUE(good.started() && noId.started() && badId.started() && badIp.started());
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().phones.size() == 2; }));

    const auto byId = [&](const std::string& id) {
        for (const DiscoveredPhone& phone : model.state().phones)
            if (phone.id == id) return phone;
        return DiscoveredPhone{};
    };
    const DiscoveredPhone pixel = byId(kGood);
    EXPECT_EQ(pixel.name, "Pixel 7");
    EXPECT_EQ(pixel.ip, "192.168.1.20");
    EXPECT_EQ(model.pairFlag(pixel), true);
    EXPECT_EQ(AppModel::netEndpoint(pixel), (TcpEndpoint{"192.168.1.20", 47625}));
    const DiscoveredPhone other = byId(kOther);
    EXPECT_EQ(other.name, "Celular do Teste") << "the service name stands in";
    EXPECT_FALSE(other.ip) << "a loopback address is no phone's";
    EXPECT_TRUE(other.epKey.starts_with("svc-"));
    EXPECT_EQ(other.endpoint, (TcpEndpoint{"127.0.0.1", h.transports->port.load()}));
    EXPECT_EQ(model.pairFlag(other), std::nullopt);
    for (const char* line :
         {"anúncio DNS-SD descartado: id ausente", "anúncio DNS-SD descartado: id inválido",
          "anúncio DNS-SD com endereço IP inválido"})
        EXPECT_NE(h.log().find(line), std::string::npos) << line;
    EXPECT_NE(h.log().find("janela de pareamento do celular (wifi:01234567): aberta"), std::string::npos);

    good.withdraw();
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().phones.size() == 1; }));
    EXPECT_EQ(model.state().phones[0].id, kOther);
}

}  // namespace
}  // namespace velmora
