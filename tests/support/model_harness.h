#pragma once

// The one harness of the model stories: an AppModel on a manual executor with its fake clock, settings in
// memory, a temporary peer store, a fake for every port, and the simulated phone listening on loopback TCP.

#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <semaphore>
#include <thread>

#include "app/model/app_model.h"
#include "core/errors/cxp_error.h"
#include "core/exec/manual_executor.h"
#include "core/identity/file_peer_store.h"
#include "core/log/velmora_log.h"
#include "core/loopback.h"
#include "core/settings/memory_settings.h"
#include "core/transport/tcp_transport.h"
#include "support/fake_clipboard.h"
#include "support/fake_dns_sd_browser.h"
#include "support/log_folder.h"
#include "support/simulated_phone.h"
#include "support/temp_dir.h"

namespace velmora::test {

// What the fakes were asked, in order, so that a test can read the start-up order or prove that nothing
// started. Any thread.
struct Journal {
    void add(std::string entry) {
        {
            std::lock_guard lock(mutex);
            entries.push_back(std::move(entry));
        }
        added.notify_all();
    }
    std::vector<std::string> all() const {
        std::lock_guard lock(mutex);
        return entries;
    }
    int count(const std::string& entry) const { return static_cast<int>(std::ranges::count(all(), entry)); }
    // The rest of each entry that starts with `prefix`, in order.
    std::vector<std::string> after(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& entry : all())
            if (entry.starts_with(prefix)) out.push_back(entry.substr(prefix.size()));
        return out;
    }
    // Waits (bounded) for an entry that starts with `prefix`: the first such, or "" when none came.
    std::string waitFor(const std::string& prefix) {
        std::unique_lock lock(mutex);
        auto found = entries.end();
        added.wait_for(lock, std::chrono::minutes(1), [&] {
            found =
                std::ranges::find_if(entries, [&](const std::string& e) { return e.starts_with(prefix); });
            return found != entries.end();
        });
        return found == entries.end() ? "" : *found;
    }
    mutable std::mutex mutex;  // guards entries
    std::condition_variable added;
    std::vector<std::string> entries;
};

// Every port, one instance for each, named: a call is journaled as "<name>.<call>". Transports all go to the
// simulated phone's loopback port, journaled with the endpoint asked for (on the attempts' threads);
// publish() stands for the cable bridge reporting its phones. The pairing prompt holds the connecting
// thread until the test answers (one prompt for each harness), as the dialog does.
struct SystemPorts : TransportFactory, DnsSdBrowser, BluetoothCentral, UsbLink, NetworkMonitor, WakeSource {};
struct FakePort final : SystemPorts, Alerts, HostName, PairingPrompt, FeatureHalf, NotificationServer {
    FakePort(std::shared_ptr<Journal> j, std::string n) : journal(std::move(j)), name(std::move(n)) {}
    std::shared_ptr<ConnectableTransport> tcp(const TcpEndpoint& endpoint) override {
        return open("tcp " + endpoint.host + ":" + std::to_string(endpoint.port));
    }
    std::shared_ptr<ConnectableTransport> ble(const std::string& id) override { return open("ble " + id); }
    std::string label(const ConnectableTransport&, const std::string& kind) const override { return kind; }
    void start(const std::string&, DnsSdBrowser::Handlers) override { note("start"); }
    void start(std::function<void()>) override { note("start"); }
    void start() override { note("start"); }
    void stop() override { note("stop"); }
    void setHandlers(BluetoothCentral::Handlers h) override {
        note("handlers");
        central = std::move(h);
    }
    void pause() override { note("pause"); }
    void setOnChange(std::function<void(std::vector<DiscoveredPhone>)> handler) override {
        note("onChange");
        publish = std::move(handler);
    }
    void removeCreatedForwards() override { note("removeForwards"); }
    void showFatal(const std::string& title, const std::string& text) override { note(title + " | " + text); }
    void exitProcess(int status) override { note("exit " + std::to_string(status)); }
    std::size_t choose(const std::string&, const std::string&, const std::vector<std::string>&) override {
        return choice;
    }
    std::string computerName() const override { return computer; }
    bool confirm(const Peer& peer, const std::string& code) override {
        note("shown " + peer.name + " " + code);
        return journal->waitFor(name + ".said ") == name + ".said yes";
    }
    void dismissAll() override { note("said dismissed"); }
    void answer(bool yes) { note(yes ? "said yes" : "said no"); }
    void sessionEnded(bool wait) override { note(wait ? "ended wait" : "ended"); }
    bool start(std::function<void(const NoticeEvent&)>) override {
        note("start");
        return !serverDown;
    }
    void show(const DesktopNotice& notice) override { note("show " + notice.title); }
    void withdraw(const std::string& id) override { note("withdraw " + id); }

