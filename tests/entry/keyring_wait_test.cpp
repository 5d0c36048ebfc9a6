// The built program at its first start on a desktop whose keyring holds it waiting (its own password prompt
// for a keyring that does not exist yet, or a locked one): Ctrl+C and SIGTERM still end the program, and no
// key is made or stored behind the user's back.
#include <gtest/gtest.h>

#include <signal.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <atomic>
#include <filesystem>

#include "support/program_home.h"
#include "support/session_bus_daemon.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr int kBoundMs = 120'000;  // loaded machines are slow; a passing run waits far less

// Waits for `done` while this thread's events (the stand-in keyring's calls) are delivered.
bool waitFor(const std::function<bool()>& done) {
    return test::waitUntil(
        [&] {
            QCoreApplication::processEvents();
            return done();
        },
        kBoundMs / 1000.0);
}

// A secret service that takes every call and answers none, as the keyring does while its prompt waits for
// the user.
class SilentKeyring final : public QDBusVirtualObject {
  public:
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override {
        calls.fetch_add(1);
        return true;  // taken; the answer never comes
    }
    QString introspect(const QString&) const override { return {}; }

    std::atomic<int> calls{0};
};

struct Home : test::ProgramHome {
    Home() : ProgramHome("velmora-keyring") { fs::create_directories(root() / "tmp"); }
    fs::path supportFolder() const { return root() / "data" / "Corvix"; }

    QProcessEnvironment env(const QString& bus) const {
        QProcessEnvironment e = ProgramHome::env();
        e.insert("TMPDIR", path("tmp"));
        e.insert("DBUS_SESSION_BUS_ADDRESS", bus);
        e.insert("PATH", path("home"));  // no adb, nothing of the caller's
        return e;
    }
};

TEST(KeyringWait, AQuitSignalEndsTheProgramWhileTheKeyringHoldsItsFirstStart) {
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) GTEST_SKIP() << "no dbus-daemon";
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        Home home;
        const test::SessionBusDaemon daemon;
        ASSERT_FALSE(daemon.address().isEmpty()) << "dbus-daemon did not start";
        const QString address = daemon.address();
        const QString side = QStringLiteral("keyring-side-%1").arg(signal);
        SilentKeyring keyring;
        {
            QDBusConnection bus = QDBusConnection::connectToBus(address, side);
            ASSERT_TRUE(
                bus.registerVirtualObject("/org/freedesktop/secrets", &keyring, QDBusConnection::SubPath));
            ASSERT_TRUE(bus.registerService("org.freedesktop.secrets"));
        }

        QProcess program;
        program.setProcessEnvironment(home.env(address));
        program.start(VELMORA_APP, {});
        ASSERT_TRUE(program.waitForStarted(kBoundMs));
        ASSERT_TRUE(waitFor([&] { return keyring.calls.load() > 0; })) << home.log().toStdString();
        EXPECT_EQ(program.state(), QProcess::Running) << "the start waits for the keyring";

        ::kill(static_cast<pid_t>(program.processId()), signal);
        ASSERT_TRUE(program.waitForFinished(kBoundMs)) << "still waiting for the keyring";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        const QString log = home.log();
        EXPECT_TRUE(log.contains(
            QStringLiteral("sinal %1 recebido enquanto a abertura esperava: encerrando").arg(signal)))
            << log.toStdString();
        // It ended inside the wait: the keyring never answered, so no key was made or put in a file.
        EXPECT_FALSE(fs::exists(home.supportFolder() / "identity.key"));
        EXPECT_FALSE(log.contains("identidade")) << log.toStdString();

        QDBusConnection::disconnectFromBus(side);
    }
}

}  // namespace
}  // namespace velmora
