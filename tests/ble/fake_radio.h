#pragma once

#include <sys/socket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/links/ble/ble_central.h"
#include "core/errors/cxp_error.h"
#include "core/exec/manual_executor.h"
#include "core/posix/unique_fd.h"

namespace velmora::test {

// A peripheral that records what the link asks of it. With `answer` set it plays the companion app:
// service, characteristics, PSM 0x0081 and a channel whose other end is kept in `phoneEnd`.
// `mutex` guards what the test reads from another thread.
class FakePeripheral final : public BlePeripheral {
  public:
    FakePeripheral(BleCentral& central, BleId id) : central_(central), id_(std::move(id)) {}

    void setDelegate(std::weak_ptr<BlePeripheralDelegate> delegate) override { delegate_ = delegate; }
    void connect() override {
        if (note("connect")) central_.radioConnected(id_);
    }
    void cancelConnection() override { note("cancel"); }
    void discoverServices() override {
        reply("services", [](auto& d) { d.didDiscoverServices(nullptr, true); });
    }
    void discoverCharacteristics() override {
        reply("characteristics", [](auto& d) { d.didDiscoverCharacteristics(nullptr, true, true, true); });
    }
    void readPsm() override {
        reply("psm", [](auto& d) { d.didReadPsm(nullptr, Bytes{0x81, 0x00}); });
    }
    void openL2capChannel(std::uint16_t psm) override {
        int fds[2];
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds);
        auto ours = std::make_shared<UniqueFd>(fds[0]);
        reply("l2cap " + std::to_string(psm),
              [ours, psm](auto& d) { d.didOpenChannel(nullptr, std::move(*ours), psm); });
        std::lock_guard lock(mutex);
        phoneEnd = UniqueFd(fds[1]);
    }
    void enableTxNotifications() override { note("notify"); }
    std::size_t maximumWriteLength() const override { return maxWrite; }
    bool canSendWriteWithoutResponse() const override {
        ++sendChecks;
        return canSend;
    }
    void writeRx(ByteView chunk) override {
        std::lock_guard lock(mutex);
        writes.emplace_back(chunk.begin(), chunk.end());
    }

    std::vector<std::string> takeCalls() {
        std::lock_guard lock(mutex);
        return std::exchange(calls, {});
    }

    std::mutex mutex;  // guards calls, writes, phoneEnd
    std::vector<std::string> calls;
    std::vector<Bytes> writes;
    UniqueFd phoneEnd;
    bool answer = false;
    std::size_t maxWrite = 182;
    std::atomic<bool> canSend = true;
    mutable std::atomic<int> sendChecks = 0;

  private:
    bool note(std::string call) {
        std::lock_guard lock(mutex);
        calls.push_back(std::move(call));
        return answer;
    }
    template <class F>
    void reply(std::string call, F step) {
        if (!note(std::move(call))) return;
        central_.queue().post([weak = delegate_, step] {
            if (auto d = weak.lock()) step(*d);
        });
    }

    BleCentral& central_;
    const BleId id_;
    std::weak_ptr<BlePeripheralDelegate> delegate_;
};

class FakeRadio final : public BleRadio {
  public:
    RadioState state() const override { return state_; }
    void startScan() override { ++starts; }
    void stopScan() override { ++stops; }
    std::shared_ptr<BlePeripheral> peripheral(const BleId& id) override {
        std::lock_guard lock(mutex_);
        const auto it = known.find(id);
        return it == known.end() ? nullptr : it->second;
    }
    std::shared_ptr<FakePeripheral> add(BleCentral& central, const BleId& id) {
        std::lock_guard lock(mutex_);
        return known[id] = std::make_shared<FakePeripheral>(central, id);
    }

    std::atomic<RadioState> state_ = RadioState::poweredOn;
    std::atomic<int> starts = 0, stops = 0;

  private:
    std::mutex mutex_;  // guards known
    std::map<BleId, std::shared_ptr<FakePeripheral>> known;
};

// A started central on a manual queue and a manual main executor sharing the queue's fake clock.
struct RadioRig {
    RadioRig() {
        central.start();
        settle();
    }
    void settle() {
        queue->runPending();
        main.runPending();
    }
    void advance(double seconds) {
        queue->advance(seconds);
        main.runPending();
    }

    FakeRadio radio;
    std::shared_ptr<ManualExecutor> queue = std::make_shared<ManualExecutor>();
    ManualExecutor main;
    BleCentral central{radio, queue, main};
};

inline CXPError caught(const std::function<void()>& call) {
    try {
        call();
    } catch (const CXPError& e) {
        return e;
    }
    ADD_FAILURE() << "no CXPError";
    return CXPError::timedOut();
}

}  // namespace velmora::test
