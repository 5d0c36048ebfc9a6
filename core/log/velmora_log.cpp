#include "core/log/velmora_log.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>

#include "core/log/log_writer.h"

namespace velmora::VelmoraLog {

namespace {

std::optional<std::string> env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

std::optional<std::string> homeFromPasswd() {
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &found) != 0 || found == nullptr)
        return std::nullopt;
    return std::string(found->pw_dir);
}

struct Shared {
    std::mutex mutex;  // guards writer
    std::shared_ptr<LogWriter> writer;
};

Shared& shared() {
    static Shared s;
    return s;
}

std::shared_ptr<LogWriter> writer() {
    auto& s = shared();
    std::lock_guard lock(s.mutex);
    if (!s.writer) {
        auto home = env("HOME");
        if (!home) home = homeFromPasswd();
        s.writer = std::make_shared<LogWriter>(defaultFolder(env("XDG_STATE_HOME"), home));
    }
    return s.writer;
}

}  // namespace

std::filesystem::path defaultFolder(std::optional<std::string> stateHome, std::optional<std::string> home) {
    if (stateHome && !stateHome->empty() && stateHome->front() == '/') {
        return std::filesystem::path(*stateHome) / "Velmora";
    }
    return std::filesystem::path(home.value_or("/")) / ".local" / "state" / "Velmora";
}

void write(std::string_view text) {
    writer()->write(text);
}

std::filesystem::path file() {
    return writer()->file();
}

void flush() {
    writer()->flush();
}

void setFolder(const std::filesystem::path& folder) {
    auto next = std::make_shared<LogWriter>(folder);
    std::shared_ptr<LogWriter> previous;
    {
        auto& s = shared();
        std::lock_guard lock(s.mutex);
        previous = std::exchange(s.writer, std::move(next));
    }
    // The old writer finishes its queued lines when the last user lets it go.
}

}  // namespace velmora::VelmoraLog
