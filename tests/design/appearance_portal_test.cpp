// The appearance layer against a fake settings portal on a private session bus of its own.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPalette>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include "app/design/appearance.h"

namespace velmora {

// Answers Read the way the real portal does: the value wrapped in one variant more than the signature says.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
  public slots:
    QDBusVariant Read(const QString&, const QString&) {
        return QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant(1u))));  // dark
    }
};

namespace {

const QString kService = "org.freedesktop.portal.Desktop";
const QString kPath = "/org/freedesktop/portal/desktop";
const QString kInterface = "org.freedesktop.portal.Settings";

// A dbus-daemon of the test's own, and the fake portal served from a thread of its own so that announce()'s
// blocking call on the main thread gets its answer.
class PrivateBus : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) GTEST_SKIP() << "no dbus-daemon";
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(daemon_.waitForReadyRead(30000));
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        portal_.moveToThread(&thread_);
        thread_.start();
        bool served = false;
        onPortalThread([&] {
            auto bus = QDBusConnection::connectToBus(address_, "portal-side");
            served = bus.registerObject(kPath, &portal_, QDBusConnection::ExportAllSlots) &&
                     bus.registerService(kService);
        });
        ASSERT_TRUE(served);
    }

    void TearDown() override {
        if (thread_.isRunning()) {
            onPortalThread([] { QDBusConnection::disconnectFromBus("portal-side"); });
            thread_.quit();
            thread_.wait();
        }
        QDBusConnection::disconnectFromBus("app-side");
        daemon_.kill();
        daemon_.waitForFinished();
    }

    template <typename F>
    void onPortalThread(F f) {
        QMetaObject::invokeMethod(&portal_, f, Qt::BlockingQueuedConnection);
    }

    QDBusConnection appBus() { return QDBusConnection::connectToBus(address_, "app-side"); }

    // The portal announces a new scheme, and the application side has handled it on return: the portal's
    // answer to a Read comes after the signal it sent before, and the signal's delivery is then queued here.
    void announce(uint scheme) {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, "SettingChanged");
        signal << "org.freedesktop.appearance"
               << "color-scheme" << QVariant::fromValue(QDBusVariant(scheme));
        onPortalThread([signal] { QDBusConnection("portal-side").send(signal); });
        QDBusMessage read = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Read");
        read << QString() << QString();
        ASSERT_EQ(appBus().call(read, QDBus::Block, 30000).type(), QDBusMessage::ReplyMessage);
        QCoreApplication::processEvents();
    }

    QProcess daemon_;
    QString address_;
    QThread thread_;
    FakePortal portal_;
};

TEST_F(PrivateBus, ReadsThePortalFollowsItsChangesAndGivesWayToAnOverride) {
    AppearanceSource source(appBus(), nullptr);
    // The first read never holds the caller up: until the portal's answer arrives, the palette decides.
    EXPECT_EQ(source.current(),
              appearanceFromWindowColor(QGuiApplication::palette().color(QPalette::Window)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return source.current() == Appearance::dark; }, 30000));
    QSignalSpy changed(&source, &AppearanceSource::changed);
    announce(2);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(source.current(), Appearance::light);

    // A forced look wins over the portal, is announced only when it changes, and a portal change under it
    // is not announced at all.
    source.setOverride(Appearance::dark);
    source.setOverride(Appearance::dark);
    EXPECT_EQ(changed.count(), 2);
    announce(1);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(source.current(), Appearance::dark);
    source.setOverride(Appearance::light);
    source.setOverride(std::nullopt);
    EXPECT_EQ(changed.count(), 4);
    EXPECT_EQ(source.current(), Appearance::dark);
}

}  // namespace
}  // namespace velmora

#include "appearance_portal_test.moc"
