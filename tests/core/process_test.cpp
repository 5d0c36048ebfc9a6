#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "core/posix/unique_fd.h"
#include "core/process/adb_locator.h"
#include "core/process/posix_process_runner.h"
#include "core/process/process_cancel.h"
#include "helpers.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Request = ProcessRequest;
using S = std::string;

S text(const Bytes& bytes) {
    return S(bytes.begin(), bytes.end());
}

ProcessResult shell(const S& script, double timeout = 60, std::size_t cap = ProcessOutput::adbMax,
                    Request::StandardError err = Request::StandardError::discard) {
    return PosixProcessRunner().run(Request{"/bin/sh", {"-c", script}, timeout, cap, err});
}

// Seconds a run took: only ever compared with wide margins, to tell "cut off" from "ran to its end".
double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// "status/signalled/timed out/truncated" of a result, e.g. "143 SIG TIME -".
S summary(const ProcessResult& r) {
    return std::to_string(r.status) + (r.signalled ? " SIG" : " -") + (r.timedOut ? " TIME" : " -") +
           (r.truncated ? " CUT" : " -") + (r.succeeded() ? " OK" : "");
}

TEST(PosixProcessRunner, ReportsHowTheChildEndedHonestly) {
    PosixProcessRunner runner;
    test::expectRows({
        {summary(shell("exit 0")), "0 - - - OK"},
        {summary(shell("exit 3")), "3 - - -"},
        // Killed by someone else: WEXITSTATUS would read 0 here.
        {summary(shell("kill -KILL $$")), "137 SIG - -"},
        {text(runner.run(Request{"/bin/echo", {"a b", "$HOME", "*", ""}}).output), "a b $HOME * \n"},
        {text(shell("echo out; echo err >&2").output), "out\n"},
        {text(shell("echo out; echo err >&2", 60, 1000, Request::StandardError::merge).output), "out\nerr\n"},
        {summary(shell("head -c 65536 /dev/zero")), "0 - - - OK"},
    });
    const auto over = shell("head -c 65537 /dev/zero");  // ended at the cap or by itself: either way cut
    EXPECT_TRUE(over.truncated && !over.succeeded() && over.output.size() == ProcessOutput::adbMax);
    for (const char* path : {"/nonexistent/adb", "/etc/hostname", "/", ""})
        EXPECT_FALSE(runner.run(Request{path, {}}).started) << path;
}

TEST(PosixProcessRunner, TheChildGetsOnlyStandardDescriptorsNullInputAndDefaultSignals) {
    // A descriptor someone opened without close-on-exec, at a number easy to spot.
    ASSERT_EQ(::dup2(::open("/dev/zero", O_RDONLY), 77), 77);
    // The app ignores SIGPIPE for its sockets; a child that inherited that would never die on a closed pipe.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    const S out = text(shell("ls /proc/$$/fd; readlink /proc/$$/fd/0; grep SigIgn /proc/$$/status").output);
    ::sigaction(SIGPIPE, &previous, nullptr);
    ::close(77);
    EXPECT_EQ(out.find("\n77\n"), S::npos) << out;  // the shell's own may sit above 9; ours must not
    EXPECT_NE(out.find("/dev/null"), S::npos) << out;
    const auto at = out.find("SigIgn:\t");
    ASSERT_NE(at, S::npos) << out;
    EXPECT_EQ(std::stoull(out.substr(at + 8), nullptr, 16) & (1ull << (SIGPIPE - 1)), 0u) << out;
}

