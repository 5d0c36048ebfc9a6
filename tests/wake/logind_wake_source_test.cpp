// The wake source against a fake logind on a private bus of the test's own. QtDBus needs an event loop.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTest>

#include "platform/wake/logind_wake_source.h"
#include "support/session_bus_daemon.h"

namespace velmora {
namespace {

TEST(LogindWakeSource, OnlyLogindsWakeCountsAndOnlyWhileStarted) {
    const test::SessionBusDaemon daemon;  // ended when it goes out of scope
    if (daemon.address().isEmpty()) GTEST_SKIP() << "dbus-daemon did not start";
    const QString address = daemon.address();
    ASSERT_TRUE(QDBusConnection::connectToBus(address, "login1").registerService("org.freedesktop.login1"));
    // PrepareForSleep from the connection `from`; with `settle`, handled on return: the bus keeps each
    // connection's order, so round trips from the sender, then on the source's connection, follow the signal.
    auto send = [&](const QString& from, const QVariant& sleeping, bool settle) {
        QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/login1",
                                                         "org.freedesktop.login1.Manager", "PrepareForSleep");
        EXPECT_TRUE(QDBusConnection::connectToBus(address, from).send(signal << sleeping));
        if (!settle) return;
        for (const QString& name : {from, address}) {
            QDBusMessage ping = QDBusMessage::createMethodCall(
                "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId");
            EXPECT_EQ(QDBusConnection(name).call(ping, QDBus::Block, 60000).type(),
                      QDBusMessage::ReplyMessage);
        }
        QCoreApplication::processEvents();
    };

    int wakes = 0;
    LogindWakeSource source(address);
    source.start([&] { ++wakes; });
    send("login1", true, false);  // going to sleep is not a wake
    send("login1", false, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return wakes > 0; }, 60000));
    send("impostor", false, true);  // another program's signal of the same name
    send("login1", QStringLiteral("false"), true);
    EXPECT_EQ(wakes, 1);
    source.stop();
    send("login1", false, true);
    EXPECT_EQ(wakes, 1);
}

}  // namespace
}  // namespace velmora
