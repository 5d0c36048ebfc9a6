// The program's one instance per home. Started where the session gives it no runtime folder and its temporary
// folder names nothing (a su or cron start with a stale $TMPDIR), it takes its lock beside its log, so a
// second start ends at once whatever its own $TMPDIR or runtime folder says; and a start from a session with
// a runtime folder and one without find each other, whichever came first.
#include <gtest/gtest.h>

#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <functional>
#include <memory>

#include "support/program_home.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

constexpr int kBoundMs = 120'000;  // loaded machines are slow; a passing run waits far less

// A private home for the program: HOME, state, data and config of its own, no runtime folder, a temporary
// folder that does not exist, no session bus.
struct Home : test::ProgramHome {
    Home() : ProgramHome("velmora-lock") {}
    QProcessEnvironment env() const {
        QProcessEnvironment e = ProgramHome::env();
        e.insert("TMPDIR", path("no-such-folder"));
        e.remove("XDG_RUNTIME_DIR");
        return e;
    }
};

struct Program {
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    explicit Program(const QProcessEnvironment& env) {
        process->setProcessEnvironment(env);
        process->start(VELMORA_APP, {});
        EXPECT_TRUE(process->waitForStarted(kBoundMs));
    }
    ~Program() {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(kBoundMs);
        }
    }
    // The exit status, or -1 when it did not end in time or crashed (an abort is status 134 to a shell).
    int finish() {
        if (!process->waitForFinished(kBoundMs) || process->exitStatus() != QProcess::NormalExit) return -1;
        return process->exitCode();
    }
};

TEST(Application, WithoutRuntimeAndTemporaryFolderRunsWithItsLockBesideTheLog) {
    Home home;
    Program first(home.env());
    ASSERT_TRUE(test::waitUntil([&] { return home.log().contains("Velmora iniciando"); }, kBoundMs / 1000.0))
        << "status " << first.finish() << ": " << first.process->readAllStandardError().toStdString();
    EXPECT_TRUE(home.log().contains("XDG_RUNTIME_DIR ausente ou inutilizável: trava de instância em " +
                                    home.path("state") + "/Velmora"))
        << home.log().toStdString();
    EXPECT_TRUE(QFile::exists(home.path("state") + "/Velmora/velmora.lock"));

    // Later starts find it whatever their temporary or runtime folder.
    const struct {
        const char* what;
        const char* name;
        QString value;  // empty: the variable is removed
    } rows[] = {
        {"the same environment", "TMPDIR", home.path("no-such-folder")},
        {"a temporary folder that exists", "TMPDIR", home.path("state")},
        {"no temporary folder named", "TMPDIR", {}},
        {"a runtime folder that does not exist", "XDG_RUNTIME_DIR", home.path("no-such-run")},
    };
    int refused = 0;
    for (const auto& row : rows) {
        QProcessEnvironment env = home.env();
        row.value.isEmpty() ? env.remove(row.name) : env.insert(row.name, row.value);
        Program second(env);
        EXPECT_EQ(second.finish(), 0) << row.what;
        EXPECT_EQ(home.log().count("já está em execução"), ++refused) << row.what;
    }
    EXPECT_EQ(home.log().count("Velmora iniciando"), 1);
    ::kill(static_cast<pid_t>(first.process->processId()), SIGTERM);
    EXPECT_EQ(first.finish(), 0);
    EXPECT_TRUE(home.log().contains("Velmora encerrado"));
}

// Table: two starts of one home, one from a session with a runtime folder and one without (a desktop start
// and a su or cron start), in either order. The second ends as a second start does; the first holds the lock
// beside the log in both cases, and the runtime folder's too when it has one.
TEST(Application, OneInstancePerHomeWhetherEachStartHasARuntimeFolderOrNot) {
    const struct {
        const char* what;
        bool firstHasRuntime;
    } rows[] = {
        {"first with a runtime folder, second without", true},
        {"first without a runtime folder, second with", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Home home;
        QProcessEnvironment withRuntime = home.env();
        withRuntime.insert("XDG_RUNTIME_DIR", home.path("run"));
        withRuntime.remove("TMPDIR");
        const QProcessEnvironment& firstEnv = row.firstHasRuntime ? withRuntime : home.env();
        const QProcessEnvironment& secondEnv = row.firstHasRuntime ? home.env() : withRuntime;

        Program first(firstEnv);
        ASSERT_TRUE(
            test::waitUntil([&] { return home.log().contains("Velmora iniciando"); }, kBoundMs / 1000.0))
            << "status " << first.finish() << ": " << first.process->readAllStandardError().toStdString();
        EXPECT_TRUE(QFile::exists(home.path("state") + "/Velmora/velmora.lock"));
        EXPECT_EQ(QFile::exists(home.path("run") + "/velmora.lock"), row.firstHasRuntime);

        Program second(secondEnv);
        EXPECT_EQ(second.finish(), 0);
        EXPECT_EQ(home.log().count("Velmora já está em execução: esta instância termina"), 1)
            << home.log().toStdString();
        EXPECT_EQ(home.log().count("Velmora iniciando"), 1) << home.log().toStdString();
        EXPECT_EQ(first.process->state(), QProcess::Running);
        ::kill(static_cast<pid_t>(first.process->processId()), SIGTERM);
        EXPECT_EQ(first.finish(), 0);
    }
}

}  // namespace
}  // namespace velmora
