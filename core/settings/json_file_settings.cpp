#include "core/settings/json_file_settings.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace velmora {
namespace fs = std::filesystem;

namespace {

using Values = std::map<std::string, nlohmann::json, std::less<>>;

// Far beyond any real settings file; a larger one is not ours.
constexpr std::uintmax_t kMaxFileBytes = 8 * 1024 * 1024;

std::string lastError() {
    return std::strerror(errno);
}

void say(const JsonFileSettings::Report& report, const std::string& line) {
    if (report) report(line);
}

fs::path homeDir() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir) {
        return found->pw_dir;
    }
    return "/";
}

// Creates `dir` and its missing parents, each owner-only as the base directory rules ask.
bool makeDirs(const fs::path& dir) {
    std::error_code ec;
    if (dir.empty() || fs::is_directory(dir, ec)) return true;
    if (!makeDirs(dir.parent_path())) return false;
    return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Replaces `file` with `text` in one step; on failure the old file stays and errno says why.
bool replaceFile(const fs::path& file, const std::string& text) {
    const fs::path dir = file.parent_path();
    if (!makeDirs(dir)) return false;
    std::string tmpl = (dir / ("." + file.filename().string() + ".XXXXXX")).string();
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
    int savedErrno = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && ::rename(tmpl.c_str(), file.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        ::unlink(tmpl.c_str());
        errno = savedErrno;
        return false;
    }
    // Make the rename itself durable; a failure here leaves a good file, so it is not reported.
    int dirFd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

// The file's text, or absent when it cannot be read or is too large.
std::optional<std::string> readText(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec) || fs::file_size(file, ec) > kMaxFileBytes || ec) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return text;
}

Values load(const fs::path& file, const JsonFileSettings::Report& report) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(file, ec))) return {};
    if (auto text = readText(file)) {
        auto doc = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/false);
        if (doc.is_object()) {
            Values values;
            for (auto& [k, v] : doc.items())
                values.emplace(k, std::move(v));
            return values;
        }
    }
    fs::path aside = file;
    aside += ".bad";
    fs::rename(file, aside, ec);
    if (ec) {
        say(report, "configurações: arquivo " + file.string() +
                        " ilegível ou inválido, e não foi possível "
                        "guardá-lo como " +
                        aside.string() + ": " + ec.message());
    } else {
        say(report, "configurações: arquivo " + file.string() + " ilegível ou inválido; guardado como " +
                        aside.string() + ", usando os valores padrão");
    }
    return {};
}

}  // namespace

JsonFileSettings::JsonFileSettings(fs::path file, Report report)
    : MemorySettings(load(file, report)), file_(std::move(file)), report_(std::move(report)) {}

fs::path JsonFileSettings::defaultPath() {
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && fs::path(xdg).is_absolute()) {
        base = xdg;
    } else {
        base = homeDir() / ".config";
    }
    return base / "Velmora" / "settings.json";
}

void JsonFileSettings::changed(const Values& all) {
    nlohmann::json doc = nlohmann::json::object();
    for (const auto& [k, v] : all)
        doc[k] = v;
    // Invalid UTF-8 inside a stored text is replaced rather than thrown about: one bad phone name must not
    // stop every later setting from being saved.
    std::string text = doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";

    // A settings file kept as a link (a dotfiles checkout) is updated where the link points, so the link
    // survives the rename.
    std::error_code ec;
    fs::path target = fs::is_symlink(file_, ec) ? fs::weakly_canonical(file_, ec) : file_;
    if (ec) target = file_;
    if (!replaceFile(target, text)) {
        say(report_, "configurações: falha ao gravar " + target.string() + ": " + lastError());
    }
}

}  // namespace velmora