TEST(PosixProcessRunner, TheWatchdogAndTheCapEndAChildAndKillItIfItIgnoresTerm) {
    ProcessResult r;
    // Ended at 0.3 s by the watchdog, not at 60 s by itself: the bounds only tell one from the other.
    for (const char* script : {"exec sleep 60", "exec >&-; exec sleep 60"}) {
        EXPECT_LT(secondsOf([&] { r = shell(script, 0.3); }), 30) << script;
        EXPECT_EQ(summary(r), "143 SIG TIME -") << script;
    }
    EXPECT_LT(secondsOf([&] { r = shell("exec yes flood", 60, 1000); }), 30);
    EXPECT_EQ(summary(r), "143 SIG - CUT");
    EXPECT_EQ(r.output.size(), 1000u);
    EXPECT_EQ(text(r.output).substr(0, 12), "flood\nflood\n");
    // The trap is set before the first byte, so the TERM the cap sends always finds it.
    EXPECT_GE(secondsOf([&] { r = shell("trap '' TERM; while :; do echo flood; done", 60, 1000); }),
              PosixProcessRunner::killGraceSeconds);
    EXPECT_EQ(summary(r), "137 SIG - CUT");
    // Like `adb devices` forking its server: the child is done while a descendant keeps the pipe open. The
    // descendant leaves its id, so that it ends here and does not outlive the test.
    const test::TempDir dir;
    const S pidFile = (dir.path() / "pid").string();
    EXPECT_LT(secondsOf([&] { r = shell("sleep 60 & echo $! >" + pidFile + "; echo listed", 90); }), 30);
    EXPECT_EQ(text(r.output), "listed\n");
    const S descendant = test::readFile(pidFile);
    ASSERT_FALSE(descendant.empty());
    EXPECT_EQ(::kill(std::stoi(descendant), SIGKILL), 0);
}

// Quitting ends an adb run in flight from another thread: the child is ended (killed after the grace when
// it ignores TERM) and reaped before run() returns. Once fired, a cancel starts no child at all.
TEST(PosixProcessRunner, ACancelFiredFromAnotherThreadEndsTheChildAndStartsNoMore) {
    const test::TempDir dir;
    const S pidFile = (dir.path() / "pid").string();
    const struct {
        S script;
        S ended;
    } rows[] = {
        {"echo $$ > " + pidFile + "; exec sleep 600", "143 SIG - -"},
        {"trap '' TERM; echo $$ > " + pidFile + "; while :; do sleep 1; done", "137 SIG - -"},
    };
    for (const auto& row : rows) {
        fs::remove(pidFile);
        const auto cancel = std::make_shared<ProcessCancel>();
        std::thread quitter([&] {
            test::waitUntil([&] { return test::readFile(pidFile).ends_with('\n'); });
            cancel->fire();
        });
        ProcessResult r;
        const double took = secondsOf([&] {
            r = PosixProcessRunner().run(Request{"/bin/sh", {"-c", row.script}, 600, 1000, {}, cancel});
        });
        quitter.join();
        EXPECT_LT(took, 300) << row.script;  // the watchdog's 600 s never came into it
        EXPECT_EQ(summary(r), row.ended) << row.script;
        EXPECT_TRUE(r.cancelled && !r.succeeded()) << row.script;
        const pid_t pid = std::stoi(test::readFile(pidFile));
        EXPECT_TRUE(::kill(pid, 0) == -1 && errno == ESRCH) << "child " << pid << " still there";
    }
    const auto fired = std::make_shared<ProcessCancel>();
    fired->fire();
    fired->fire();
    const auto r = PosixProcessRunner().run(Request{"/bin/sh", {"-c", "echo ran"}, 60, 1000, {}, fired});
    EXPECT_FALSE(r.started);
    EXPECT_TRUE(r.cancelled && r.output.empty());
}

