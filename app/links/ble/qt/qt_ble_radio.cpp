#include "app/links/ble/qt/qt_ble_radio.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QLowEnergyController>
#include <QLowEnergyService>
#include <QPointer>

#include "platform/bluetooth/le_l2cap_socket.h"

namespace velmora {
namespace {

QBluetoothUuid uuid(std::string_view text) {
    return QBluetoothUuid(QString::fromLatin1(text.data(), qsizetype(text.size())));
}

std::exception_ptr bleError(const QString& text) {
    return std::make_exception_ptr(BleError(text.toStdString()));
}

// BlueZ's address type of a device it knows ("public" or "random"), read over the system bus.
std::optional<LeL2cap::AddressType> addressType(const BleId& id) {
    QString path = "/org/bluez/hci0/dev_" + QString::fromStdString(id).replace(':', '_');
    QDBusInterface props("org.bluez", path, "org.freedesktop.DBus.Properties", QDBusConnection::systemBus());
    QDBusReply<QVariant> reply = props.call("Get", "org.bluez.Device1", "AddressType");
    if (!reply.isValid()) return std::nullopt;
    return LeL2cap::parseAddressType(reply.value().toString().toStdString());
}

// One peripheral and its controller; every Qt call runs on the radio's thread.
class QtPeripheral final : public BlePeripheral, public std::enable_shared_from_this<QtPeripheral> {
  public:
    QtPeripheral(QObject* home, BleCentral* central, BleId id, QBluetoothDeviceInfo info)
        : home_(home), central_(central), id_(std::move(id)), info_(std::move(info)) {}
    ~QtPeripheral() override {
        if (!controller_) return;
        // The connections below capture this object: cut them before it goes, then let the Qt thread delete
        // the controller (and the service it parents).
        if (service_) QObject::disconnect(service_, nullptr, nullptr, nullptr);
        QObject::disconnect(controller_, nullptr, nullptr, nullptr);
        controller_->deleteLater();
    }

    void setDelegate(std::weak_ptr<BlePeripheralDelegate> delegate) override { delegate_ = delegate; }
    void connect() override {
        onQt([](QtPeripheral& p) { p.makeController(); });
    }
    void cancelConnection() override {
        onQt([](QtPeripheral& p) {
            if (p.controller_) p.controller_->disconnectFromDevice();
        });
    }
    void discoverServices() override {
        onQt([](QtPeripheral& p) { p.controller_->discoverServices(); });
    }
    void discoverCharacteristics() override {
        onQt([](QtPeripheral& p) { p.discoverDetails(); });
    }
    void readPsm() override {
        onQt([](QtPeripheral& p) {
            p.service_->readCharacteristic(p.service_->characteristic(uuid(BleIDs::psm)));
        });
    }
    void openL2capChannel(std::uint16_t psm) override {
        auto type = addressType(id_);
        std::exception_ptr error;
        UniqueFd socket;
        try {
            socket = LeL2cap::startConnect(id_, type.value_or(LeL2cap::AddressType::le_random), psm);
        } catch (...) {
            error = std::current_exception();
        }
        tell([error, psm, fd = std::make_shared<UniqueFd>(std::move(socket))](BlePeripheralDelegate& d) {
            d.didOpenChannel(error, std::move(*fd), psm);
        });
    }
    void enableTxNotifications() override {
        onQt([](QtPeripheral& p) {
            const auto tx = p.service_->characteristic(uuid(BleIDs::tx));
            p.service_->writeDescriptor(tx.clientCharacteristicConfiguration(), QByteArray::fromHex("0100"));
        });
    }
    std::size_t maximumWriteLength() const override { return mtu_ > 3 ? std::size_t(mtu_ - 3) : 20; }
    bool canSendWriteWithoutResponse() const override { return true; }  // Qt reports no write queue
    void writeRx(ByteView chunk) override {
        QByteArray data(reinterpret_cast<const char*>(chunk.data()), qsizetype(chunk.size()));
        onQt([data](QtPeripheral& p) {
            p.service_->writeCharacteristic(p.service_->characteristic(uuid(BleIDs::rx)), data,
                                            QLowEnergyService::WriteWithoutResponse);
        });
    }
    std::function<std::pair<std::size_t, std::size_t>(int)> channelMtus() const override {
        return LeL2cap::mtus;
    }

