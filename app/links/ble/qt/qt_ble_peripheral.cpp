#include "app/links/ble/qt/qt_ble_peripheral.h"

#include <fcntl.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QLowEnergyController>
#include <QLowEnergyService>
#include <QSocketNotifier>

#include "core/errors/developer_text.h"
#include "core/log/velmora_log.h"
#include "platform/bluetooth/le_l2cap_socket.h"

namespace velmora {
namespace {

using Interfaces = QMap<QString, QVariantMap>;
using Objects = QMap<QString, Interfaces>;

QBluetoothUuid uuid(std::string_view text) {
    return QBluetoothUuid(QString::fromLatin1(text.data(), qsizetype(text.size())));
}

std::exception_ptr bleError(const QString& text) {
    return std::make_exception_ptr(BleError(text.toStdString()));
}

// BlueZ's object tree (ObjectManager.GetManagedObjects: a{oa{sa{sv}}}).
Objects parseObjects(const QDBusMessage& reply) {
    Objects objects;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return objects;
    const QDBusArgument arg = reply.arguments().first().value<QDBusArgument>();
    arg.beginMap();
    while (!arg.atEnd()) {
        arg.beginMapEntry();
        QDBusObjectPath path;
        arg >> path;
        Interfaces interfaces;
        arg.beginMap();
        while (!arg.atEnd()) {
            arg.beginMapEntry();
            QString name;
            QVariantMap properties;
            arg >> name >> properties;
            arg.endMapEntry();
            interfaces.insert(name, properties);
        }
        arg.endMap();
        arg.endMapEntry();
        objects.insert(path.path(), interfaces);
    }
    arg.endMap();
    return objects;
}

// The device object of `id` and, below it, the object of the characteristic `characteristic` (empty when
// BlueZ has none).
struct DeviceObjects {
    QString device;
    QVariantMap deviceProperties;
    QString characteristic;
    QVariantMap characteristicProperties;
};

DeviceObjects findObjects(const Objects& objects, const BleId& id, std::string_view characteristic) {
    DeviceObjects found;
    const QString address = QString::fromStdString(id);
    for (auto it = objects.begin(); it != objects.end(); ++it) {
        const QVariantMap device = it->value("org.bluez.Device1");
        if (device.value("Address").toString().compare(address, Qt::CaseInsensitive) == 0) {
            found.device = it.key();
            found.deviceProperties = device;
        }
    }
    if (found.device.isEmpty()) return found;
    const QString wanted = QString::fromLatin1(characteristic.data(), qsizetype(characteristic.size()));
    for (auto it = objects.begin(); it != objects.end(); ++it) {
        const QVariantMap c = it->value("org.bluez.GattCharacteristic1");
        if (it.key().startsWith(found.device + '/') &&
            c.value("UUID").toString().compare(wanted, Qt::CaseInsensitive) == 0) {
            found.characteristic = it.key();
            found.characteristicProperties = c;
        }
    }
    return found;
}

// Calls `method` on BlueZ without blocking; `done` gets the reply on the Qt thread unless `owner` is gone.
template <class Done>
void callBluez(QObject* owner, const QString& path, const QString& interface, const QString& method,
               const QVariantList& arguments, Done done) {
    QDBusMessage call = QDBusMessage::createMethodCall("org.bluez", path, interface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), owner);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, owner, [watcher, done] {
        watcher->deleteLater();
        done(watcher->reply());
    });
}

void listObjects(QObject* owner, std::function<void(const Objects&)> done) {
    callBluez(owner, "/", "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", {},
              [done](const QDBusMessage& reply) { done(parseObjects(reply)); });
}

}  // namespace

// ---- The Qt half ------------------------------------------------------------------------------------------

QtPeripheralCore::QtPeripheralCore(std::shared_ptr<QtBleLinkage> linkage, BleId id, QBluetoothDeviceInfo info,
                                   std::shared_ptr<QtPeripheralShared> shared)
    : linkage_(std::move(linkage)), id_(std::move(id)), info_(std::move(info)), shared_(std::move(shared)) {}

template <class F>
void QtPeripheralCore::tell(F step) {
    std::weak_ptr<BlePeripheralDelegate> weak;
    {
        std::lock_guard lock(shared_->mutex);
        weak = shared_->delegate;
    }
    linkage_->toCentral([&](BleCentral& c) {
        c.queue().post([weak, step] {
            if (auto d = weak.lock()) step(*d);
        });
    });
}