TEST(ReadCapped, KeepsTheCapReportsTheExcessOnceAndEndsQuietlyOnAReadError) {
    const test::TempDir dir;
    for (const std::size_t size :
         {ProcessOutput::adbMax, ProcessOutput::adbMax + 1, 3 * ProcessOutput::adbMax}) {
        test::writeFile(dir.path() / "out", S(size, 'x'));
        const UniqueFd file(::open((dir.path() / "out").c_str(), O_RDONLY | O_CLOEXEC));
        int exceeded = 0;
        const auto out = ProcessOutput::readCapped(file.get(), ProcessOutput::adbMax, [&] { ++exceeded; });
        EXPECT_EQ(out.data.size(), ProcessOutput::adbMax);
        EXPECT_EQ(exceeded, out.truncated ? 1 : 0);
        EXPECT_EQ(out.truncated, size > ProcessOutput::adbMax);
    }
    // A directory reads with EISDIR: the loop must stop, not spin.
    const UniqueFd folder(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const int fd : {-1, folder.get()}) {
        const auto nothing = ProcessOutput::readCapped(fd, 100, [] { ADD_FAILURE() << "no excess"; });
        EXPECT_TRUE(nothing.data.empty() && !nothing.truncated) << fd;
    }
}

// The places adb may be found are checked before it is run: a file another user could replace is refused.
TEST(AdbLocator, AcceptsOnlyProtectedExecutablesOfRootOrUs) {
    const test::TempDir dir("velmora-adb");
    const auto folder = [&](const S& name, mode_t mode) {
        fs::create_directories(dir.path() / name);
        ::chmod((dir.path() / name).c_str(), mode);
        return (dir.path() / name).string();
    };
    const auto file = [](const S& in, mode_t mode, const S& name = "adb") {
        test::writeFile(in + "/" + name, "#!/bin/sh\n", mode);
        return in + "/" + name;
    };
    const auto link = [](const S& target, const S& at) {
        fs::create_symlink(target, at);
        return at;
    };
    const auto safe = folder("safe", 0755), open = folder("open", 0777), links = folder("links", 0755);
    const std::pair<S, bool> cases[] = {
        {file(safe, 0755), true},
        {file(safe, 0775, "adb-g"), true},             // group may write the file
        {file(folder("group", 0775), 0755), true},     // group may write the folder
        {file(safe, 0757, "adb-o"), false},            // others may write the file
        {file(open, 0755), false},                     // others may write the folder
        {file(folder("sticky", 01777), 0755), false},  // a sticky world-writable folder like /tmp
        {file(safe, 0644, "adb-x"), false},            // not executable
        {safe + "/nothing", false},
        {folder("safe/adb-dir", 0755), false},
        {link(safe + "/adb", links + "/adb"), true},
        {link(open + "/adb", links + "/adb-open"), false},
        {link(safe + "/gone", links + "/adb-gone"), false},
        {"", false},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(AdbLocator::isSafeBinary(path), expected) << path;
    // The first safe candidate wins, as given: a link's own path, not its target.
    const auto other = file(folder("other", 0755), 0755);
    EXPECT_EQ(AdbLocator::find({open + "/adb", links + "/adb", other}), links + "/adb");
    EXPECT_EQ(AdbLocator::find({other, links + "/adb"}), other);
    EXPECT_EQ(AdbLocator::find({open + "/adb", safe + "/nothing"}), std::nullopt);
    // No home, or a relative one, must not make a candidate relative to the working folder.
    EXPECT_EQ(AdbLocator::defaultCandidates("/home/ana").back(), "/home/ana/Android/Sdk/platform-tools/adb");
    for (const char* home : {"", "ana", "./x"})
        EXPECT_EQ(AdbLocator::defaultCandidates(home),
                  (std::vector<S>{"/usr/bin/adb", "/usr/local/bin/adb"}));

    if (::getuid() != 0) GTEST_SKIP() << "needs root to give a file away";
    ASSERT_EQ(::chown((safe + "/adb").c_str(), 12345, 12345), 0);
    EXPECT_FALSE(AdbLocator::isSafeBinary(safe + "/adb"));
    ASSERT_EQ(::chown(other.c_str(), 0, 0), 0);
    ASSERT_EQ(::chown((dir.path() / "other").c_str(), 12345, 12345), 0);
    EXPECT_TRUE(AdbLocator::isSafeBinary(other));  // the folder's owner is not examined
}

}  // namespace
}  // namespace velmora