    void note(const std::string& call) { journal->add(name + "." + call); }
    std::shared_ptr<ConnectableTransport> open(std::string entry) {
        journal->add(std::move(entry));
        return std::make_shared<TcpTransport>("127.0.0.1", port.load());
    }
    std::shared_ptr<Journal> journal;
    std::string name;
    std::atomic<std::uint16_t> port{0};                         // the phone's, for transports
    std::function<void(std::vector<DiscoveredPhone>)> publish;  // set at start-up, before any use
    BluetoothCentral::Handlers central;                         // likewise
    std::string computer = "Estação";                           // the host name
    std::size_t choice = 0;                                     // the button the user picks
    std::atomic<bool> serverDown{false};                        // as notifications: no server answers
};

// The desktop's file services over a temporary downloads folder; reveal and open are journaled as
// "workspace.reveal <path>" and "workspace.open <path>".
struct FakeWorkspace final : Workspace {
    FakeWorkspace(std::shared_ptr<Journal> j, std::filesystem::path d)
        : journal(std::move(j)), downloads(std::move(d)) {}
    std::filesystem::path downloadsFolder() const override { return downloads; }
    void reveal(const std::filesystem::path& f) override { journal->add("workspace.reveal " + f.string()); }
    void open(const std::filesystem::path& f) override { journal->add("workspace.open " + f.string()); }
    std::vector<std::filesystem::path> pickFiles() override { return {}; }  // the user cancels
    std::shared_ptr<Journal> journal;
    std::filesystem::path downloads;
};

// The manual executor, plus a wake-up for the test thread whenever a worker posts.
class PumpedExecutor final : public Executor {
  public:
    void post(Task task) override {
        inner_.post(std::move(task));
        posted_.release();
    }
    TimerHandle postAfter(double delaySeconds, Task task) override {
        auto handle = inner_.postAfter(delaySeconds, std::move(task));
        posted_.release();
        return handle;
    }
    double now() const override { return inner_.now(); }
    int runPending() { return inner_.runPending(); }
    int advance(double seconds) { return inner_.advance(seconds); }
    void waitForPost() { (void)posted_.try_acquire_for(std::chrono::milliseconds(20)); }

  private:
    ManualExecutor inner_;
    std::counting_semaphore<> posted_{0};
};

// The phone journals each control message it receives as "phone <json>" and each connection it accepts on
// its loopback port, served on a thread of its own, as "server.accepted".
class ModelHarness {
  public:
    explicit ModelHarness(PhoneConfig config = {})
        : phone((
              config.onControl = [j = journal](const nlohmann::json& m) { j->add("phone " + m.dump()); },
              std::move(config))) {
        sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof a;
        check(::bind(listening_.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0, "bind");
        check(::getsockname(listening_.get(), reinterpret_cast<sockaddr*>(&a), &length) == 0, "getsockname");
        check(::listen(listening_.get(), 16) == 0, "listen");
        transports->port = ntohs(a.sin_port);
        accepting_ = std::thread([this] {
            for (UniqueFd fd;
                 (fd = UniqueFd(::accept4(listening_.get(), nullptr, nullptr, SOCK_CLOEXEC))).valid();) {
                phoneEnds_.push_back(std::make_shared<TcpTransport>(std::move(fd)));
                served_.push_back(phone.serveAsync(phoneEnds_.back()));
                journal->add("server.accepted");
            }
        });
    }
    ~ModelHarness() {
        if (model) model->shutdown();
        hangUp();
    }
    // From now on the phone's port refuses; connections being served are hung up.
    void hangUp() {
        if (!accepting_.joinable()) return;
        ::shutdown(listening_.get(), SHUT_RDWR);  // wakes the blocked accept
        accepting_.join();
        for (auto& end : phoneEnds_)
            end->close();
        for (auto& served : served_)
            served.wait();
    }

    ModelPorts ports() {
        auto load = [this](const std::string& name) -> std::unique_ptr<Identity> {
            if (identityFails) throw CXPError::identityUnavailable(-1);
            return std::make_unique<SoftwareIdentity>(name, "mac", key);
        };
        auto port = [&](const char* name) { return std::make_shared<FakePort>(journal, name); };
        auto sameSubnet = [](const std::string&) { return true; };
        auto reveal = [j = journal](const std::string& path) { j->add("reveal " + path); };
        ModelPorts p{exec,       settings, load,         dir.path(),      transports,   browser,   ble,
                     usb,        prompt,   alerts,       port("network"), port("wake"), host,      features,
                     sameSubnet, {},       {},           notices,         reveal,       clipboard, workspace,
                     {},         {},       makeInstaller};  // in order: mirroring, then the installer
        p.defaultGateway = [g = gateway] { return g; };
        return p;
    }
    AppModel& start() {
        model = AppModel::create(ports(), false);
        exec->runPending();
        return *model;
    }
    // Both sides count each other as paired.
    void pairBothSides() {
        FilePeerStore(dir.path() / "peers.json")
            .save(Peer{phone.id(), phone.identity().publicX963(), "Nimbo 7", "android"});
        phone.remember(computer.id());
    }
    // The phone on a cable whose serial has connected before: the planner's first choice.
    void plugInCable() {
        settings->setValue("usbKnown", nlohmann::json::array({"R58N123"}));
        DiscoveredPhone cable;
        cable.id = "usb:R58N123";
        cable.name = "Nimbo 7";
        cable.endpoint = TcpEndpoint{"127.0.0.1", 40001};
        usb->publish({cable});
        exec->runPending();
    }
    // What the user's "connect" to the phone's address asks for.
    ConnectRequest userConnect() const {
        return {"Nimbo 7", "manual:127.0.0.1", std::nullopt, "tcp", std::nullopt, true, 4, [t = transports] {
                    return t->tcp({"127.0.0.1", AppModel::phonePort});
                }};
    }

    // Runs the main executor until `done`, waiting for the workers' posts; false after a minute.
    bool pumpUntil(const std::function<bool()>& done) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        for (;;) {
            exec->runPending();
            if (eachTurn) eachTurn();
            if (done()) return true;
            if (std::chrono::steady_clock::now() > giveUp) return false;
            exec->waitForPost();
        }
    }
    bool pumpUntil(ConnState::Kind kind) {
        return pumpUntil([&] { return model->state().state.kind() == kind; });
    }
    void advance(double seconds) { exec->advance(seconds); }
    // Moves the clock in small steps, letting every attempt that falls due run to its end on the way.
    void advanceSettled(double seconds, double step = 0.1) {
        for (double done = 0; done < seconds - 1e-9; done += step) {
            advance(step);
            pumpUntil([&] { return model->state().state.kind() != ConnState::Kind::connecting; });
        }
    }
    // The control messages of one type the phone received, once there are `n` (fewer after a minute).
    std::vector<nlohmann::json> phoneGot(const std::string& type, std::size_t n = 1) {
        std::vector<nlohmann::json> got;
        pumpUntil([&] {
            got.clear();
            for (const auto& entry : journal->all())
                if (entry.starts_with("phone ") && nlohmann::json::parse(entry.substr(6))["t"] == type)
                    got.push_back(nlohmann::json::parse(entry.substr(6)));
            return got.size() >= n;
        });
        return got;
    }
    std::string log() const {
        VelmoraLog::flush();
        return readFile(VelmoraLog::file());
    }

