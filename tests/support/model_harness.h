#pragma once

// The one harness of the model stories: an AppModel on a manual executor with its fake clock, settings in
// memory, a temporary peer store, a fake for every port, and the simulated phone listening on loopback TCP.

#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "app/model/app_model.h"
#include "core/errors/cxp_error.h"
#include "core/exec/manual_executor.h"
#include "core/identity/file_peer_store.h"
#include "core/log/velmora_log.h"
#include "core/loopback.h"
#include "core/settings/memory_settings.h"
#include "support/fake_ports.h"
#include "support/simulated_phone.h"
#include "support/temp_dir.h"

namespace velmora::test {

// The manual executor, plus a wake-up for the test thread whenever a worker posts.
class PumpedExecutor final : public Executor {
  public:
    void post(Task task) override {
        inner_.post(std::move(task));
        poke();
    }
    TimerHandle postAfter(double delaySeconds, Task task) override {
        auto handle = inner_.postAfter(delaySeconds, std::move(task));
        poke();
        return handle;
    }
    double now() const override { return inner_.now(); }
    int runPending() { return inner_.runPending(); }
    int advance(double seconds) { return inner_.advance(seconds); }
    void waitForPost() {
        std::unique_lock lock(mutex_);
        poked_.wait_for(lock, std::chrono::milliseconds(20), [&] { return posted_; });
        posted_ = false;
    }

  private:
    void poke() {
        {
            std::lock_guard lock(mutex_);
            posted_ = true;
        }
        poked_.notify_all();
    }
    ManualExecutor inner_;
    std::mutex mutex_;  // guards posted_
    std::condition_variable poked_;
    bool posted_ = false;
};

// The simulated phone accepting connections on a loopback port until stop(), each served on its own thread.
class PhoneServer {
  public:
    explicit PhoneServer(SimulatedPhone& phone)
        : phone_(phone), fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof a;
        check(::bind(fd_.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0, "bind");
        check(::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&a), &length) == 0, "getsockname");
        check(::listen(fd_.get(), 16) == 0, "listen");
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { acceptAll(); });
    }
    ~PhoneServer() { stop(); }
    std::uint16_t port() const { return port_; }
    int connections() const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(served_.size());
    }
    // From now on the port refuses; connections being served are hung up.
    void stop() {
        if (!thread_.joinable()) return;
        ::shutdown(fd_.get(), SHUT_RDWR);  // wakes the blocked accept
        thread_.join();
        std::lock_guard lock(mutex_);
        for (auto& transport : transports_)
            transport->close();
        for (auto& served : served_)
            served.wait();
    }

  private:
    void acceptAll() {
        for (;;) {
            UniqueFd fd(::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!fd.valid()) return;
            auto transport = std::make_shared<TcpTransport>(std::move(fd));
            std::lock_guard lock(mutex_);
            transports_.push_back(transport);
            served_.push_back(phone_.serveAsync(transport));
        }
    }

    SimulatedPhone& phone_;
    UniqueFd fd_;  // listening; stays open (refusing once shut down) until the server dies
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;  // guards transports_ and served_
    std::vector<std::shared_ptr<TcpTransport>> transports_;
    std::list<std::future<PhoneOutcome>> served_;
    std::thread thread_;
};

// The computer's key under the name the model asks for.
class NamedIdentity final : public Identity {
  public:
    NamedIdentity(const SoftwareIdentity& key, std::string name) : key_(key), name_(std::move(name)) {}
    const Bytes& publicX963() const override { return key_.publicX963(); }
    const std::string& deviceName() const override { return name_; }
    const std::string& platform() const override { return key_.platform(); }
    Bytes sign(ByteView data) const override { return key_.sign(data); }

  private:
    const SoftwareIdentity& key_;
    std::string name_;
};

class ModelHarness {
  public:
    static constexpr const char* serial = "R58N123";

    explicit ModelHarness(PhoneConfig config = {}) : phone(withRecorder(std::move(config))), server(phone) {
        VelmoraLog::setFolder(dir.path() / "log");
        transports->routeTo(server.port());
    }
    ~ModelHarness() {
        if (model) model->shutdown();
        server.stop();
    }

