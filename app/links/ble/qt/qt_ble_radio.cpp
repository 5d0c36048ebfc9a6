#include "app/links/ble/qt/qt_ble_radio.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>

#include "app/links/ble/qt/qt_ble_peripheral.h"
#include "core/log/velmora_log.h"
#include "platform/bluetooth/le_l2cap_socket.h"

namespace velmora {
namespace {

QBluetoothUuid uuid(std::string_view text) {
    return QBluetoothUuid(QString::fromLatin1(text.data(), qsizetype(text.size())));
}

}  // namespace

QtBleRadio::QtBleRadio(QObject* parent)
    : QObject(parent),
      local_(nullptr),
      agent_(new QBluetoothDeviceDiscoveryAgent(this)),
      settle_(new QTimer(this)) {
    agent_->setLowEnergyDiscoveryTimeout(0);  // until stopped
    attachLocalDevice();
    connect(agent_, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered, this, &QtBleRadio::onDevice);
    connect(agent_, &QBluetoothDeviceDiscoveryAgent::deviceUpdated, this,
            [this](const QBluetoothDeviceInfo& info, QBluetoothDeviceInfo::Fields) { onDevice(info); });
    connect(agent_, &QBluetoothDeviceDiscoveryAgent::finished, this, [this] { scanEnded(nullptr); });
    connect(agent_, &QBluetoothDeviceDiscoveryAgent::errorOccurred, this,
            [this] { scanEnded(std::make_exception_ptr(BleError(agent_->errorString().toStdString()))); });
    settle_->setSingleShot(true);
    settle_->setInterval(discoverySettleMs);
    connect(settle_, &QTimer::timeout, this, [this] {
        if (!discovering_) scanEnded(std::make_exception_ptr(BleError("a busca do BlueZ parou")));
    });
    for (const char* change : {"InterfacesAdded", "InterfacesRemoved"}) {
        QDBusConnection::systemBus().connect("org.bluez", "/", "org.freedesktop.DBus.ObjectManager", change,
                                             this, SLOT(onObjectsChanged(QDBusMessage)));
    }
    QDBusConnection::systemBus().connect("org.bluez", QString(), "org.freedesktop.DBus.Properties",
                                         "PropertiesChanged", this,
                                         SLOT(onAdapterProperties(QString, QVariantMap, QStringList)));
    updateState();
}

// Qt binds a local device to the adapter present when it is made and never looks again: a new one follows an
// adapter that came or went.
void QtBleRadio::attachLocalDevice() {
    if (local_) local_->deleteLater();
    local_ = new QBluetoothLocalDevice(this);
    connect(local_, &QBluetoothLocalDevice::hostModeStateChanged, this, [this] { updateState(); });
}

void QtBleRadio::onObjectsChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    bool adapter = false;
    if (message.member() == "InterfacesRemoved") {
        adapter = args.value(1).toStringList().contains("org.bluez.Adapter1");
    } else {
        // a{sa{sv}}: only the interface names are wanted.
        const QDBusArgument interfaces = args.value(1).value<QDBusArgument>();
        interfaces.beginMap();
        while (!interfaces.atEnd()) {
            QString name;
            QVariantMap properties;
            interfaces.beginMapEntry();
            interfaces >> name >> properties;
            interfaces.endMapEntry();
            adapter = adapter || name == "org.bluez.Adapter1";
        }
        interfaces.endMap();
    }
    if (!adapter) return;
    VelmoraLog::write(message.member() == "InterfacesRemoved" ? "Bluetooth: o adaptador saiu"
                                                              : "Bluetooth: um adaptador chegou");
    attachLocalDevice();
    updateState();
}

void QtBleRadio::setCentral(BleCentral* central) {
    central_ = central;
    std::lock_guard lock(linkage_->mutex);
    linkage_->central = central;
}

void QtBleRadio::updateState() {
    RadioState next = RadioState::unsupported;
    if (local_->isValid()) {
        next = local_->hostMode() == QBluetoothLocalDevice::HostPoweredOff ? RadioState::poweredOff
                                                                           : RadioState::poweredOn;
    }
    if (next != RadioState::poweredOn && agent_->isActive()) {
        scanning_ = false;
        agent_->stop();  // BlueZ forgot the scan with the power; the agent lets go of it too
    }
    if (state_.exchange(next) != next && central_) central_->radioStateChanged();
}

void QtBleRadio::startScan() {
    QMetaObject::invokeMethod(this, [this] {
        scanning_ = false;
        if (agent_->isActive()) agent_->stop();
        scanning_ = true;
        agent_->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
    });
}

// Discovery going off is a lost scan only when it stays off: the agent's own restart (and Qt's attempt to
// resume) turn it off and on again within moments.
void QtBleRadio::onAdapterProperties(const QString& interface, const QVariantMap& changed,
                                     const QStringList&) {
    if (interface != "org.bluez.Adapter1" || !changed.contains("Discovering")) return;
    discovering_ = changed.value("Discovering").toBool();
    if (!discovering_ && scanning_) settle_->start();
}

void QtBleRadio::stopScan() {
    QMetaObject::invokeMethod(this, [this] {
        scanning_ = false;  // the agent's "canceled" that follows is ours
        agent_->stop();
    });
}

// The agent ends a continuous scan only on its own: BlueZ turned discovery off under it (another program,
// the adapter reset or powered off), or a call to BlueZ failed. The central starts it again.
void QtBleRadio::scanEnded(std::exception_ptr error) {
    if (!scanning_) return;
    scanning_ = false;
    if (central_) central_->radioScanStopped(error);
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
    {
        std::lock_guard lock(linkage_->mutex);
        if (!linkage_->central || !LeL2cap::parseAddress(id)) return nullptr;
    }
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
    return std::make_shared<QtBlePeripheral>(this, linkage_, id, info);
}

}  // namespace velmora
