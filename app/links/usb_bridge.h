#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/discovery/discovered_phone.h"
#include "core/exec/executor.h"
#include "core/process/process_runner.h"

namespace velmora {

// Finds the Android phones on the USB cable through adb, keeps a forward from a local port to each phone's
// port 47625, and publishes the phones whenever the list changes: id "usb:" + serial, the model (or serial)
// followed by the "phone.suffix.usb" text as name, and 127.0.0.1 with the forward's port as endpoint.
//
// Threads: start(), stop(), setOnChange() and removeCreatedForwards() are called from the main thread
// (removeCreatedForwards runs its adb commands there, at shutdown). Polls run on the bridge's queue
// ("corvix.usb" in the application), one at a time; onChange is called on that queue and its receiver
// moves to its own thread without waiting for it. The bridge must not be destroyed from its own queue.
class UsbBridge {
  public:
    using PhonesHandler = std::function<void(const std::vector<DiscoveredPhone>&)>;

    static constexpr double firstPollDelay = 1.0;
    static constexpr double pollInterval = 3.0;
    static constexpr double commandTimeout = 6.0;
    static constexpr std::uint16_t phonePort = 47625;

    // The application's bridge: the adb that AdbLocator finds for the user's home folder, its own serial
    // queue "corvix.usb" and the posix process runner.
    UsbBridge();
    // `queue` runs the polls (tests pass a ManualExecutor); `runner` runs adb, and the watchdog ends any
    // adb command still running after `watchdogSeconds`.
    UsbBridge(std::optional<std::string> adbPath, std::shared_ptr<Executor> queue,
              std::shared_ptr<ProcessRunner> runner, double watchdogSeconds = commandTimeout);
    ~UsbBridge();
    UsbBridge(const UsbBridge&) = delete;
    UsbBridge& operator=(const UsbBridge&) = delete;

    const std::optional<std::string>& adbPath() const;
    void setOnChange(PhonesHandler handler);

    // Polls 1 s from now, then every 3 s. Nothing without adb, and nothing more when already polling.
    void start();
    // Ends polling and forgets what was published, so that after start() the phones still on the cable are
    // published again (the receiver empties its own list when it stops us).
    void stop();
    // Removes the forwards this bridge created (never one it found and reused). Waits for a poll in flight
    // (call stop() first), so a forward that poll creates is removed too.
    void removeCreatedForwards();

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::shared_ptr<Executor> queue_;  // destroyed first: an owned queue joins while the state still lives
};

}  // namespace velmora
