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
#include <atomic>

#include "platform/appearance/appearance.h"

namespace velmora {

// Answers Read for the appearance setting the way the real portal does: the value wrapped in one variant
// more than the signature says.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
  public:
    std::atomic<uint> scheme{1};

  public slots:
    QDBusVariant Read(const QString& group, const QString& key) {
        if (group != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme")) {
            return QDBusVariant(QVariant::fromValue(QDBusVariant(QString())));
        }
        return QDBusVariant(QVariant::fromValue(QDBusVariant(QVariant(scheme.load()))));
    }
};

namespace {

// A dbus-daemon of the test's own, and the fake portal served from a thread of its own so that the
// appearance source's blocking call on the main thread gets its answer.
class PrivateBus : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
            GTEST_SKIP() << "dbus-daemon is not installed";
        }
        daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                      QStringLiteral("--print-address=1")});
        ASSERT_TRUE(daemon_.waitForReadyRead(5000));
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        ASSERT_FALSE(address_.isEmpty());

        portal_.moveToThread(&thread_);
        thread_.start();
        bool served = false;
        QMetaObject::invokeMethod(
            &portal_,
            [&] {
                auto bus = QDBusConnection::connectToBus(address_, QStringLiteral("portal-side"));
                served = bus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal_,
                                            QDBusConnection::ExportAllSlots) &&
                         bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
            },
            Qt::BlockingQueuedConnection);
        ASSERT_TRUE(served);
    }

    void TearDown() override {
        if (thread_.isRunning()) {
            QMetaObject::invokeMethod(
                &portal_, [] { QDBusConnection::disconnectFromBus(QStringLiteral("portal-side")); },
                Qt::BlockingQueuedConnection);
            thread_.quit();
            thread_.wait();
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("app-side"));
        daemon_.kill();
        daemon_.waitForFinished();
    }

    QDBusConnection appBus() { return QDBusConnection::connectToBus(address_, QStringLiteral("app-side")); }

    void announce(uint scheme) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                         QStringLiteral("org.freedesktop.portal.Settings"),
                                                         QStringLiteral("SettingChanged"));
        signal << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
               << QVariant::fromValue(QDBusVariant(QVariant(scheme)));
        QMetaObject::invokeMethod(
            &portal_, [signal] { QDBusConnection(QStringLiteral("portal-side")).send(signal); },
            Qt::BlockingQueuedConnection);
    }

    QProcess daemon_;
    QString address_;
    QThread thread_;
    FakePortal portal_;
};

TEST_F(PrivateBus, ReadsThePortalAndFollowsItsChanges) {
    AppearanceSource source(appBus(), nullptr);
    EXPECT_EQ(source.current(), Appearance::dark);

    QSignalSpy changed(&source, &AppearanceSource::changed);
    announce(2);
    ASSERT_TRUE(changed.wait(3000));
    EXPECT_EQ(source.current(), Appearance::light);

    // A forced look wins over the portal, and a portal change under it is not announced.
    source.setOverride(Appearance::dark);
    changed.clear();
    announce(1);
    EXPECT_FALSE(changed.wait(300));
    EXPECT_EQ(source.current(), Appearance::dark);
    source.setOverride(std::nullopt);
    EXPECT_EQ(source.current(), Appearance::dark);
}

TEST_F(PrivateBus, NoPreferenceFallsBackToThePalette) {
    portal_.scheme = 0;
    AppearanceSource source(appBus(), nullptr);
    EXPECT_EQ(source.current(),
              appearanceFromWindowColor(QGuiApplication::palette().color(QPalette::Window)));
}

}  // namespace
}  // namespace velmora

#include "appearance_portal_test.moc"
