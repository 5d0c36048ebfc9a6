// The wake source against a fake logind on a private bus of the test's own.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "platform/wake/logind_wake_source.h"

namespace velmora {
namespace {

class PrivateBus : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) GTEST_SKIP() << "no dbus-daemon";
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(daemon_.waitForReadyRead(60000));
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        ASSERT_TRUE(
            QDBusConnection::connectToBus(address_, "login1").registerService("org.freedesktop.login1"));
    }

    void TearDown() override {
        for (const char* name : {"login1", "impostor"})
            QDBusConnection::disconnectFromBus(name);
        daemon_.kill();
        daemon_.waitForFinished();
    }

    // What logind sends around a sleep, from the connection named `from`.
    void send(const QString& from, const QVariant& sleeping) {
        QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/login1",
                                                         "org.freedesktop.login1.Manager", "PrepareForSleep");
        signal << sleeping;
        ASSERT_TRUE(QDBusConnection::connectToBus(address_, from).send(signal));
    }

    // Returns once every signal `from` has sent is handled by the source: the bus passes on a connection's
    // messages in order, so a round trip from the sender and then one on the source's own connection (named
    // after the address) come back after them.
    void settle(const QString& from) {
        for (const QString& name : {from, address_}) {
            QDBusMessage ping = QDBusMessage::createMethodCall(
                "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId");
            ASSERT_EQ(QDBusConnection(name).call(ping, QDBus::Block, 60000).type(),
                      QDBusMessage::ReplyMessage);
        }
        QCoreApplication::processEvents();
    }

    QProcess daemon_;
    QString address_;
};

TEST_F(PrivateBus, OnlyLogindsWakeCountsAndOnlyWhileStarted) {
    int wakes = 0;
    LogindWakeSource source(address_);
    source.start([&] { ++wakes; });

    // Going to sleep is not a wake; coming back is, once.
    send("login1", true);
    send("login1", false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return wakes > 0; }, 60000));
    settle("login1");
    EXPECT_EQ(wakes, 1);

    // Another program's signal of the same name, or logind's with the wrong argument, wakes nothing.
    send("impostor", false);
    settle("impostor");
    send("login1", QStringLiteral("false"));
    settle("login1");
    EXPECT_EQ(wakes, 1);

    source.stop();
    send("login1", false);
    settle("login1");
    EXPECT_EQ(wakes, 1);
}

TEST(LogindWakeSource, WithoutABusStartsQuietlyAndNeverWakes) {
    bool woke = false;
    LogindWakeSource source(QStringLiteral("unix:path=/nonexistent/velmora-bus"));
    source.start([&] { woke = true; });
    source.stop();
    EXPECT_FALSE(woke);
}

}  // namespace
}  // namespace velmora
