#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/exec/serial_queue.h"

namespace velmora {

// The stamp of a log line: local date and time with milliseconds and the zone offset, e.g.
// "2026-03-14T09:26:53.589-03:00" ("Z" for UTC).
std::string formatLogStamp(const std::tm& local, int millis, long offsetSeconds);
std::string logStamp(std::chrono::system_clock::time_point when);

// Appends stamped lines to "velmora.log" in one folder, in the order written, and moves a file that has
// grown past 1,000,000 bytes to "velmora.old.log" (one old generation) before the next line.
//
// Threads: write() and flush() may be called from any thread. write() only stamps the line and keeps it;
// all file work runs on the serial queue "velmora.log", which takes the kept lines in one pass a moment
// after the first of them, so a burst of lines wakes it once and not per line. No file stays open between
// lines. A line that
// cannot be written (folder or file not creatable, disk full) is lost silently; the next line tries again.
class LogWriter {
  public:
    static constexpr std::uintmax_t kRotateAbove = 1'000'000;

    explicit LogWriter(std::filesystem::path folder);
    ~LogWriter();  // writes every line already written
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Stamps `text` now and queues "<stamp> <text>\n". A text with line feeds spans several lines of the
    // file, with one stamp at its start.
    void write(std::string_view text);
    // Returns when every line written before the call is in the file.
    void flush();

    const std::filesystem::path& folder() const { return folder_; }
    const std::filesystem::path& file() const { return file_; }

  private:
    // Queue: writes the kept lines in order.
    void drain();
    void append(const std::string& line);

    const std::filesystem::path folder_;
    const std::filesystem::path file_;
    const std::filesystem::path old_;
    std::mutex keptMutex_;  // guards kept_ and drainQueued_
    std::vector<std::string> kept_;
    bool drainQueued_ = false;
    SerialQueue queue_;  // last, so it is stopped (writing what is queued) before the paths go
};

}  // namespace velmora
