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
#include "support/private_bus.h"

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

// The fake settings portal on a private bus, served from the start.
class PrivateBus : public test::PrivatePortalBus<FakePortal> {
  protected:
    void SetUp() override {
        PrivatePortalBus::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(servePortal());
    }

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
