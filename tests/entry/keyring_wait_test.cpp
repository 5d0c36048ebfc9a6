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

#include "support/session_bus_daemon.h"
#include "support/temp_dir.h"
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

struct Home {
    test::TempDir dir{"velmora-keyring"};

    Home() {
        for (const char* sub : {"home", "run", "state", "data", "config", "cache", "tmp"})
            fs::create_directories(dir.path() / sub);
        fs::permissions(dir.path() / "run", fs::perms::owner_all);
    }
    QString path(const char* sub) const { return QString::fromStdString((dir.path() / sub).string()); }
    fs::path supportFolder() const { return dir.path() / "data" / "Corvix"; }

    QProcessEnvironment env(const QString& bus) const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("HOME", path("home"));
        e.insert("XDG_RUNTIME_DIR", path("run"));
        e.insert("XDG_STATE_HOME", path("state"));
        e.insert("XDG_DATA_HOME", path("data"));
        e.insert("XDG_CONFIG_HOME", path("config"));
        e.insert("XDG_CACHE_HOME", path("cache"));
        e.insert("TMPDIR", path("tmp"));
        e.insert("DBUS_SESSION_BUS_ADDRESS", bus);
        e.insert("QT_QPA_PLATFORM", "offscreen");
        e.insert("PATH", path("home"));  // no adb, nothing of the caller's
        return e;
    }
    QString log() const {
        QFile f(path("state") + "/Velmora/velmora.log");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
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

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
