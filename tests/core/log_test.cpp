#include "core/log/log_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <sstream>
#include <thread>

#include "core/log/log_throttle.h"
#include "core/log/rate_limiter.h"
#include "core/log/velmora_log.h"
#include "helpers.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::readFile;

// The lines of a file, each stamped line as its text after the stamp and unstamped lines as "| text".
std::vector<std::string> linesOf(const fs::path& file) {
    static const std::regex stamped(
        R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}(Z|[+-]\d{2}:\d{2}) (.*)$)");
    std::vector<std::string> lines;
    std::stringstream s(readFile(file));
    std::smatch m;
    for (std::string line; std::getline(s, line);)
        lines.push_back(std::regex_match(line, m, stamped) ? m[2].str() : "| " + line);
    return lines;
}

TEST(LogWriter, OneStampPerTextInThePrivateFolderAndTheDocumentedForm) {
    const std::tm t{53, 26, 9, 14, 2, 2026 - 1900, 0, 0, 0, 0, nullptr};  // 2026-03-14 09:26:53
    EXPECT_EQ(formatLogStamp(t, 589, -3 * 3600), "2026-03-14T09:26:53.589-03:00");
    EXPECT_EQ(formatLogStamp(t, 5, 0), "2026-03-14T09:26:53.005Z");
    EXPECT_EQ(formatLogStamp(t, 0, 5 * 3600 + 45 * 60), "2026-03-14T09:26:53.000+05:45");

    test::TempDir dir;
    const fs::path folder = dir.path() / "state" / "Velmora";
    {
        LogWriter log(folder);
        log.write("conectado a Phone");
        log.write("primeira\nsegunda");
        log.write("");
    }  // the destructor writes what is queued
    EXPECT_EQ(linesOf(folder / "velmora.log"),
              (std::vector<std::string>{"conectado a Phone", "primeira", "| segunda", ""}));
    EXPECT_EQ(test::modeOf(folder), 0700u);
    EXPECT_EQ(test::modeOf(folder / "velmora.log") & 0077, 0u);
}

TEST(LogWriter, RotatesOnlyPastOneMillionBytes) {
    test::TempDir dir;
    LogWriter log(dir.path());
    const fs::path live = dir.path() / "velmora.log", old = dir.path() / "velmora.old.log";
    test::writeFile(live, std::string(LogWriter::kRotateAbove, 'a'));
    test::writeFile(old, "older generation");
    log.write("exatamente no limite");  // 1,000,000 bytes: appended, not rotated
    log.flush();
    EXPECT_EQ(readFile(old), "older generation");
    log.write("gira agora");  // now past the limit: this line opens the new file
    log.flush();
    EXPECT_GT(fs::file_size(old), LogWriter::kRotateAbove);
    EXPECT_NE(readFile(old).find("exatamente no limite"), std::string::npos);
    EXPECT_EQ(linesOf(live), std::vector<std::string>{"gira agora"});

    fs::remove(live);  // the user deleted the live file meanwhile
    log.write("de novo");
    log.flush();
    EXPECT_EQ(linesOf(live), std::vector<std::string>{"de novo"});
    LogWriter blocked(live / "Velmora");  // a file where the folder should be: lines are lost quietly
    blocked.write("perdida");
    blocked.flush();
}

TEST(LogWriter, KeepsOrderAcrossThreadsAndNeverInterleaves) {
    test::TempDir dir;
    {
        LogWriter log(dir.path());
        std::vector<std::thread> threads;
        for (int t = 0; t < 6; ++t) {
            threads.emplace_back([&log, t] {
                for (int i = 0; i < 400; ++i)
                    log.write(std::to_string(t) + " " + std::to_string(i));
            });
        }
        for (auto& th : threads)
            th.join();
    }
    const auto lines = linesOf(dir.path() / "velmora.log");
    ASSERT_EQ(lines.size(), 6u * 400);
    std::vector<int> next(6, 0);
    for (const auto& line : lines) {
        const int t = line[0] - '0';
        ASSERT_TRUE(t >= 0 && t < 6) << line;
        EXPECT_EQ(line, std::to_string(t) + " " + std::to_string(next[t]++));
    }
}

TEST(VelmoraLog, WritesToTheChosenFolderAndTheDefaultFollowsTheStateHome) {
    test::TempDir dir;
    VelmoraLog::setFolder(dir.path());
    EXPECT_EQ(VelmoraLog::url(), dir.path() / "velmora.log");
    VelmoraLog::write("olá");
    VelmoraLog::flush();
    EXPECT_EQ(linesOf(VelmoraLog::url()), std::vector<std::string>{"olá"});

    EXPECT_EQ(VelmoraLog::defaultFolder("/x/state", "/home/u"), fs::path("/x/state/Velmora"));
    EXPECT_EQ(VelmoraLog::defaultFolder(std::nullopt, "/home/u"), fs::path("/home/u/.local/state/Velmora"));
    EXPECT_EQ(VelmoraLog::defaultFolder("relative", "/home/u"), fs::path("/home/u/.local/state/Velmora"));
}

TEST(LogThrottle, OncePerIntervalPerKeyAndAFullTableIsEmptied) {
    double now = 0;
    LogThrottle throttle(30, [&] { return now; });
    for (const auto& [t, expected] : {std::pair{0.0, true}, {29.9, false}, {30.0, true}, {45.0, false}}) {
        now = t;
        EXPECT_EQ(throttle.shouldLog("k0"), expected) << "at " << t;
    }
    for (std::size_t i = 1; i < LogThrottle::kMaxKeys; ++i)
        EXPECT_TRUE(throttle.shouldLog("k" + std::to_string(i)));  // keys are independent
    EXPECT_FALSE(throttle.shouldLog("k0"));
    EXPECT_TRUE(throttle.shouldLog("one key too many"));  // empties the table
    EXPECT_TRUE(throttle.shouldLog("k0"));                // refused a moment ago, allowed once more
    EXPECT_FALSE(throttle.shouldLog("k0"));
}

TEST(RateLimiter, SlidingWindowWhereRefusedCallsDoNotStretchTheRefusal) {
    double now = 0;
    RateLimiter limiter(2, 10, [&] { return now; });
    const std::pair<double, bool> steps[] = {{0, true},  {1, true},     {2, false}, {9.9, false},
                                             {10, true}, {10.5, false}, {11, true}};
    for (const auto& [t, expected] : steps) {
        now = t;
        EXPECT_EQ(limiter.allow(), expected) << "at " << t;
    }
    EXPECT_FALSE(RateLimiter(0, 10, [&] { return now; }).allow());
    EXPECT_FALSE(RateLimiter(-1, 10, [&] { return now; }).allow());
}

TEST(RateLimiter, SharedBetweenThreadsAllowsExactlyTheMaximum) {
    RateLimiter limiter(60, 1e9);  // the real clock; the window never ends during the test
    std::atomic<int> allowed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 100; ++i)
                allowed += limiter.allow() ? 1 : 0;
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(allowed.load(), 60);
}

}  // namespace
}  // namespace velmora
