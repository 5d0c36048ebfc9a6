// Link changes while a session stands: the upgrade from Bluetooth to the network, the idle descent to
// Bluetooth and the climb back, and the computer's wake; on the fake clock, the simulated phone behind
// every link (TCP on loopback, Bluetooth over a socketpair).
#include <gtest/gtest.h>

#include "app/model/connection/idle_policy.h"
#include "core/discovery/candidate_key.h"
#include "core/protocol/control_json.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using test::ModelHarness;
using Kind = ConnState::Kind;
const char* const kBle = "AA:BB:CC:DD:EE:FF";

// Every link reaches the phone on loopback TCP (Bluetooth too), except the refused hosts; "10.0.0.7" accepts
// and never answers. Hosts in `held` (and "ble") wait for the gate. Also the Bluetooth central, the wake
// source and the mirror switch.
struct Links final : TransportFactory, BluetoothCentral, WakeSource, FeatureHalf {
    std::shared_ptr<ConnectableTransport> tcp(const TcpEndpoint& to) override {
        const std::uint16_t port = refuses(to.host)        ? refusing.port()
                                   : to.host == "10.0.0.7" ? stalling.port()
                                                           : phonePort;
        return std::make_shared<TcpTransport>("127.0.0.1", port);
    }
    std::shared_ptr<ConnectableTransport> ble(const std::string&) override {
        return refuses("ble") ? nullptr : std::make_shared<TcpTransport>("127.0.0.1", phonePort);
    }
    // Waits while `host` is held; true when it is refused.
    bool refuses(const std::string& host) {
        std::unique_lock lock(mutex);
        if (held.contains(host)) {
            lock.unlock();
            gate.wait();
            lock.lock();
        }
        return refused.contains(host);
    }
    std::string label(const ConnectableTransport&, const std::string& kind) const override {
        return kind == "ble" ? "l2cap" : kind;
    }
    void setHandlers(Handlers h) override { central = std::move(h); }
    void start() override { journal->add("central.start"); }
    void pause() override { journal->add("central.pause"); }
    void start(std::function<void()> onWake) override { wake = std::move(onWake); }
    void stop() override {}
    bool mirroring() const override { return mirror.load(); }

    std::shared_ptr<test::Journal> journal;
    std::uint16_t phonePort = 0;
    test::LoopbackListener stalling;
    test::RefusingPort refusing;
    std::mutex mutex;  // guards refused and held once a worker may read them
    std::set<std::string> refused, held;
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    Handlers central;
    std::function<void()> wake;
    std::atomic<bool> mirror{false};
};

PhoneConfig screenOff(bool fast = false) {
    PhoneConfig c;
    c.afterReady = {
        {Ch::control, encodeJSON({{"t", "status"}, {"battery", 50}, {"screen", false}, {"fast", fast}})}};
    return c;
}

struct Rig {
    explicit Rig(PhoneConfig config = {}, std::vector<std::string> addrs = {"10.0.0.1", "10.0.0.5"})
        : h(std::move(config)) {
        h.pairBothSides();
        links->journal = h.journal;
        links->phonePort = h.transports->port;
        links->refused = {"10.0.0.1"};  // before any thread
        h.settings->setValue("knownAddrs", {{h.phone.id(), addrs}});
        ModelPorts ports = h.ports();
        ports.transports = links;
        ports.bluetooth = links;
        ports.wake = links;
        ports.features = links;
        h.model = AppModel::create(std::move(ports), false);
        h.exec->runPending();
    }
    ~Rig() {
        openGate();
        h.model->shutdown();
    }
    AppModel& model() { return *h.model; }
    void openGate() {
        std::lock_guard lock(links->mutex);
        if (!links->held.empty()) links->release.set_value();
        links->held.clear();
    }
    std::string key(const std::string& address) { return CandidateKey::net(h.phone.id(), address).text(); }
    // Connected over Bluetooth, or over the network at 10.0.0.5 with the Bluetooth phone in sight.
    void connect(bool bluetooth) {
        auto make = [l = links, bluetooth] { return bluetooth ? l->ble(kBle) : l->tcp({"10.0.0.5", 47625}); };
        model().connect({"Pixel 7", bluetooth ? std::string("ble:") + kBle : key("10.0.0.5"), std::nullopt,
                         bluetooth ? "ble" : "tcp", h.phone.id(), false, 10, make});
        links->central.onState(5);
        links->central.onPhones({{kBle, "", h.phone.id().substr(0, 16), std::nullopt, {}}});
        ASSERT_TRUE(h.pumpUntil(Kind::connected));
    }
    bool logged(const std::string& line) {
        return h.pumpUntil([&] { return h.log().find(line) != std::string::npos; });
    }
    int count(const std::string& line) {
        const std::string log = h.log();
        int n = 0;
        for (auto at = log.find(line); at != std::string::npos; at = log.find(line, at + 1))
            ++n;
        return n;
    }
    // Heartbeats with the phone answering each ping (every tick pings on TCP and on Bluetooth with the
    // screen on), so that only the rules under test change the link.
    void live(double seconds) {
        for (double t = 0; t < seconds - 1e-9; t += 3) {
            const double before = h.exec->now();
            h.advance(3);
            ASSERT_TRUE(h.pumpUntil([&] {
                const auto s = model().liveSession();
                return !s || s->lastRx() > before;  // the answer to this tick's ping
            }));
        }
    }
    void upgradeNow() { model().setLinkPrefs(model().state().linkPrefs); }

