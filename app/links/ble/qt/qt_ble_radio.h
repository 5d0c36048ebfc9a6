#pragma once

#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothLocalDevice>
#include <QObject>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include "app/links/ble/ble_central.h"

namespace velmora {

// The adapter over Qt Bluetooth: continuous LE discovery reporting the service's advertisements, the
// adapter's power as RadioState (no adapter: unsupported), and one QLowEnergyController per peripheral.
//
// Threads: lives on the Qt thread that made it; the central's calls arrive on its queue and hop to the Qt
// thread (the central and its queue end before the radio: see QtBleStack); events go back to the central,
// which posts them to its queue. `mutex_` guards `known_`.
class QtBleRadio final : public QObject, public BleRadio {
    Q_OBJECT
  public:
    explicit QtBleRadio(QObject* parent = nullptr);
    // Set once, before the central starts.
    void setCentral(BleCentral* central) { central_ = central; }

    RadioState state() const override { return state_; }
    void startScan() override;
    void stopScan() override;
    std::shared_ptr<BlePeripheral> peripheral(const BleId& id) override;

  private:
    void updateState();
    void onDevice(const QBluetoothDeviceInfo& info);
    void scanEnded(std::exception_ptr error);

    BleCentral* central_ = nullptr;
    QBluetoothLocalDevice* local_;
    QBluetoothDeviceDiscoveryAgent* agent_;
    std::atomic<RadioState> state_ = RadioState::unknown;
    bool scanning_ = false;  // Qt thread only: a scan was asked for and has not been stopped
    std::mutex mutex_;
    std::map<BleId, QBluetoothDeviceInfo> known_;
};

}  // namespace velmora
