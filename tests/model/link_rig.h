#pragma once

// The rig of the link-change stories: the model over the harness with every link kind reaching the
// simulated phone (loopback), a Bluetooth central that sees it, and the wake source.

#include <gtest/gtest.h>

#include <future>
#include <set>

#include "core/discovery/candidate_key.h"
#include "core/protocol/control_json.h"
#include "support/model_harness.h"

namespace velmora::test {

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

    std::shared_ptr<Journal> journal;
    std::uint16_t phonePort = 0;
    LoopbackListener stalling;
    RefusingPort refusing;
    std::mutex mutex;  // guards refused and held while workers may read them
    std::set<std::string> refused{"10.0.0.1"}, held;
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    Handlers central;
    std::function<void()> wake;
};

// The computer's network: its change reports and the default gateway they lead the model to read.
struct Network final : NetworkMonitor {
    void start(std::function<void()> onChange) override { changed = std::move(onChange); }
    void stop() override {}
    void moveTo(std::optional<std::string> to) {
        {
            std::lock_guard lock(mutex);
            gateway = std::move(to);
        }
        changed();
    }
    std::optional<std::string> read() const {
        std::lock_guard lock(mutex);
        return gateway;
    }
    mutable std::mutex mutex;  // guards gateway, read on a worker
    std::optional<std::string> gateway;
    std::function<void()> changed;  // set at start-up
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
        ports.network = network;
        ports.defaultGateway = [n = network] { return n->read(); };
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

    ModelHarness h;
    std::shared_ptr<Links> links = std::make_shared<Links>();
    std::shared_ptr<Network> network = std::make_shared<Network>();
};

}  // namespace velmora::test
