#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/log/log_writer.h"
#include "core/log/velmora_log.h"
#include "file_helpers.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);)
        lines.push_back(line);
    return lines;
}

const std::regex kStamped(R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}(Z|[+-]\d{2}:\d{2}) (.*)$)");

TEST(LogStamp, FormatWithZone) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 14;
    t.tm_hour = 9;
    t.tm_min = 26;
    t.tm_sec = 53;
    EXPECT_EQ(formatLogStamp(t, 589, -3 * 3600), "2026-03-14T09:26:53.589-03:00");
    EXPECT_EQ(formatLogStamp(t, 5, 0), "2026-03-14T09:26:53.005Z");
    EXPECT_EQ(formatLogStamp(t, 0, 5 * 3600 + 45 * 60), "2026-03-14T09:26:53.000+05:45");
    EXPECT_TRUE(std::regex_match(logStamp(std::chrono::system_clock::now()) + " x", kStamped));
}

TEST(LogWriter, OneStampPerTextAndFolderCreatedPrivate) {
    TempDir dir;
    const fs::path folder = dir.path() / "state" / "Velmora";
    {
        LogWriter log(folder);
        log.write("conectado a Phone");
        log.write("primeira\nsegunda");
        log.write("");
    }  // the destructor writes what is queued
    const auto lines = linesOf(readFile(folder / "velmora.log"));
    ASSERT_EQ(lines.size(), 4u);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, kStamped));
    EXPECT_EQ(m[2], "conectado a Phone");
    ASSERT_TRUE(std::regex_match(lines[1], m, kStamped));
    EXPECT_EQ(m[2], "primeira");
    EXPECT_EQ(lines[2], "segunda");  // no stamp on the continuation
    ASSERT_TRUE(std::regex_match(lines[3], m, kStamped));
    EXPECT_EQ(m[2], "");
    EXPECT_EQ(test::modeOf(folder), 0700u);
    EXPECT_EQ(test::modeOf(folder / "velmora.log") & 0077, 0u);
}

TEST(LogWriter, RotatesOnlyPastOneMillionBytes) {
    TempDir dir;
    LogWriter log(dir.path());
    const fs::path live = dir.path() / "velmora.log";
    const fs::path old = dir.path() / "velmora.old.log";
    std::ofstream(live, std::ios::binary) << std::string(LogWriter::kRotateAbove, 'a');
    std::ofstream(old, std::ios::binary) << "older generation";

    log.write("exatamente no limite");  // 1,000,000 bytes: appended, not rotated
    log.flush();
    EXPECT_GT(fs::file_size(live), LogWriter::kRotateAbove);
    EXPECT_EQ(readFile(old), "older generation");

    log.write("gira agora");  // now past the limit: this line opens the new file
    log.flush();
    EXPECT_GT(fs::file_size(old), LogWriter::kRotateAbove);
    EXPECT_NE(readFile(old).find("exatamente no limite"), std::string::npos);
    const auto lines = linesOf(readFile(live));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(" gira agora"), std::string::npos);

    fs::remove(live);  // the user deleted the live file meanwhile
    log.write("de novo");
    log.flush();
    EXPECT_EQ(linesOf(readFile(live)).size(), 1u);
}

TEST(LogWriter, KeepsOrderAcrossThreadsAndNeverInterleaves) {
    TempDir dir;
    constexpr int kThreads = 6;
    constexpr int kLines = 400;
    {
        LogWriter log(dir.path());
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&log, t] {
                for (int i = 0; i < kLines; ++i)
                    log.write("t" + std::to_string(t) + " " + std::to_string(i));
            });
        }
        for (auto& th : threads)
            th.join();
        log.flush();
    }
    const auto lines = linesOf(readFile(dir.path() / "velmora.log"));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    const std::regex body(R"(t(\d+) (\d+))");
    for (const auto& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, kStamped)) << line;
        const std::string text = m[2];
        std::smatch b;
        ASSERT_TRUE(std::regex_match(text, b, body)) << line;
        const int t = std::stoi(b[1]);
        EXPECT_EQ(std::stoi(b[2]), next[t]++) << "thread " << t << " out of order";
    }
}

TEST(LogWriter, AnUnwritableFolderLosesLinesQuietly) {
    TempDir dir;
    std::ofstream(dir.path() / "blocker") << "a file where the folder should be";
    LogWriter log(dir.path() / "blocker" / "Velmora");
    log.write("perdida");
    log.flush();
    EXPECT_FALSE(fs::exists(dir.path() / "blocker" / "Velmora"));
}

TEST(VelmoraLog, DefaultFolderFollowsTheStateHome) {
    EXPECT_EQ(VelmoraLog::defaultFolder("/x/state", "/home/u"), fs::path("/x/state/Velmora"));
    EXPECT_EQ(VelmoraLog::defaultFolder(std::nullopt, "/home/u"), fs::path("/home/u/.local/state/Velmora"));
    EXPECT_EQ(VelmoraLog::defaultFolder("", "/home/u"), fs::path("/home/u/.local/state/Velmora"));
    EXPECT_EQ(VelmoraLog::defaultFolder("relative", "/home/u"), fs::path("/home/u/.local/state/Velmora"));
}

TEST(VelmoraLog, WritesToTheChosenFolder) {
    TempDir dir;
    VelmoraLog::setFolder(dir.path());
    EXPECT_EQ(VelmoraLog::url(), dir.path() / "velmora.log");
    VelmoraLog::write("olá");
    VelmoraLog::flush();
    const auto lines = linesOf(readFile(VelmoraLog::url()));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with(" olá"));
}

}  // namespace
}  // namespace velmora
