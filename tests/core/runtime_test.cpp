#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "core/exec/serial_queue.h"
#include "core/log/log_writer.h"
#include "helpers.h"

namespace velmora {
namespace {

TEST(SerialQueue, RunsTasksFromManyThreadsOneAtATimeInPostOrderPerThread) {
    std::vector<std::pair<int, int>> seen;
    std::atomic<int> running{0};
    {
        SerialQueue queue("test.serial");
        std::vector<std::thread> posters;
        for (int t = 0; t < 4; ++t) {
            posters.emplace_back([&, t] {
                for (int i = 0; i < 200; ++i)
                    queue.post([&, t, i] {
                        EXPECT_EQ(++running, 1);
                        seen.emplace_back(t, i);
                        --running;
                    });
            });
        }
        for (auto& p : posters)
            p.join();
    }  // the destructor runs every task already posted
    std::vector<int> next(4, 0);
    for (auto [t, i] : seen)
        EXPECT_EQ(i, next[t]++);
    EXPECT_EQ(next, std::vector<int>(4, 200));
}

TEST(SerialQueue, SyncRunsOnTheQueueAndACancelledTimerNeverFires) {
    std::promise<void> later;
    std::atomic<bool> fired{false};
    SerialQueue queue("test.sync");
    queue.postAfter(0.05, [&] { fired = true; }).cancel();
    // Due no earlier and posted after: once it has run, the cancelled one had its turn.
    queue.postAfter(0.05, [&] { later.set_value(); });
    bool onQueue = false;
    queue.sync([&] { onQueue = queue.isCurrent(); });
    EXPECT_TRUE(onQueue);
    EXPECT_FALSE(queue.isCurrent());
    ASSERT_EQ(later.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
    EXPECT_FALSE(fired.load());
}

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

}  // namespace
}  // namespace velmora
