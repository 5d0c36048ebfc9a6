#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/links/ble/ble_link.h"
#include "app/links/ble/ble_ports.h"
#include "core/discovery/ble_freshness.h"
#include "core/exec/executor.h"

namespace velmora {

// One phone as the central publishes it: its main sighting, the device prefix and pairing flag of its
// beacon (absent when none was ever read), and up to 4 other sightings with the same prefix.
struct BleScannedPhone {
    BleId id;
    std::optional<std::string> devicePrefix;
    std::optional<bool> pairing;
    std::vector<BleId> alternates;
    bool operator==(const BleScannedPhone&) const = default;
};

// The computer's one Bluetooth LE central. It keeps one sighting per advertising address, prunes those not
// heard from for 12 s (every 3 s), folds the sightings of one phone (same device prefix) into one
// BleScannedPhone and hands the sorted list to the main executor whenever it changes. It connects peripherals
// for BleLinks, tells them when the connection fails or drops, and notes each drop in its freshness memory so
// that a stale advertisement does not bring the phone back.
//
// Threads: everything it owns lives on its queue ("tessel.ble" in the application). Every public call,
// the radio's events included, posts to that queue and returns at once; onPhones and onState are called on
// the main executor, never waited for. The queue must run no task of the central after the central dies.
class BleCentral {
  public:
    using PhonesHandler = std::function<void(const std::vector<BleScannedPhone>&)>;
    using StateHandler = std::function<void(RadioState)>;

    static constexpr double pruneInterval = 3.0;
    static constexpr double staleAfter = 12.0;
    static constexpr std::size_t maxAlternates = 4;
    // The pause before a scan that stopped on its own starts again: a stack that fails every start at once
    // is asked once a second, not in a tight loop.
    static constexpr double rescanDelay = 1.0;

    // `sync` runs a task on `queue` and waits for it (the link's GATT write steps); null runs it in place,
    // which suits a manual executor driven by the caller's own thread.
    BleCentral(BleRadio& radio, std::shared_ptr<Executor> queue, Executor& main,
               BleLink::SyncRunner sync = nullptr);
    ~BleCentral();

    void start();
    void pause();
    void open(const BleId& id, std::shared_ptr<BleLink> link);
    void cancel(const BleId& id);
    void setOnPhones(PhonesHandler handler);
    void setOnState(StateHandler handler);
    Executor& queue() { return *queue_; }

    // The radio's events.
    void radioStateChanged();
    void radioAdvertisement(const BleId& id, std::optional<Bytes> serviceData);
    void radioConnected(const BleId& id);
    void radioFailedToConnect(const BleId& id, std::exception_ptr error);
    void radioDisconnected(const BleId& id, std::exception_ptr error);
    // The scan ended without the central asking (the stack's error, or the scan finishing by itself): the
    // central scans again after `rescanDelay` while the radio is on.
    void radioScanStopped(std::exception_ptr error);

  private:
    struct Seen {
        std::optional<std::string> prefix;
        std::optional<bool> pairing;
        double at = 0;
        double first = 0;
    };
    struct Handlers {
        std::mutex mutex;  // guards both
        PhonesHandler onPhones;
        StateHandler onState;
    };

    void onStateReport();
    void startScan();
    void restartScan();
    void forgetSightings();
    void publish();
    void prune();
    void schedulePrune();
    void dropLink(const BleId& id);

    BleRadio& radio_;
    const std::shared_ptr<Executor> queue_;
    Executor& main_;
    const BleLink::SyncRunner sync_;
    const std::shared_ptr<Handlers> handlers_ = std::make_shared<Handlers>();

    // Queue only.
    bool started_ = false;
    bool scanning_ = false;
    std::map<BleId, Seen> seen_;
    std::map<BleId, std::shared_ptr<BleLink>> links_;
    std::vector<BleScannedPhone> lastPublished_;
    BleFreshness freshness_;
    TimerHandle pruner_;
    TimerHandle rescan_;
};

}  // namespace velmora
