#pragma once

#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothLocalDevice>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include "app/links/ble/ble_central.h"
#include "app/links/ble/qt/qt_ble_linkage.h"

namespace velmora {

// The adapter over Qt Bluetooth: continuous LE discovery reporting the service's advertisements, the
// adapter's power as RadioState (no adapter: unsupported), and one QLowEnergyController per peripheral.
//
// A scan can end under the agent without a word from it: when BlueZ turns discovery off (another program,
// a reset, the power), Qt asks BlueZ to discover again once and keeps believing it scans whatever the answer.
// So the radio watches the adapter's "Discovering" itself and reports a scan that ended to the central, which
// starts it again; every start first lets go of the agent's earlier interest, so BlueZ is asked anew.
//
// Threads: lives on the Qt thread that made it; the central's calls arrive on its queue and hop to the Qt
// thread (the central and its queue end before the radio: see QtBleStack); events go back to the central,
// which posts them to its queue. `mutex_` guards `known_`.
class QtBleRadio final : public QObject, public BleRadio {
    Q_OBJECT
  public:
    // How long the adapter's discovery may stay off before the scan counts as lost.
    static constexpr int discoverySettleMs = 1000;

    explicit QtBleRadio(QObject* parent = nullptr);
    // On the Qt thread: before the central starts, and null before it goes.
    void setCentral(BleCentral* central);

    RadioState state() const override { return state_; }
    void startScan() override;
    void stopScan() override;
    std::shared_ptr<BlePeripheral> peripheral(const BleId& id) override;

  private slots:
    void onObjectsChanged(const QDBusMessage& message);
    void onAdapterProperties(const QString& interface, const QVariantMap& changed, const QStringList&);

  private:
    void attachLocalDevice();
    void updateState();
    void onDevice(const QBluetoothDeviceInfo& info);
    void scanEnded(std::exception_ptr error);

    BleCentral* central_ = nullptr;  // Qt thread only; the queue's side reads `linkage_`
    const std::shared_ptr<QtBleLinkage> linkage_ = std::make_shared<QtBleLinkage>();
    QBluetoothLocalDevice* local_;
    QBluetoothDeviceDiscoveryAgent* agent_;
    std::atomic<RadioState> state_ = RadioState::unknown;
    QTimer* settle_;
    bool scanning_ = false;     // Qt thread only: a scan was asked for and has not been stopped
    bool discovering_ = false;  // Qt thread only: the adapter's "Discovering" as last heard
    std::mutex mutex_;
    std::map<BleId, QBluetoothDeviceInfo> known_;
};

}  // namespace velmora