void QtPeripheralCore::connectDevice() {
    if (controller_) return;
    controller_ = QLowEnergyController::createCentral(info_, this);
    connect(controller_, &QLowEnergyController::connected, this,
            [this] { linkage_->toCentral([&](BleCentral& c) { c.radioConnected(id_); }); });
    connect(controller_, &QLowEnergyController::disconnected, this,
            [this] { linkage_->toCentral([&](BleCentral& c) { c.radioDisconnected(id_, nullptr); }); });
    connect(controller_, &QLowEnergyController::errorOccurred, this, [this] {
        const auto error = bleError(controller_->errorString());
        if (controller_->state() == QLowEnergyController::UnconnectedState)
            linkage_->toCentral([&](BleCentral& c) { c.radioFailedToConnect(id_, error); });
    });
    connect(controller_, &QLowEnergyController::discoveryFinished, this, [this] {
        const bool found = controller_->services().contains(uuid(BleIDs::service));
        tell([found](BlePeripheralDelegate& d) { d.didDiscoverServices(nullptr, found); });
    });
    controller_->connectToDevice();
}

void QtPeripheralCore::cancelConnection() {
    if (controller_) controller_->disconnectFromDevice();
}

void QtPeripheralCore::discoverServices() {
    if (controller_) controller_->discoverServices();
}

void QtPeripheralCore::discoverDetails() {
    if (!controller_) return;
    service_ = controller_->createServiceObject(uuid(BleIDs::service), this);
    if (!service_) {
        return tell(
            [](BlePeripheralDelegate& d) { d.didDiscoverCharacteristics(nullptr, false, false, false); });
    }
    connect(service_, &QLowEnergyService::stateChanged, this, [this](QLowEnergyService::ServiceState s) {
        if (s == QLowEnergyService::RemoteServiceDiscovered) settleWritePath();
    });
    connect(service_, &QLowEnergyService::characteristicRead, this,
            [this](const QLowEnergyCharacteristic& c, const QByteArray& value) {
                if (c.uuid() != uuid(BleIDs::psm)) return;
                Bytes bytes(value.begin(), value.end());
                tell([bytes](BlePeripheralDelegate& d) { d.didReadPsm(nullptr, bytes); });
            });
    connect(service_, &QLowEnergyService::characteristicChanged, this,
            [this](const QLowEnergyCharacteristic& c, const QByteArray& value) {
                if (c.uuid() != uuid(BleIDs::tx)) return;
                Bytes bytes(value.begin(), value.end());
                tell([bytes](BlePeripheralDelegate& d) { d.didNotify(bytes); });
            });
    connect(service_, &QLowEnergyService::characteristicWritten, this,
            [this](const QLowEnergyCharacteristic& c) {
                if (c.uuid() != uuid(BleIDs::rx)) return;
                {
                    std::lock_guard lock(shared_->mutex);
                    shared_->inFlight = false;
                }
                tell([](BlePeripheralDelegate& d) { d.isReadyToSendWriteWithoutResponse(); });
            });
    connect(service_, &QLowEnergyService::descriptorWritten, this,
            [this](const QLowEnergyDescriptor&, const QByteArray& value) {
                const bool on = value == QByteArray::fromHex("0100");
                tell([on](BlePeripheralDelegate& d) { d.didUpdateNotificationState(nullptr, on); });
            });
    connect(service_, &QLowEnergyService::errorOccurred, this, [this](QLowEnergyService::ServiceError e) {
        const auto error = bleError(QString("erro GATT %1").arg(int(e)));
        if (e == QLowEnergyService::CharacteristicReadError)
            tell([error](BlePeripheralDelegate& d) { d.didReadPsm(error, std::nullopt); });
        else if (e == QLowEnergyService::DescriptorWriteError)
            tell([error](BlePeripheralDelegate& d) { d.didUpdateNotificationState(error, false); });
        else if (e == QLowEnergyService::CharacteristicWriteError)
            fail("uma escrita GATT com resposta falhou");  // its bytes are lost: the pipe cannot go on
        else if (e == QLowEnergyService::UnknownError)
            tell([error](BlePeripheralDelegate& d) {
                d.didDiscoverCharacteristics(error, false, false, false);
            });
    });
    service_->discoverDetails();
}

