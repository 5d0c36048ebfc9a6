// Upgrades, the idle descent and climb back, and the wake; the simulated phone behind every link (loopback).
#include <gtest/gtest.h>

#include "core/discovery/candidate_key.h"
#include "core/protocol/control_json.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using Kind = ConnState::Kind;

// Every link reaches the phone except the refused hosts ("ble" for Bluetooth); "10.0.0.7" accepts and never
// answers; a host in `held` waits for the gate. Also the Bluetooth central, the wake source and mirroring.
struct Links final : TransportFactory, BluetoothCentral, WakeSource, FeatureHalf {
    std::shared_ptr<ConnectableTransport> tcp(const TcpEndpoint& to) override {
        const std::uint16_t port = to.host == "10.0.0.7" ? stalling.port() : phonePort;
        return std::make_shared<TcpTransport>("127.0.0.1", refuses(to.host) ? refusing.port() : port);
    }
    std::shared_ptr<ConnectableTransport> ble(const std::string&) override {
        return refuses("ble") ? nullptr : std::make_shared<TcpTransport>("127.0.0.1", phonePort);
    }
    bool refuses(const std::string& host) {
        if (std::unique_lock lock(mutex); held.contains(host)) lock.unlock(), gate.wait();
        return std::lock_guard(mutex), refused.contains(host);
    }
    std::string label(const ConnectableTransport&, const std::string& kind) const override {
        return kind == "ble" ? "l2cap" : kind;
    }
    void setHandlers(Handlers h) override { central = std::move(h); }
    void start() override { journal->add("central.start"); }
    void pause() override { journal->add("central.pause"); }
    void start(std::function<void()> onWake) override { wake = std::move(onWake); }
    void stop() override {}

    std::shared_ptr<test::Journal> journal;
    std::uint16_t phonePort = 0;
    test::LoopbackListener stalling;
    test::RefusingPort refusing;
    std::mutex mutex;  // guards refused and held while workers may read them
    std::set<std::string> refused{"10.0.0.1"}, held;
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    Handlers central;
    std::function<void()> wake;
};

struct Rig {
    explicit Rig(std::optional<bool> fastWhileOff = {},
                 std::vector<std::string> addrs = {"10.0.0.1", "10.0.0.5"})
        : h(phoneConfig(fastWhileOff)) {
        h.pairBothSides();
        links->journal = h.journal;
        links->phonePort = h.transports->port;
        h.settings->setValue("knownAddrs", {{h.phone.id(), addrs}});
        ModelPorts ports = h.ports();
        std::tie(ports.transports, ports.bluetooth, ports.wake, ports.features) =
            std::tuple(links, links, links, links);
        h.model = AppModel::create(std::move(ports), false);
        h.exec->runPending();
    }
    ~Rig() { openGate(), h.model->shutdown(); }
    // With a value: the phone reports its screen off (and whether it works fast) on every session.
    static PhoneConfig phoneConfig(std::optional<bool> fast) {
        PhoneConfig c;
        if (fast)
            c.afterReady = {{Ch::control, encodeJSON({{"t", "status"}, {"screen", false}, {"fast", *fast}})}};
        return c;
    }
    AppModel& model() { return *h.model; }
    const PublishedState& state() { return h.model->state(); }
    void openGate() {
        std::lock_guard lock(links->mutex);
        if (!links->held.empty()) links->release.set_value();
        links->held.clear();
    }
    std::string key(const std::string& address) { return CandidateKey::net(h.phone.id(), address).text(); }
    // Over Bluetooth, or over the network at 10.0.0.5, with the phone in sight of the central.
    void connect(bool bt) {
        const auto make = [l = links, bt] { return bt ? l->ble("") : l->tcp({"10.0.0.5", 47625}); };
        const std::string via = bt ? "ble:AA:BB:CC:DD:EE:FF" : key("10.0.0.5");
        model().connect({"Nimbo 7", via, {}, bt ? "ble" : "tcp", h.phone.id(), false, 10, make});
        links->central.onState(5);
        links->central.onPhones({{"AA:BB:CC:DD:EE:FF", "", h.phone.id().substr(0, 16), {}, {}}});
        ASSERT_TRUE(h.pumpUntil(Kind::connected));
    }
    bool logged(const std::string& line) {
        return h.pumpUntil([&] { return count(line) > 0; });
    }
    int count(const std::string& line, std::size_t from = 0) {
        const auto at = h.log().find(line, from);
        return at == std::string::npos ? 0 : 1 + count(line, at + 1);
    }
    // Heartbeats with the phone answering each tick's ping, so only the rules under test change the link.
    void live(double seconds) {
        for (double t = 0; t < seconds - 1e-9; t += 3) {
            const double before = h.exec->now();
            h.advance(3);
            ASSERT_TRUE(h.pumpUntil(
                [&] { return !model().liveSession() || model().liveSession()->lastRx() > before; }));
        }
    }
    // Lives on until `done`, for at most a minute of the model's clock.
    bool liveUntil(const std::function<bool()>& done) {
        for (int tick = 0; tick < 20 && !done(); ++tick)
            live(3);
        return done();
    }
    void upgradeNow() { model().setLinkPrefs(state().linkPrefs); }

