#include "core/log/log_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace velmora {

namespace fs = std::filesystem;

namespace {

// How long the first of a burst of lines waits for the rest before the queue writes them.
constexpr double kGatherSeconds = 0.05;

}  // namespace

std::string formatLogStamp(const std::tm& local, int millis, long offsetSeconds) {
    char when[64];
    std::snprintf(when, sizeof when, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millis);
    if (offsetSeconds == 0) return std::string(when) + "Z";
    // Real offsets lie within a day; the bound only keeps the text short.
    const int magnitude =
        static_cast<int>(std::min(offsetSeconds < 0 ? -offsetSeconds : offsetSeconds, 86399L));
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offsetSeconds < 0 ? '-' : '+', magnitude / 3600,
                  (magnitude % 3600) / 60);
    return std::string(when) + zone;
}

std::string logStamp(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = time_point_cast<milliseconds>(when);
    auto secs = time_point_cast<seconds>(ms);
    if (secs > ms) secs -= seconds(1);  // before 1970 the cast rounds toward zero
    const std::time_t t = system_clock::to_time_t(secs);
    std::tm local{};
    // glibc reads the time zone once, so the zone stays the one of the first line until restart.
    localtime_r(&t, &local);
    return formatLogStamp(local, static_cast<int>((ms - secs).count()), local.tm_gmtoff);
}

LogWriter::LogWriter(fs::path folder)
    : folder_(std::move(folder)),
      file_(folder_ / "velmora.log"),
      old_(folder_ / "velmora.old.log"),
      queue_("velmora.log") {}

void LogWriter::write(std::string_view text) {
    std::string line = logStamp(std::chrono::system_clock::now());
    line.reserve(line.size() + text.size() + 2);
    line.push_back(' ');
    line.append(text);
    line.push_back('\n');
    {
        std::lock_guard lock(keptMutex_);
        kept_.push_back(std::move(line));
        if (std::exchange(drainQueued_, true)) return;
    }
    queue_.postAfter(kGatherSeconds, [this] { drain(); });
}

void LogWriter::flush() {
    if (queue_.isCurrent()) return drain();
    queue_.sync([this] { drain(); });
}

LogWriter::~LogWriter() {
    flush();
}

void LogWriter::drain() {
    std::vector<std::string> lines;
    {
        std::lock_guard lock(keptMutex_);
        lines.swap(kept_);
        drainQueued_ = false;
    }
    for (const std::string& line : lines)
        append(line);
}

void LogWriter::append(const std::string& line) {
    std::error_code ec;
    if (!fs::is_directory(folder_, ec)) {
        fs::create_directories(folder_.parent_path(), ec);
        // The log quotes what the phone sends (names, notification texts): keep it to the user.
        ::mkdir(folder_.c_str(), 0700);
    }
    struct stat st {};
    if (::stat(file_.c_str(), &st) == 0 && static_cast<std::uintmax_t>(st.st_size) > kRotateAbove) {
        ::unlink(old_.c_str());
        ::rename(file_.c_str(), old_.c_str());
    }
    const int fd = ::open(file_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

}  // namespace velmora