    TempDir dir;
    LogFolder logFolder{dir.path() / "log"};
    std::shared_ptr<PumpedExecutor> exec = std::make_shared<PumpedExecutor>();
    std::shared_ptr<MemorySettings> settings = std::make_shared<MemorySettings>();
    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
    std::shared_ptr<FakePort> transports = std::make_shared<FakePort>(journal, "transports");
    std::shared_ptr<FakeDnsSdBrowser> browser =
        std::make_shared<FakeDnsSdBrowser>([j = journal](std::string e) { j->add(std::move(e)); });
    std::shared_ptr<FakePort> usb = std::make_shared<FakePort>(journal, "usb");
    std::shared_ptr<FakePort> ble = std::make_shared<FakePort>(journal, "ble");
    std::shared_ptr<FakePort> alerts = std::make_shared<FakePort>(journal, "alerts");
    std::shared_ptr<FakePort> host = std::make_shared<FakePort>(journal, "host");
    std::shared_ptr<FakePort> features = std::make_shared<FakePort>(journal, "features");
    std::shared_ptr<FakePort> prompt = std::make_shared<FakePort>(journal, "prompt");
    std::shared_ptr<FakePort> notices = std::make_shared<FakePort>(journal, "notices");
    std::shared_ptr<FakeClipboard> clipboard = std::make_shared<FakeClipboard>();
    std::shared_ptr<FakeWorkspace> workspace =
        std::make_shared<FakeWorkspace>(journal, dir.path() / "Downloads");
    std::optional<std::string> gateway;  // the route table's default gateway, as start() finds it
    bool identityFails = false;
    // Makes the model's installer; unset: the model's own, which never finds a phone.
    std::function<std::unique_ptr<CompanionInstaller>(std::optional<std::string>)> makeInstaller;
    std::function<void()> eachTurn;  // more work for each turn of the pumps (a Qt event loop)
    P256PrivateKey key = P256PrivateKey::generate();
    SoftwareIdentity computer{"Estação", "mac", key};

    SimulatedPhone phone;
    std::shared_ptr<AppModel> model;

  private:
    UniqueFd listening_{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};  // refuses once shut down
    std::vector<std::shared_ptr<TcpTransport>> phoneEnds_;  // this and served_: the accepting thread's
    std::vector<std::future<PhoneOutcome>> served_;
    std::thread accepting_;
};

}  // namespace velmora::test
