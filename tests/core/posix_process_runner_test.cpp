#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "core/process/posix_process_runner.h"

namespace velmora {
namespace {

using Request = ProcessRequest;

std::string text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

ProcessResult shell(const std::string& script, double timeout = 10, std::size_t cap = ProcessOutput::adbMax,
                    Request::StandardError err = Request::StandardError::discard) {
    PosixProcessRunner runner;
    return runner.run(Request{"/bin/sh", {"-c", script}, timeout, cap, err});
}

double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(PosixProcessRunner, ReportsExitStatusesHonestly) {
    struct Case {
        const char* script;
        int status;
        bool signalled;
        bool succeeded;
    };
    const Case cases[] = {
        {"exit 0", 0, false, true},
        {"exit 3", 3, false, false},
        {"exit 255", 255, false, false},
        // Killed by someone else: WEXITSTATUS would read 0 here.
        {"kill -KILL $$", 128 + SIGKILL, true, false},
        {"kill -TERM $$", 128 + SIGTERM, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const auto result = shell(c.script);
        EXPECT_TRUE(result.started);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.signalled, c.signalled);
        EXPECT_EQ(result.succeeded(), c.succeeded);
        EXPECT_FALSE(result.timedOut);
    }
}

TEST(PosixProcessRunner, PassesArgumentsVerbatimWithoutAShell) {
    PosixProcessRunner runner;
    const auto result = runner.run(Request{"/bin/echo", {"a b", "$HOME", "*", ""}});
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(text(result.output), "a b $HOME * \n");
}

TEST(PosixProcessRunner, AProgramThatCannotStartIsNotStarted) {
    PosixProcessRunner runner;
    for (const char* path : {"/nonexistent/adb", "/etc/hostname", "/", ""}) {
        SCOPED_TRACE(path);
        const auto result = runner.run(Request{path, {}});
        EXPECT_FALSE(result.started);
        EXPECT_FALSE(result.succeeded());
    }
}

TEST(PosixProcessRunner, StandardErrorIsDiscardedOrMerged) {
    const char* script = "echo out; echo err >&2";
    EXPECT_EQ(text(shell(script).output), "out\n");
    EXPECT_EQ(text(shell(script, 10, 1000, Request::StandardError::merge).output), "out\nerr\n");
}

TEST(PosixProcessRunner, ChildGetsOnlyStandardDescriptorsAndNullInput) {
    // A descriptor someone opened without close-on-exec, at a number easy to spot.
    const int leaked = ::dup2(::open("/dev/zero", O_RDONLY), 77);
    ASSERT_EQ(leaked, 77);
    const auto result = shell("ls /proc/$$/fd; readlink /proc/$$/fd/0");
    ::close(leaked);
    ASSERT_TRUE(result.succeeded());
    // The shell may open its own descriptors above 9; ours must not be among them.
    const std::string listing = text(result.output);
    EXPECT_EQ(listing.find("\n77\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("/dev/null"), std::string::npos) << listing;
}

TEST(PosixProcessRunner, ChildDoesNotInheritIgnoredSignals) {
    // The app ignores SIGPIPE for its sockets; a child that inherited that would never die on a closed pipe.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    PosixProcessRunner runner;
    const auto result = runner.run(Request{"/bin/grep", {"SigIgn", "/proc/self/status"}});
    ::sigaction(SIGPIPE, &previous, nullptr);
    ASSERT_TRUE(result.succeeded());
    const std::string line = text(result.output);
    ASSERT_EQ(line.rfind("SigIgn:\t", 0), 0u) << line;
    const unsigned long long ignored = std::stoull(line.substr(8), nullptr, 16);
    EXPECT_EQ(ignored & (1ull << (SIGPIPE - 1)), 0u) << line;
}

TEST(PosixProcessRunner, WatchdogEndsAHangingChild) {
    ProcessResult result;
    const double took = secondsOf([&] { result = shell("echo started; exec sleep 60", 0.3); });
    // Bounds only tell "ended by the watchdog" from "ran to its end"; a loaded machine must not fail them.
    EXPECT_LT(took, 30);
    EXPECT_TRUE(result.timedOut);
    EXPECT_TRUE(result.signalled);
    EXPECT_EQ(result.status, 128 + SIGTERM);
    EXPECT_EQ(text(result.output), "started\n");
    EXPECT_FALSE(result.succeeded());
}

TEST(PosixProcessRunner, WatchdogKillsAChildThatIgnoresTerm) {
    ProcessResult result;
    const double took = secondsOf([&] { result = shell("trap '' TERM; while :; do sleep 0.05; done", 0.2); });
    EXPECT_GE(took, PosixProcessRunner::killGraceSeconds);
    EXPECT_LT(took, 30);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.status, 128 + SIGKILL);
}

TEST(PosixProcessRunner, WatchdogAlsoCoversAChildThatClosedItsOutput) {
    const auto result = shell("exec >&-; exec sleep 30", 0.2);
    EXPECT_TRUE(result.timedOut);
    EXPECT_FALSE(result.succeeded());
}

TEST(PosixProcessRunner, FloodingChildIsEndedAtTheCap) {
    ProcessResult result;
    const double took = secondsOf([&] { result = shell("exec yes flood", 60, 1000); });
    EXPECT_LT(took, 30);
    EXPECT_TRUE(result.truncated);
    EXPECT_TRUE(result.signalled);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.output.size(), 1000u);
    EXPECT_EQ(text(result.output).substr(0, 12), "flood\nflood\n");
    EXPECT_FALSE(result.succeeded());
}

TEST(PosixProcessRunner, OutputOfExactlyTheCapSucceeds) {
    const auto result = shell("head -c 65536 /dev/zero");
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.output.size(), ProcessOutput::adbMax);
    const auto over = shell("head -c 65537 /dev/zero");
    EXPECT_TRUE(over.truncated);
    EXPECT_EQ(over.output.size(), ProcessOutput::adbMax);
    EXPECT_FALSE(over.succeeded());
}

TEST(PosixProcessRunner, GrandchildHoldingTheOutputDoesNotBlockTheRun) {
    // Like `adb devices` forking its server: the child is done while a descendant keeps the pipe open.
    ProcessResult result;
    const double took = secondsOf([&] { result = shell("sleep 60 & echo listed", 90); });
    EXPECT_LT(took, 30);
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