// BlueZ's write lock on rx gives a socket whose full buffer holds the writer back; a characteristic without
// it (no write-without-response, an older BlueZ, a lock taken by another program) is written with response,
// one write at a time, each answer pacing the next.
void QtPeripheralCore::settleWritePath() {
    listObjects(this, [this](const Objects& objects) {
        const DeviceObjects found = findObjects(objects, id_, BleIDs::rx);
        if (found.characteristic.isEmpty()) return writePathSettled("característica rx fora do BlueZ");
        const uint mtu = found.characteristicProperties.value("MTU").toUInt();
        if (mtu >= 23) {
            std::lock_guard lock(shared_->mutex);
            shared_->attMtu = mtu;
        }
        callBluez(this, found.characteristic, "org.bluez.GattCharacteristic1", "AcquireWrite",
                  {QVariantMap()}, [this](const QDBusMessage& reply) {
                      const QVariantList args = reply.arguments();
                      if (reply.type() != QDBusMessage::ReplyMessage || args.size() < 2)
                          return writePathSettled(reply.errorName() + ": " + reply.errorMessage());
                      const int fd = ::fcntl(args[0].value<QDBusUnixFileDescriptor>().fileDescriptor(),
                                             F_DUPFD_CLOEXEC, 0);
                      if (fd < 0) return writePathSettled("descritor inválido");
                      const auto mtu = std::size_t(args[1].toUInt());
                      auto socket = std::make_unique<GattWriteSocket>(UniqueFd(fd), mtu);
                      VelmoraLog::write("Bluetooth: escrita GATT pelo socket do BlueZ (MTU " +
                                        std::to_string(mtu) + ")");
                      {
                          std::lock_guard lock(shared_->mutex);
                          shared_->socket = std::move(socket);
                          shared_->mode = QtPeripheralShared::WriteMode::socket;
                      }
                      writePathSettled({});
                  });
    });
}

void QtPeripheralCore::writePathSettled(const QString& why) {
    if (!why.isEmpty()) {
        VelmoraLog::write("Bluetooth: sem o socket de escrita do BlueZ (" + why.toStdString() +
                          "); escrevendo com resposta");
        std::lock_guard lock(shared_->mutex);
        shared_->mode = QtPeripheralShared::WriteMode::withResponse;
    }
    if (!service_) return;
    const bool rx = service_->characteristic(uuid(BleIDs::rx)).isValid();
    const bool tx = service_->characteristic(uuid(BleIDs::tx)).isValid();
    const bool psm = service_->characteristic(uuid(BleIDs::psm)).isValid();
    tell([rx, tx, psm](BlePeripheralDelegate& d) { d.didDiscoverCharacteristics(nullptr, rx, tx, psm); });
}

void QtPeripheralCore::readPsm() {
    if (service_) service_->readCharacteristic(service_->characteristic(uuid(BleIDs::psm)));
}

// The address type comes from BlueZ without blocking, so the central's queue never waits on the bus.
void QtPeripheralCore::openL2capChannel(std::uint16_t psm) {
    listObjects(this, [this, psm](const Objects& objects) {
        const DeviceObjects found = findObjects(objects, id_, {});
        const auto type =
            LeL2cap::parseAddressType(found.deviceProperties.value("AddressType").toString().toStdString());
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
    });
}

void QtPeripheralCore::enableTxNotifications() {
    if (!service_) return;
    const auto tx = service_->characteristic(uuid(BleIDs::tx));
    service_->writeDescriptor(tx.clientCharacteristicConfiguration(), QByteArray::fromHex("0100"));
}

void QtPeripheralCore::writeWithResponse(const QByteArray& data) {
    if (!service_) return fail("escrita GATT sem serviço");
    service_->writeCharacteristic(service_->characteristic(uuid(BleIDs::rx)), data,
                                  QLowEnergyService::WriteWithResponse);
}

void QtPeripheralCore::watchWritable() {
    int fd = -1;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->socket) fd = shared_->socket->fd();
    }
    if (fd < 0) return;
    if (!writable_) {
        writable_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        connect(writable_, &QSocketNotifier::activated, this, [this] {
            writable_->setEnabled(false);
            tell([](BlePeripheralDelegate& d) { d.isReadyToSendWriteWithoutResponse(); });
        });
    }
    writable_->setEnabled(true);
}