    ModelHarness h;
    std::shared_ptr<Links> links = std::make_shared<Links>();
};

TEST(LinkUpgrade, ABluetoothSessionMovesToTheNetworkWithoutPassingThroughIdle) {
    Rig r;
    r.connect(true);
    std::vector<Kind> seen;
    const Subscription watch = r.model().observe([&] { seen.push_back(r.model().state().state.kind()); });
    const auto old = r.model().liveSession();
    r.upgradeNow();
    ASSERT_TRUE(r.logged("subindo para wifi (" + r.key("10.0.0.5") + "); encerrando a conexão anterior"));
    ASSERT_TRUE(r.logged("conexão anterior encerrada (trocada por uma melhor)"));
    EXPECT_EQ(r.count("tentando subir de ble para wifi: " + r.key("10.0.0.1") + ", " + r.key("10.0.0.5")), 1);
    EXPECT_EQ(r.count("subida falhou em "), 1);
    EXPECT_EQ(r.count("sessão encerrada"), 0);
    const PublishedState& s = r.model().state();
    EXPECT_EQ(std::tie(s.linkKind, s.bleFast, s.activeKind), std::tuple("tcp", false, ConnKind::wifi));
    EXPECT_TRUE(old->closed());
    EXPECT_EQ(std::ranges::count(seen, Kind::idle), 0);
    EXPECT_FALSE(r.h.journal->waitFor(R"(phone {"t":"status.get"})").empty());
}

// Table: the live session is lost, or mirroring starts, while the new session opens.
TEST(LinkUpgrade, TheFinishDiscardsTheNewSessionWhenStaleOrBusy) {
    for (const bool stale : {true, false}) {
        SCOPED_TRACE(stale);
        Rig r;
        r.connect(true);
        r.links->held = {"10.0.0.5"};
        r.upgradeNow();
        if (stale) r.model().liveSession()->close();
        r.links->mirror = !stale;
        ASSERT_TRUE(r.h.pumpUntil(stale ? Kind::idle : Kind::connected));
        r.openGate();
        ASSERT_TRUE(r.logged("conexão anterior encerrada (trocada por uma melhor)"));  // the discarded one
        EXPECT_EQ(r.count("subida cancelada: espelhamento ou transferência começou durante a troca; mantendo "
                          "a sessão l2cap"),
                  stale ? 0 : 1);
        EXPECT_EQ(r.count("sessão encerrada"), stale ? 1 : 0);
        EXPECT_EQ(r.model().state().activeKind, stale ? std::nullopt : std::optional(ConnKind::ble));
    }
}

TEST(LinkUpgrade, AStalledHandshakeIsCutAtSevenSecondsAndItsAddressRestsFortyFive) {
    Rig r({}, {"10.0.0.7"});
    r.connect(true);
    r.upgradeNow();
    ASSERT_TRUE(r.logged("conexão de rede: "));  // connecting: its guard is set by then
    r.h.advance(6.9);
    EXPECT_EQ(r.count("subida falhou"), 0);
    r.h.advance(0.2);
    ASSERT_TRUE(r.logged("subida falhou em " + r.key("10.0.0.7")));
    for (const int expected : {1, 2}) {  // 42 s after the failure, then 51 s
        r.live(expected == 1 ? 42 : 9);
        r.upgradeNow();
        EXPECT_EQ(r.count("tentando subir"), expected);
    }
}