  private:
    template <class F>
    void onQt(F step) {
        QMetaObject::invokeMethod(home_, [self = shared_from_this(), step] { step(*self); });
    }
    template <class F>
    void tell(F step) {
        central_->queue().post([weak = delegate_, step] {
            if (auto d = weak.lock()) step(*d);
        });
    }

    void makeController() {
        controller_ = QLowEnergyController::createCentral(info_, home_);
        QObject::connect(controller_, &QLowEnergyController::connected, home_,
                         [c = central_, id = id_] { c->radioConnected(id); });
        QObject::connect(controller_, &QLowEnergyController::disconnected, home_,
                         [c = central_, id = id_] { c->radioDisconnected(id, nullptr); });
        QObject::connect(controller_, &QLowEnergyController::errorOccurred, home_, [this] {
            const auto error = bleError(controller_->errorString());
            if (controller_->state() == QLowEnergyController::UnconnectedState)
                central_->radioFailedToConnect(id_, error);
        });
        QObject::connect(controller_, &QLowEnergyController::mtuChanged, home_,
                         [this](int mtu) { mtu_ = mtu; });
        QObject::connect(controller_, &QLowEnergyController::discoveryFinished, home_, [this] {
            const bool found = controller_->services().contains(uuid(BleIDs::service));
            tell([found](BlePeripheralDelegate& d) { d.didDiscoverServices(nullptr, found); });
        });
        controller_->connectToDevice();
    }

    void discoverDetails() {
        service_ = controller_->createServiceObject(uuid(BleIDs::service), controller_);
        if (!service_)
            return tell(
                [](BlePeripheralDelegate& d) { d.didDiscoverCharacteristics(nullptr, false, false, false); });
        QObject::connect(service_, &QLowEnergyService::stateChanged, home_,
                         [this](QLowEnergyService::ServiceState s) {
                             if (s != QLowEnergyService::RemoteServiceDiscovered) return;
                             const bool rx = service_->characteristic(uuid(BleIDs::rx)).isValid();
                             const bool tx = service_->characteristic(uuid(BleIDs::tx)).isValid();
                             const bool psm = service_->characteristic(uuid(BleIDs::psm)).isValid();
                             tell([rx, tx, psm](BlePeripheralDelegate& d) {
                                 d.didDiscoverCharacteristics(nullptr, rx, tx, psm);
                             });
                         });
        QObject::connect(service_, &QLowEnergyService::characteristicRead, home_,
                         [this](const QLowEnergyCharacteristic& c, const QByteArray& value) {
                             if (c.uuid() != uuid(BleIDs::psm)) return;
                             Bytes bytes(value.begin(), value.end());
                             tell([bytes](BlePeripheralDelegate& d) { d.didReadPsm(nullptr, bytes); });
                         });
        QObject::connect(service_, &QLowEnergyService::characteristicChanged, home_,
                         [this](const QLowEnergyCharacteristic& c, const QByteArray& value) {
                             if (c.uuid() != uuid(BleIDs::tx)) return;
                             Bytes bytes(value.begin(), value.end());
                             tell([bytes](BlePeripheralDelegate& d) { d.didNotify(bytes); });
                         });
        QObject::connect(
            service_, &QLowEnergyService::descriptorWritten, home_,
            [this](const QLowEnergyDescriptor&, const QByteArray& value) {
                const bool on = value == QByteArray::fromHex("0100");
                tell([on](BlePeripheralDelegate& d) { d.didUpdateNotificationState(nullptr, on); });
            });
        QObject::connect(
            service_, &QLowEnergyService::errorOccurred, home_, [this](QLowEnergyService::ServiceError e) {
                const auto error = bleError(QString("erro GATT %1").arg(int(e)));
                if (e == QLowEnergyService::CharacteristicReadError)
                    tell([error](BlePeripheralDelegate& d) { d.didReadPsm(error, std::nullopt); });
                else if (e == QLowEnergyService::DescriptorWriteError)
                    tell([error](BlePeripheralDelegate& d) { d.didUpdateNotificationState(error, false); });
                else if (e == QLowEnergyService::UnknownError)
                    tell([error](BlePeripheralDelegate& d) {
                        d.didDiscoverCharacteristics(error, false, false, false);
                    });
            });
        service_->discoverDetails();
    }