void QtPeripheralCore::fail(const QString& text) {
    VelmoraLog::write("Bluetooth: " + text.toStdString());
    linkage_->toCentral([&](BleCentral& c) { c.radioDisconnected(id_, bleError(text)); });
    if (controller_) controller_->disconnectFromDevice();
}

// ---- The half the central holds -------------------------------------------------------------------------

QtBlePeripheral::QtBlePeripheral(QObject* home, std::shared_ptr<QtBleLinkage> linkage, const BleId& id,
                                 const QBluetoothDeviceInfo& info)
    : shared_(std::make_shared<QtPeripheralShared>()),
      core_(new QtPeripheralCore(std::move(linkage), id, info, shared_)) {
    core_->moveToThread(home->thread());
}

QtBlePeripheral::~QtBlePeripheral() {
    core_->deleteLater();  // posted to the Qt thread, after every step this object posted before
}

template <class F>
void QtBlePeripheral::onQt(F step) const {
    QMetaObject::invokeMethod(core_, [core = core_, step] { step(*core); });
}

void QtBlePeripheral::setDelegate(std::weak_ptr<BlePeripheralDelegate> delegate) {
    std::lock_guard lock(shared_->mutex);
    shared_->delegate = std::move(delegate);
}

void QtBlePeripheral::connect() {
    onQt([](QtPeripheralCore& c) { c.connectDevice(); });
}

void QtBlePeripheral::cancelConnection() {
    onQt([](QtPeripheralCore& c) { c.cancelConnection(); });
}

void QtBlePeripheral::discoverServices() {
    onQt([](QtPeripheralCore& c) { c.discoverServices(); });
}

void QtBlePeripheral::discoverCharacteristics() {
    onQt([](QtPeripheralCore& c) { c.discoverDetails(); });
}

void QtBlePeripheral::readPsm() {
    onQt([](QtPeripheralCore& c) { c.readPsm(); });
}

void QtBlePeripheral::openL2capChannel(std::uint16_t psm) {
    onQt([psm](QtPeripheralCore& c) { c.openL2capChannel(psm); });
}

void QtBlePeripheral::enableTxNotifications() {
    onQt([](QtPeripheralCore& c) { c.enableTxNotifications(); });
}

std::size_t QtBlePeripheral::maximumWriteLength() const {
    std::lock_guard lock(shared_->mutex);
    if (shared_->socket && shared_->mode == QtPeripheralShared::WriteMode::socket)
        return shared_->socket->maximumWriteLength();
    return shared_->attMtu > 23 ? shared_->attMtu - 3 : 20;
}

bool QtBlePeripheral::canSendWriteWithoutResponse() const {
    std::lock_guard lock(shared_->mutex);
    switch (shared_->mode) {
        case QtPeripheralShared::WriteMode::unsettled:
            return false;
        case QtPeripheralShared::WriteMode::withResponse:
            return !shared_->inFlight;
        case QtPeripheralShared::WriteMode::socket:
            break;
    }
    if (shared_->socket->writable()) return true;
    onQt([](QtPeripheralCore& c) { c.watchWritable(); });
    return false;
}

void QtBlePeripheral::writeRx(ByteView chunk) {
    QByteArray data(reinterpret_cast<const char*>(chunk.data()), qsizetype(chunk.size()));
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->mode == QtPeripheralShared::WriteMode::socket) {
            try {
                return shared_->socket->send(chunk);
            } catch (const std::exception& e) {
                // The lock is gone (BlueZ closes the socket when the device drops or re-negotiates): this
                // chunk and the rest go with response, as on a characteristic without the lock.
                VelmoraLog::write(std::string("Bluetooth: o socket de escrita do BlueZ falhou (") + e.what() +
                                  "); escrevendo com resposta");
                shared_->mode = QtPeripheralShared::WriteMode::withResponse;
            }
        }
        shared_->inFlight = true;
    }
    onQt([data](QtPeripheralCore& c) { c.writeWithResponse(data); });
}

std::function<std::pair<std::size_t, std::size_t>(int)> QtBlePeripheral::channelMtus() const {
    return LeL2cap::mtus;
}

}  // namespace velmora
