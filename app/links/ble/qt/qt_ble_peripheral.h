#pragma once

#include <QBluetoothDeviceInfo>
#include <QObject>
#include <memory>
#include <mutex>

#include "app/links/ble/ble_central.h"
#include "app/links/ble/gatt_write_socket.h"
#include "app/links/ble/qt/qt_ble_linkage.h"

class QLowEnergyController;
class QLowEnergyService;
class QSocketNotifier;

namespace velmora {

// What the two halves of a peripheral share: the delegate and the GATT write path. `mutex` guards all of it.
struct QtPeripheralShared {
    enum class WriteMode { unsettled, socket, withResponse };

    std::mutex mutex;
    std::weak_ptr<BlePeripheralDelegate> delegate;
    WriteMode mode = WriteMode::unsettled;
    std::unique_ptr<GattWriteSocket> socket;  // lives as long as this struct: the Qt half may watch its fd
    bool inFlight = false;                    // a write with response not answered yet
    std::size_t attMtu = 23;                  // the rx characteristic's MTU, when BlueZ tells it
};

// The Qt half of a peripheral: a QObject on the Qt thread that owns the controller, the service, the write
// socket's notifier and the D-Bus calls to BlueZ. Its slots use its own `this` with itself as the context
// object, and it is deleted only on the Qt thread (deleteLater from the other half's destructor), so no slot
// can be running while it goes. It reaches the central through the shared linkage, which the radio empties
// before the central goes.
//
// Threads: made on the central's queue and moved to the Qt thread at once; every other call on the Qt thread.
class QtPeripheralCore final : public QObject {
    Q_OBJECT
  public:
    QtPeripheralCore(std::shared_ptr<QtBleLinkage> linkage, BleId id, QBluetoothDeviceInfo info,
                     std::shared_ptr<QtPeripheralShared> shared);

    void connectDevice();
    void cancelConnection();
    void discoverServices();
    void discoverDetails();
    void readPsm();
    void openL2capChannel(std::uint16_t psm);
    void enableTxNotifications();
    void writeWithResponse(const QByteArray& data);
    // Tells the delegate once the write socket has room again.
    void watchWritable();

  private:
    template <class F>
    void tell(F step);
    // The rx characteristic's BlueZ object, then its write lock; both answered asynchronously.
    void settleWritePath();
    void writePathSettled(const QString& why);
    void fail(const QString& text);

    const std::shared_ptr<QtBleLinkage> linkage_;
    const BleId id_;
    const QBluetoothDeviceInfo info_;
    const std::shared_ptr<QtPeripheralShared> shared_;
    QLowEnergyController* controller_ = nullptr;
    QLowEnergyService* service_ = nullptr;
    QSocketNotifier* writable_ = nullptr;
};

// The BlePeripheral the central's links hold, called on the central's queue. It owns no Qt object: each call
// is posted to the Qt half, except the write path over BlueZ's write socket, which runs right here.
class QtBlePeripheral final : public BlePeripheral {
  public:
    // `home` is the Qt thread's object (the radio); the Qt half moves to its thread.
    QtBlePeripheral(QObject* home, std::shared_ptr<QtBleLinkage> linkage, const BleId& id,
                    const QBluetoothDeviceInfo& info);
    ~QtBlePeripheral() override;
    QtBlePeripheral(const QtBlePeripheral&) = delete;
    QtBlePeripheral& operator=(const QtBlePeripheral&) = delete;

    void setDelegate(std::weak_ptr<BlePeripheralDelegate> delegate) override;
    void connect() override;
    void cancelConnection() override;
    void discoverServices() override;
    void discoverCharacteristics() override;
    void readPsm() override;
    void openL2capChannel(std::uint16_t psm) override;
    void enableTxNotifications() override;
    std::size_t maximumWriteLength() const override;
    bool canSendWriteWithoutResponse() const override;
    void writeRx(ByteView chunk) override;
    std::function<std::pair<std::size_t, std::size_t>(int socket)> channelMtus() const override;

  private:
    template <class F>
    void onQt(F step) const;

    const std::shared_ptr<QtPeripheralShared> shared_;
    QtPeripheralCore* const core_;  // deleted only by this object's destructor, on the Qt thread
};

}  // namespace velmora
