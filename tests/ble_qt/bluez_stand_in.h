#pragma once

#include <sys/prctl.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>

#include "core/bytes.h"
#include "support/session_bus_daemon.h"
#include "support/wait_until.h"

namespace velmora::test {

// A private bus with bluez_stand_in.py on it as "org.bluez", made the process's system bus before anything
// asks Qt for it; the processes end with this object. Qt Bluetooth picks its LE backend by bluetoothd's
// version, which it cannot read from a stand-in: the environment names a BlueZ with the D-Bus GATT API.
//
// Threads: the test's main thread (the Qt thread) only.
class BluezStandIn {
  public:
    BluezStandIn() {
        // A test that dies leaves no stand-in behind: the kernel ends it with this process (the bus too).
        standIn_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        if (bus_.address().isEmpty()) return;
        address_ = bus_.address();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address_.toUtf8());
        qputenv("BLUETOOTH_FORCE_DBUS_LE_VERSION", "5.66");
        standIn_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The Debian interpreter: python3-dbus and python3-gi are its packages, whatever python3 the PATH
        // finds.
        standIn_.start("/usr/bin/python3", {VELMORA_SOURCE_DIR "/tests/ble_qt/bluez_stand_in.py", address_});
        if (!standIn_.waitForReadyRead(60000) || !standIn_.readLine().startsWith("ready")) address_.clear();
    }
    ~BluezStandIn() {
        standIn_.kill();
        standIn_.waitForFinished(60000);
    }
    BluezStandIn(const BluezStandIn&) = delete;
    BluezStandIn& operator=(const BluezStandIn&) = delete;

    bool running() const { return !address_.isEmpty(); }

    // Calls a control method and waits for the answer; the reply's arguments.
    QVariantList call(const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message =
            QDBusMessage::createMethodCall("org.bluez", "/velmora/standin", "org.velmora.StandIn", method);
        message.setArguments(arguments);
        const QDBusMessage reply =
            QDBusConnection::connectToBus(address_, "standin-control").call(message, QDBus::Block, 60000);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            ADD_FAILURE() << method.toStdString() << ": " << reply.errorMessage().toStdString();
            return {};
        }
        return reply.arguments();
    }

    // The calls the stand-in took on BlueZ's interfaces since the last look.
    QStringList takeCalls() { return call("TakeCalls").value(0).toStringList(); }

    static QByteArray bytes(const Bytes& b) {
        return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
    }

  private:
    SessionBusDaemon bus_;  // ended after the stand-in
    QProcess standIn_;
    QString address_;
};

// Runs the Qt thread's events (and `also`) until `done` holds, for a generous bound.
inline bool pumpUntil(const std::function<bool()>& done, const std::function<void()>& also = {}) {
    return waitUntil([&] {
        QCoreApplication::processEvents();
        if (also) also();
        return done();
    });
}

}  // namespace velmora::test
