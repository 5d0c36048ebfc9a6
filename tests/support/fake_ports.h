#pragma once

// A fake for every port of the application model. Each writes what it was asked into one shared journal, in
// order, so that a test can read the start-up order or prove that nothing started.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/model/features/feature_half.h"
#include "app/model/ports/alerts.h"
#include "app/model/ports/bluetooth_central.h"
#include "app/model/ports/dns_sd_browser.h"
#include "app/model/ports/host_name.h"
#include "app/model/ports/network_monitor.h"
#include "app/model/ports/pairing_prompt.h"
#include "app/model/ports/transport_factory.h"
#include "app/model/ports/usb_link.h"
#include "app/model/ports/wake_source.h"
#include "core/transport/tcp_transport.h"

namespace velmora::test {

// Any thread.
class Journal {
  public:
    void add(std::string entry) {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    int count(const std::string& entry) const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count(entries_.begin(), entries_.end(), entry));
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

// Every TCP (and Bluetooth) transport goes to the simulated phone's loopback port, whatever the endpoint;
// the endpoints asked for are kept. Called on the attempts' threads.
class FakeTransports final : public TransportFactory {
  public:
    explicit FakeTransports(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}

    std::shared_ptr<ConnectableTransport> tcp(const TcpEndpoint& endpoint) override {
        journal_->add("tcp " + endpoint.host + ":" + std::to_string(endpoint.port));
        return std::make_shared<TcpTransport>("127.0.0.1", port_.load());
    }
    std::shared_ptr<ConnectableTransport> ble(const std::string& id) override {
        journal_->add("ble " + id);
        return std::make_shared<TcpTransport>("127.0.0.1", port_.load());
    }
    std::string label(const ConnectableTransport&, const std::string& kind) const override { return kind; }

    void routeTo(std::uint16_t port) { port_.store(port); }

  private:
    std::shared_ptr<Journal> journal_;
    std::atomic<std::uint16_t> port_{0};
};

// The ports that only need to say what they were asked write it into the journal.
struct Journaling {
    explicit Journaling(std::shared_ptr<Journal> j) : journal(std::move(j)) {}
    std::shared_ptr<Journal> journal;
};

struct FakeBrowser final : DnsSdBrowser, Journaling {
    using Journaling::Journaling;
    void start(Handlers) override { journal->add("browser.start"); }
    void stop() override { journal->add("browser.stop"); }
};

struct FakeBluetooth final : BluetoothCentral, Journaling {
    using Journaling::Journaling;
    void setHandlers(Handlers) override { journal->add("ble.handlers"); }
    void start() override { journal->add("ble.start"); }
    void pause() override { journal->add("ble.pause"); }
};

// publish() stands for the bridge's queue reporting the cable phones.
struct FakeUsb final : UsbLink, Journaling {
    using Journaling::Journaling;
    void setOnChange(std::function<void(std::vector<DiscoveredPhone>)> handler) override {
        journal->add("usb.onChange");
        handler_ = std::move(handler);
    }
    void start() override { journal->add("usb.start"); }
    void stop() override { journal->add("usb.stop"); }
    void removeCreatedForwards() override { journal->add("usb.removeForwards"); }
    void publish(std::vector<DiscoveredPhone> phones) const { handler_(std::move(phones)); }

  private:
    std::function<void(std::vector<DiscoveredPhone>)> handler_;  // set at start-up, before any publish
};

// Holds the connecting thread until the test answers, as the dialog does.
class FakePrompt final : public PairingPrompt {
  public:
    bool confirm(const Peer& peer, const std::string& code) override {
        std::unique_lock lock(mutex_);
        shown_.push_back(peer.name + " " + code);
        changed_.notify_all();
        changed_.wait(lock, [&] { return answer_.has_value() || dismissed_; });
        const bool yes = !dismissed_ && *answer_;
        answer_.reset();
        return yes;
    }
    void dismissAll() override {
        std::lock_guard lock(mutex_);
        dismissed_ = true;
        changed_.notify_all();
    }
    // Waits (bounded) until a prompt shows; its "name code" text, or "" when none came.
    std::string waitShown() {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(60), [&] { return !shown_.empty(); });
        return shown_.empty() ? "" : shown_.back();
    }
    void answer(bool yes) {
        std::lock_guard lock(mutex_);
        answer_ = yes;
        changed_.notify_all();
    }
    std::size_t shownCount() const {
        std::lock_guard lock(mutex_);
        return shown_.size();
    }

  private:
    mutable std::mutex mutex_;  // guards all below
    std::condition_variable changed_;
    std::vector<std::string> shown_;
    std::optional<bool> answer_;
    bool dismissed_ = false;
};

struct FakeAlerts final : Alerts {
    void showFatal(const std::string& title, const std::string& text) override {
        shown = title + " | " + text;
    }
    void exitProcess(int status) override { exitStatus = status; }
    std::string shown;
    std::optional<int> exitStatus;
};

// The network monitor and the wake source: fire() stands for the system telling of a change.
struct FakeSignal final : NetworkMonitor, WakeSource, Journaling {
    FakeSignal(std::shared_ptr<Journal> j, std::string n) : Journaling(std::move(j)), name(std::move(n)) {}
    void start(std::function<void()> callback) override {
        journal->add(name + ".start");
        fire = std::move(callback);
    }
    void stop() override { journal->add(name + ".stop"); }
    std::string name;
    std::function<void()> fire;
};

struct FakeHostName final : HostName {
    std::string computerName() const override { return name; }
    std::string name = "Estação";
};

struct RecordingFeatures final : FeatureHalf, Journaling {
    using Journaling::Journaling;
    void refreshPermissions() override { journal->add("features.permissions"); }
    void setUpNotifications() override { journal->add("features.notifications"); }
    void clipboardTick() override { ++clipboardTicks; }
    void sessionEnded(bool wait) override {
        journal->add(std::string("features.sessionEnded ") + (wait ? "wait" : "close"));
    }
    void notifyLocal(const std::string& title, const std::string&) override {
        journal->add("notify " + title);
    }
    int clipboardTicks = 0;
};

}  // namespace velmora::test
