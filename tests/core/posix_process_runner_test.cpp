#include "core/process/posix_process_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace velmora {
namespace {

using Request = ProcessRequest;

std::string text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

ProcessResult shell(const std::string& script, double timeout = 60, std::size_t cap = ProcessOutput::adbMax,
                    Request::StandardError err = Request::StandardError::discard) {
    return PosixProcessRunner().run(Request{"/bin/sh", {"-c", script}, timeout, cap, err});
}

// Seconds a run took. Only used to tell "cut off" from "ran to its end" with a wide margin.
double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(PosixProcessRunner, ReportsExitStatusesHonestly) {
    const std::tuple<const char*, int, bool> cases[] = {
        {"exit 0", 0, false},
        {"exit 3", 3, false},
        // Killed by someone else: WEXITSTATUS would read 0 here.
        {"kill -KILL $$", 128 + SIGKILL, true},
        {"kill -TERM $$", 128 + SIGTERM, true},
    };
    for (const auto& [script, status, signalled] : cases) {
        const auto result = shell(script);
        EXPECT_TRUE(result.started) << script;
        EXPECT_EQ(result.status, status) << script;
        EXPECT_EQ(result.signalled, signalled) << script;
        EXPECT_EQ(result.succeeded(), status == 0) << script;
        EXPECT_FALSE(result.timedOut) << script;
    }
}

TEST(PosixProcessRunner, PassesArgumentsVerbatimAndReportsAProgramThatCannotStart) {
    PosixProcessRunner runner;
    const auto result = runner.run(Request{"/bin/echo", {"a b", "$HOME", "*", ""}});
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(text(result.output), "a b $HOME * \n");
    for (const char* path : {"/nonexistent/adb", "/etc/hostname", "/", ""}) {
        const auto failed = runner.run(Request{path, {}});
        EXPECT_FALSE(failed.started || failed.succeeded()) << path;
    }
    const char* script = "echo out; echo err >&2";
    EXPECT_EQ(text(shell(script).output), "out\n");
    EXPECT_EQ(text(shell(script, 60, 1000, Request::StandardError::merge).output), "out\nerr\n");
}

TEST(PosixProcessRunner, ChildGetsOnlyStandardDescriptorsNullInputAndDefaultSignals) {
    // A descriptor someone opened without close-on-exec, at a number easy to spot.
    const int leaked = ::dup2(::open("/dev/zero", O_RDONLY), 77);
    ASSERT_EQ(leaked, 77);
    // The app ignores SIGPIPE for its sockets; a child that inherited that would never die on a closed pipe.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    const auto result = shell("ls /proc/$$/fd; readlink /proc/$$/fd/0; grep SigIgn /proc/$$/status");
    ::sigaction(SIGPIPE, &previous, nullptr);
    ::close(leaked);
    ASSERT_TRUE(result.succeeded());
    // The shell may open its own descriptors above 9; ours must not be among them.
    const std::string listing = text(result.output);
    EXPECT_EQ(listing.find("\n77\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("/dev/null"), std::string::npos) << listing;
    const auto at = listing.find("SigIgn:\t");
    ASSERT_NE(at, std::string::npos) << listing;
    EXPECT_EQ(std::stoull(listing.substr(at + 8), nullptr, 16) & (1ull << (SIGPIPE - 1)), 0u) << listing;
}

TEST(PosixProcessRunner, TheWatchdogEndsAChildThatHangsEvenWithItsOutputClosed) {
    for (const char* script : {"exec sleep 60", "exec >&-; exec sleep 60"}) {
        ProcessResult result;
        // Ended at 0.3 s by the watchdog, not at 60 s by itself; a loaded machine must not fail the bound.
        EXPECT_LT(secondsOf([&] { result = shell(script, 0.3); }), 30) << script;
        EXPECT_TRUE(result.timedOut) << script;
        EXPECT_EQ(result.status, 128 + SIGTERM) << script;
        EXPECT_FALSE(result.succeeded()) << script;
    }
}

TEST(PosixProcessRunner, AFloodingChildIsEndedAtTheCapAndKilledAfterTheGraceIfItIgnoresTerm) {
    ProcessResult result;
    EXPECT_LT(secondsOf([&] { result = shell("exec yes flood", 60, 1000); }), 30);
    EXPECT_TRUE(result.truncated);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.status, 128 + SIGTERM);
    EXPECT_EQ(result.output.size(), 1000u);
    EXPECT_EQ(text(result.output).substr(0, 12), "flood\nflood\n");
    EXPECT_FALSE(result.succeeded());

    // The trap is set before the first byte, so the TERM the cap sends always finds it.
    EXPECT_GE(secondsOf([&] { result = shell("trap '' TERM; while :; do echo flood; done", 60, 1000); }),
              PosixProcessRunner::killGraceSeconds);
    EXPECT_EQ(result.status, 128 + SIGKILL);
    EXPECT_EQ(result.output.size(), 1000u);

    const auto exact = shell("head -c 65536 /dev/zero"), over = shell("head -c 65537 /dev/zero");
    EXPECT_TRUE(exact.succeeded());
    EXPECT_EQ(exact.output.size(), ProcessOutput::adbMax);
    EXPECT_TRUE(over.truncated);
    EXPECT_EQ(over.output.size(), ProcessOutput::adbMax);
    EXPECT_FALSE(over.succeeded());
}

TEST(PosixProcessRunner, AGrandchildHoldingTheOutputDoesNotBlockTheRun) {
    // Like `adb devices` forking its server: the child is done while a descendant keeps the pipe open.
    ProcessResult result;
    EXPECT_LT(secondsOf([&] { result = shell("sleep 60 & echo listed", 90); }), 30);
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(text(result.output), "listed\n");
}

TEST(PosixProcessRunner, RunsFromManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            const auto result = shell("echo " + std::to_string(i) + "; exit " + std::to_string(i % 2));
            if (text(result.output) == std::to_string(i) + "\n" && result.status == i % 2) ++good;
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(good.load(), 8);
}

}  // namespace
}  // namespace velmora