    ModelPorts ports() {
        ModelPorts p;
        p.main = exec;
        p.settings = settings;
        p.loadIdentity = [this](const std::string& name) -> std::unique_ptr<Identity> {
            if (identityFails) throw CXPError::identityUnavailable(-1);
            return std::make_unique<NamedIdentity>(computer, name);
        };
        p.supportDir = dir.path();
        p.transports = transports;
        p.browser = browser;
        p.bluetooth = bluetooth;
        p.usb = usb;
        p.pairing = prompt;
        p.alerts = alerts;
        p.network = network;
        p.wake = wake;
        p.hostName = hostName;
        p.features = features;
        p.sameSubnet = [](const std::string&) { return true; };
        return p;
    }
    AppModel& start(bool preview = false) {
        model = AppModel::create(ports(), preview);
        exec->runPending();
        return *model;
    }
    // Both sides count each other as paired.
    void pairBothSides() {
        FilePeerStore(dir.path() / "peers.json")
            .save(Peer{phone.id(), phone.identity().publicX963(), "Pixel 7", "android"});
        phone.remember(computer.id());
    }
    // The phone on a cable whose serial has connected before: the planner's first choice.
    void plugInCable() {
        settings->setValue("usbKnown", nlohmann::json::array({serial}));
        DiscoveredPhone phone;
        phone.id = std::string("usb:") + serial;
        phone.name = "Pixel 7";
        phone.endpoint = TcpEndpoint{"127.0.0.1", 40001};
        usb->publish({phone});
        exec->runPending();
    }

    // Runs the main executor until `done`, waiting for the workers' posts; false after a minute.
    bool pumpUntil(const std::function<bool()>& done) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        for (;;) {
            exec->runPending();
            if (done()) return true;
            if (std::chrono::steady_clock::now() > giveUp) return false;
            exec->waitForPost();
        }
    }
    bool pumpUntil(ConnState::Kind kind) {
        return pumpUntil([&] { return model->state().state.kind() == kind; });
    }
    // The fake clock moves on by `seconds`, running what falls due.
    void advance(double seconds) { exec->advance(seconds); }
    // Moves the clock in small steps, letting every attempt that falls due run to its end on the way.
    void advanceSettled(double seconds, double step = 0.1) {
        for (double done = 0; done < seconds - 1e-9; done += step) {
            advance(step);
            pumpUntil([&] { return model->state().state.kind() != ConnState::Kind::connecting; });
        }
    }
    // Advances one heartbeat and waits for the phone's answer, so the link counts as alive.
    void aliveTick() {
        const auto session = model->liveSession();
        advance(AppModel::heartbeatInterval);
        pumpUntil([&] { return session->lastRx() >= exec->now(); });
    }
    // The control messages the phone received, by type, in order.
    std::vector<std::string> received() const {
        std::lock_guard lock(received_->mutex);
        return received_->types;
    }
    std::string log() const {
        VelmoraLog::flush();
        return readFile(VelmoraLog::file());
    }

    TempDir dir;
    std::shared_ptr<PumpedExecutor> exec = std::make_shared<PumpedExecutor>();
    std::shared_ptr<MemorySettings> settings = std::make_shared<MemorySettings>();
    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
    std::shared_ptr<FakeTransports> transports = std::make_shared<FakeTransports>(journal);
    std::shared_ptr<FakeBrowser> browser = std::make_shared<FakeBrowser>(journal);
    std::shared_ptr<FakeBluetooth> bluetooth = std::make_shared<FakeBluetooth>(journal);
    std::shared_ptr<FakeUsb> usb = std::make_shared<FakeUsb>(journal);
    std::shared_ptr<FakePrompt> prompt = std::make_shared<FakePrompt>();
    std::shared_ptr<FakeAlerts> alerts = std::make_shared<FakeAlerts>();
    std::shared_ptr<FakeSignal> network = std::make_shared<FakeSignal>(journal, "network");
    std::shared_ptr<FakeSignal> wake = std::make_shared<FakeSignal>(journal, "wake");
    std::shared_ptr<FakeHostName> hostName = std::make_shared<FakeHostName>();
    std::shared_ptr<RecordingFeatures> features = std::make_shared<RecordingFeatures>(journal);
    bool identityFails = false;
    SoftwareIdentity computer{"Estação", "mac"};
    struct Received {
        std::mutex mutex;  // guards types
        std::vector<std::string> types;
        std::vector<nlohmann::json> caps;
    };
    std::shared_ptr<Received> received_ = std::make_shared<Received>();
    SimulatedPhone phone;
    PhoneServer server;
    std::shared_ptr<AppModel> model;

  private:
    PhoneConfig withRecorder(PhoneConfig config) {
        config.onControl = [received = received_, next = config.onControl](const nlohmann::json& m) {
            {
                std::lock_guard lock(received->mutex);
                received->types.push_back(m.value("t", ""));
                if (m.value("t", "") == "caps") received->caps.push_back(m);
            }
            if (next) next(m);
        };
        return config;
    }
};

}  // namespace velmora::test