// Table: a network session whose phone's screen stays off moves to Bluetooth, then: climbs back for a
// status of fast work or for the user's work; or the finish aborts for a loss or for mirroring; or the
// Bluetooth link does not open and the descent rests.
TEST(IdleDescent, ANetworkSessionRestsOnBluetoothOnlyWhileNothingHappens) {
    for (const std::string row : {"fast", "user", "loss", "mirror", "failure"}) {
        SCOPED_TRACE(row);
        Rig r(screenOff(), {"10.0.0.5"});
        r.connect(false);
        ASSERT_TRUE(r.h.pumpUntil([&] { return r.model().state().battery.has_value(); }));  // screen off now
        if (r.model().state().blePhones.empty()) GTEST_SKIP() << "the Bluetooth list comes with discovery";
        PhoneConfig next = screenOff(row == "fast");  // what the Bluetooth session reports
        next.onControl = [j = r.h.journal](const nlohmann::json& m) { j->add("phone " + m.dump()); };
        r.h.phone.setConfig(next);
        r.links->held = {row == "loss" || row == "mirror" ? "ble" : ""};
        if (row == "failure") r.links->refused = {"ble"};
        r.live(57);
        EXPECT_EQ(r.count("modo ocioso: abrindo"), 0);
        r.live(3);
        ASSERT_TRUE(
            r.logged("modo ocioso: abrindo sessão Bluetooth antes de fechar a tcp (tela do celular "
                     "apagada há 60 s)"));
        if (row == "failure") {
            ASSERT_TRUE(r.logged("modo ocioso: a sessão Bluetooth não abriu ("));
            r.live(117);
            const std::string resting(IdlePolicy::rawValue(IdlePolicy::Stay::cooldown));
            EXPECT_EQ(r.count("modo ocioso: mantendo tcp: " + resting), 1);  // logged once
            EXPECT_EQ(r.count("modo ocioso: abrindo"), 1);
            r.live(3);
            EXPECT_EQ(r.count("modo ocioso: abrindo"), 2);
        } else if (row == "loss" || row == "mirror") {
            if (row == "loss") r.model().liveSession()->close();
            r.links->mirror = row == "mirror";
            ASSERT_TRUE(r.h.pumpUntil(row == "loss" ? Kind::idle : Kind::connected));
            r.openGate();
            ASSERT_TRUE(
                r.logged("modo ocioso: o celular voltou a ser usado (ou algo começou) durante a troca; "
                         "ficando em tcp"));
            ASSERT_TRUE(r.logged("conexão anterior encerrada (trocada por uma melhor)"));
            EXPECT_EQ(r.count("sessão encerrada"), row == "loss" ? 1 : 0);
        } else {
            ASSERT_TRUE(r.logged("modo ocioso: descendo para Bluetooth (l2cap); encerrando a sessão tcp"));
            std::vector<std::string> order;
            if (row == "user") {
                ASSERT_TRUE(r.h.pumpUntil([&] { return r.model().state().idleDescended; }));
                EXPECT_EQ(std::tie(r.model().state().linkKind, r.model().state().bleFast),
                          std::tuple("ble", true));
                r.model().afterWake([&] { order.push_back("first over " + r.model().state().linkKind); });
                r.model().afterWake([&] { order.push_back("second"); });  // climbing already: at once
            }
            ASSERT_TRUE(r.logged(row == "fast"
                                     ? "modo ocioso: o celular começou uma atividade rápida; subindo"
                                     : "modo ocioso: pedido do usuário; subindo"));
            ASSERT_TRUE(r.logged("subindo para wifi"));
            EXPECT_EQ(r.count("sessão encerrada"), 0);
            const std::vector<std::string> user{"second", "first over tcp"};
            EXPECT_EQ(order, row == "fast" ? std::vector<std::string>{} : user);
        }
    }
}

TEST(ComputerWake, RestartsTheSearchesForgetsFailuresAndPlansThreeSecondsLater) {
    Rig r;
    r.links->refused = {"127.0.0.1"};
    r.h.plugInCable();
    ASSERT_TRUE(r.h.pumpUntil([&] { return r.model().state().lastError.has_value(); }));
    r.links->refused.clear();
    r.links->wake();
    ASSERT_TRUE(r.logged("computador acordou: reiniciando buscas e candidatos"));
    EXPECT_EQ(r.h.journal->count("central.pause"), 1);
    const int starts = r.h.journal->count("central.start");
    r.h.advance(0.5);
    EXPECT_EQ(r.h.journal->count("central.start"), starts + 1);
    r.h.advance(2.4);
    EXPECT_EQ(r.model().state().state.kind(), Kind::idle);
    r.h.advance(0.1);  // the failure's rest (4 s) would still hold: the wake forgot it
    EXPECT_TRUE(r.h.pumpUntil(Kind::connected));
}

}  // namespace
}  // namespace velmora