    QObject* home_;
    BleCentral* central_;
    const BleId id_;
    const QBluetoothDeviceInfo info_;
    std::weak_ptr<BlePeripheralDelegate> delegate_;
    QLowEnergyController* controller_ = nullptr;  // Qt thread only
    QLowEnergyService* service_ = nullptr;        // Qt thread only
    std::atomic<int> mtu_ = 0;
};

}  // namespace

QtBleRadio::QtBleRadio(QObject* parent)
    : QObject(parent),
      local_(new QBluetoothLocalDevice(this)),
      agent_(new QBluetoothDeviceDiscoveryAgent(this)) {
    agent_->setLowEnergyDiscoveryTimeout(0);  // until stopped
    connect(local_, &QBluetoothLocalDevice::hostModeStateChanged, this, [this] { updateState(); });
    connect(agent_, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered, this, &QtBleRadio::onDevice);
    connect(agent_, &QBluetoothDeviceDiscoveryAgent::deviceUpdated, this,
            [this](const QBluetoothDeviceInfo& info, QBluetoothDeviceInfo::Fields) { onDevice(info); });
    updateState();
}

void QtBleRadio::updateState() {
    RadioState next = RadioState::unsupported;
    if (local_->isValid()) {
        next = local_->hostMode() == QBluetoothLocalDevice::HostPoweredOff ? RadioState::poweredOff
                                                                           : RadioState::poweredOn;
    }
    if (state_.exchange(next) != next && central_) central_->radioStateChanged();
}

void QtBleRadio::startScan() {
    QMetaObject::invokeMethod(this,
                              [this] { agent_->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod); });
}

void QtBleRadio::stopScan() {
    QMetaObject::invokeMethod(this, [this] { agent_->stop(); });
}

void QtBleRadio::onDevice(const QBluetoothDeviceInfo& info) {
    const QBluetoothUuid service = uuid(BleIDs::service);
    const QByteArray data = info.serviceData(service);
    if (data.isEmpty() && !info.serviceUuids().contains(service)) return;
    const BleId id = info.address().toString().toUpper().toStdString();
    {
        std::lock_guard lock(mutex_);
        known_[id] = info;
    }
    if (!central_) return;
    central_->radioAdvertisement(
        id, data.isEmpty() ? std::nullopt : std::optional(Bytes(data.begin(), data.end())));
}

std::shared_ptr<BlePeripheral> QtBleRadio::peripheral(const BleId& id) {
    if (!central_ || !LeL2cap::parseAddress(id)) return nullptr;
    QBluetoothDeviceInfo info;
    {
        std::lock_guard lock(mutex_);
        const auto it = known_.find(id);
        if (it != known_.end()) info = it->second;
    }
    if (!info.isValid()) {  // not seen since start: BlueZ's own cache may still know it
        info = QBluetoothDeviceInfo(QBluetoothAddress(QString::fromStdString(id)), QString(), 0);
        info.setCoreConfigurations(QBluetoothDeviceInfo::LowEnergyCoreConfiguration);
    }
    return std::make_shared<QtPeripheral>(this, central_, id, info);
}

}  // namespace velmora
