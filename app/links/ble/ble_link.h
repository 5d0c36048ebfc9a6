#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/links/ble/ble_ports.h"
#include "app/links/ble/l2cap_pump.h"
#include "core/exec/executor.h"

namespace velmora {

// A raw byte pipe to one phone over Bluetooth LE, without framing of its own. Once the central has connected
// the peripheral, the link finds the service and its characteristics, reads the phone's PSM and opens an
// L2CAP channel through an L2capPump; without a PSM, with a failed read, a refused channel or none within
// 5 s it falls back, once, to the GATT pipe (we write rx without response, the phone notifies on tx).
//
// Threads: attach() and every BlePeripheralDelegate call run on the central's queue ("tessel.ble"), as does
// the fallback timer and each GATT write step. readExactly, write and waitUntilReady block a caller thread,
// never the central's queue (a GATT write enters the queue synchronously). fail and disconnected from any
// thread. One mutex guards everything a caller thread can see.
class BleLink final : public BlePeripheralDelegate, public std::enable_shared_from_this<BleLink> {
  public:
    using SyncRunner = std::function<void(const Executor::Task&)>;

    static constexpr double l2capFallbackSeconds = 5.0;
    static constexpr double gattWriteDeadline = 20.0;
    static constexpr std::size_t minChunk = 20, maxChunk = 512;

    // `clock` bounds the GATT write and the readiness wait; `pumpLimits` go to the L2CAP pump.
    explicit BleLink(Clock& clock = SteadyClock::shared(), L2capPump::Limits pumpLimits = {});
    ~BleLink() override;

    // Set by the central before it connects: the peripheral, the queue its calls arrive on, and how to run a
    // step on that queue and wait for it.
    void attach(std::shared_ptr<BlePeripheral> peripheral, Executor& queue, SyncRunner sync);
    std::shared_ptr<BlePeripheral> peripheral() const;

    Bytes readExactly(std::size_t n);
    void write(ByteView data);
    // Ends the link with `error`, replacing an earlier failure.
    void fail(std::exception_ptr error);
    // Ends the link; the first failure stays (CXPError::closed when there was none and `error` is null).
    void disconnected(std::exception_ptr error);
    // "gatt" until an L2CAP channel is open, then "l2cap".
    std::string mode() const;

    // Waits until the link is ready (null), ends (its failure, CXPError::closed without one) or `deadline` on
    // the link's clock passes (CXPError::timedOut). Readiness wins over a failure that came after it.
    std::exception_ptr waitUntilReady(double deadline);

    // BlePeripheralDelegate
    void didDiscoverServices(std::exception_ptr error, bool hasService) override;
    void didDiscoverCharacteristics(std::exception_ptr error, bool rx, bool tx, bool psm) override;
    void didReadPsm(std::exception_ptr error, std::optional<Bytes> value) override;
    void didNotify(ByteView value) override;
    void didOpenChannel(std::exception_ptr error, UniqueFd socket, std::uint16_t psm) override;
    void didUpdateNotificationState(std::exception_ptr error, bool notifying) override;
    void isReadyToSendWriteWithoutResponse() override;

    // The PSM of the psm characteristic's value (two bytes, little-endian; more are ignored); absent for a
    // value under two bytes. 0 means the phone offers no channel.
    static std::optional<std::uint16_t> parsePsm(ByteView value);

  private:
    void startGatt(const std::string& reason);
    void endPump(std::exception_ptr error);

    Clock& clock_;
    const L2capPump::Limits pumpLimits_;

    // Central's queue only.
    Executor* queue_ = nullptr;
    bool hasTx_ = false;
    bool hasPsm_ = false;
    bool gattStarted_ = false;
    TimerHandle fallback_;

    mutable std::mutex mutex_;  // guards everything below
    std::condition_variable changed_;
    std::shared_ptr<BlePeripheral> peripheral_;
    SyncRunner sync_;
    bool hasRx_ = false;
    Bytes buffer_;
    bool ready_ = false;
    bool closed_ = false;
    std::exception_ptr failure_;
    std::shared_ptr<L2capPump> pump_;
    std::string mode_ = "gatt";
};

}  // namespace velmora