    test::ModelHarness h;
    std::shared_ptr<Links> links = std::make_shared<Links>();
};

// Table: past a refused first address the upgrade commits; or the live session is lost, or mirroring
// starts, while the new session opens, and the finish discards the new one.
TEST(LinkUpgrade, ABluetoothSessionMovesToTheNetworkUnlessStaleOrBusy) {
    for (const std::string row : {"commit", "stale", "busy"}) {
        SCOPED_TRACE(row);
        Rig r;
        r.connect(true);
        std::vector<Kind> seen;
        const Subscription watch = r.model().observe([&] { seen.push_back(r.state().state.kind()); });
        const auto old = r.model().liveSession();
        r.links->held = {row == "commit" ? "" : "10.0.0.5"};
        r.upgradeNow();
        if (row == "stale") old->close();
        if (row == "busy") r.model().startMirror();
        ASSERT_TRUE(r.h.pumpUntil(row == "stale" ? Kind::idle : Kind::connected));
        r.openGate();
        ASSERT_TRUE(r.logged("conexão anterior encerrada (trocada por uma melhor)"));  // old or discarded
        const std::string busy = "subida cancelada: espelhamento ou transferência começou durante a troca; ";
        EXPECT_EQ(r.count(busy + "mantendo a sessão l2cap"), int{row == "busy"});
        EXPECT_EQ(r.count("sessão encerrada"), int{row == "stale"});  // a replaced session closes quietly
        const auto kind = row == "commit" ? ConnKind::wifi : ConnKind::ble;
        EXPECT_EQ(r.state().activeKind, row == "stale" ? std::nullopt : std::optional(kind));
        if (row != "commit") continue;
        const std::string tries = r.key("10.0.0.1") + ", " + r.key("10.0.0.5");
        EXPECT_EQ(r.count("tentando subir de ble para wifi: " + tries), 1);
        EXPECT_EQ(r.count("subida falhou em "), 1);
        EXPECT_EQ(r.count("subindo para wifi (" + r.key("10.0.0.5") + "); encerrando a conexão anterior"), 1);
        EXPECT_EQ(std::tie(r.state().linkKind, r.state().bleFast), std::tuple("tcp", false));
        EXPECT_TRUE(old->closed());
        EXPECT_EQ(std::ranges::count(seen, Kind::idle), 0);
        EXPECT_FALSE(r.h.journal->waitFor(R"(phone {"t":"status.get"})").empty());
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
    r.live(42);  // the failure's rest is set on main a moment after its log line: wait for it past 45 s
    r.upgradeNow();
    EXPECT_EQ(r.count("tentando subir"), 1);
    EXPECT_TRUE(r.liveUntil([&] { return r.upgradeNow(), r.count("tentando subir") == 2; }));
}

// Table: a network session whose phone's screen stays off moves to Bluetooth and climbs back for fast work
// or the user's; or the finish aborts for a loss; or the Bluetooth link does not open and the descent rests.
TEST(IdleDescent, ANetworkSessionRestsOnBluetoothOnlyWhileNothingHappens) {
    for (const std::string row : {"fast", "user", "loss", "failure"}) {
        SCOPED_TRACE(row);
        Rig r(false, {"10.0.0.5"});
        r.connect(false);
        if (r.state().blePhones.empty()) GTEST_SKIP() << "the Bluetooth list comes with discovery";
        const auto idle = [&r](const std::string& rest) { return r.logged("modo ocioso: " + rest); };
        ASSERT_TRUE(idle("mantendo tcp: "));                 // the screen went off just now
        PhoneConfig next = Rig::phoneConfig(row == "fast");  // what the Bluetooth session reports
        next.onControl = [j = r.h.journal](const nlohmann::json& m) { j->add("phone " + m.dump()); };
        r.h.phone.setConfig(next);
        r.links->held = {row == "loss" ? "ble" : ""};
        if (row == "failure") r.links->refused = {"ble"};
        r.live(57);
        EXPECT_EQ(r.count("modo ocioso: abrindo"), 0);
        r.live(3);
        ASSERT_TRUE(idle("abrindo sessão Bluetooth antes de fechar a tcp (tela do celular apagada há 60 s)"));
        if (row == "failure") {
            ASSERT_TRUE(idle("a sessão Bluetooth não abriu ("));
            r.live(117);
            EXPECT_EQ(r.count("modo ocioso: abrindo"), 1);
            EXPECT_TRUE(r.liveUntil([&] { return r.count("modo ocioso: abrindo") == 2; }));  // heard on main
        } else if (row == "loss") {
            r.model().liveSession()->close();
            ASSERT_TRUE(r.h.pumpUntil(Kind::idle));
            r.openGate();
            ASSERT_TRUE(
                idle("o celular voltou a ser usado (ou algo começou) durante a troca; ficando em tcp"));
            ASSERT_TRUE(r.logged("conexão anterior encerrada (trocada por uma melhor)"));
            EXPECT_EQ(r.count("sessão encerrada"), 1);  // the discarded session took the quiet road
        } else {
            ASSERT_TRUE(idle("descendo para Bluetooth (l2cap); encerrando a sessão tcp"));
            std::vector<std::string> order;
            if (row == "user") {
                ASSERT_TRUE(r.h.pumpUntil([&] { return r.state().idleDescended; }));
                EXPECT_EQ(std::tie(r.state().linkKind, r.state().bleFast), std::tuple("ble", true));
                r.model().afterWake([&] { order.push_back("first over " + r.state().linkKind); });
                r.model().afterWake([&] { order.push_back("second"); });  // climbing already: at once
            }
            ASSERT_TRUE(idle(row == "fast" ? "o celular começou uma atividade rápida; subindo"
                                           : "pedido do usuário; subindo"));
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
    ASSERT_TRUE(r.h.pumpUntil([&] { return r.state().lastError.has_value(); }));
    r.links->refused.clear();
    r.links->wake();
    ASSERT_TRUE(r.logged("computador acordou: reiniciando buscas e candidatos"));
    r.h.advance(2.9);
    EXPECT_EQ(r.h.journal->all().back(), "central.start");  // paused at once, started 0.5 s later
    EXPECT_EQ(r.state().state.kind(), Kind::idle);
    r.h.advance(0.1);  // the failure's rest (4 s) would still hold: the wake forgot it
    EXPECT_TRUE(r.h.pumpUntil(Kind::connected));
}

}  // namespace
}  // namespace velmora
