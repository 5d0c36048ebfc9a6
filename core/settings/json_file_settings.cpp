#include "core/settings/json_file_settings.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include "core/storage/secure_file.h"

namespace velmora {
namespace fs = std::filesystem;

namespace {

using Values = std::map<std::string, nlohmann::json, std::less<>>;

// Far beyond any real settings file; a larger one is not ours.
constexpr std::size_t kMaxFileBytes = 8 * 1024 * 1024;

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

// The file's text, or absent when it cannot be read or is too large to be ours.
std::optional<std::string> readText(const fs::path& file) {
    auto bytes = SecureFile::readBounded(file, kMaxFileBytes);
    if (!bytes || bytes->size() > kMaxFileBytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

// A settings file kept as a link (a dotfiles checkout) is read and replaced where the link points, so
// the link survives the rename.
fs::path resolveLink(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_symlink(file, ec)) return file;
    fs::path target = fs::weakly_canonical(file, ec);
    return ec ? file : target;
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
        say(report, "configurações: arquivo " + file.string() + " ilegível ou inválido; não foi possível " +
                        "guardá-lo como " + aside.string() + ": " + ec.message());
    } else {
        say(report, "configurações: arquivo " + file.string() + " ilegível ou inválido; guardado como " +
                        aside.string() + ", usando os valores padrão");
    }
    return {};
}

}  // namespace

JsonFileSettings::JsonFileSettings(fs::path file, Report report)
    : MemorySettings(load(resolveLink(file), report)), file_(std::move(file)), report_(std::move(report)) {}

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
    const std::string text = doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    const fs::path target = resolveLink(file_);
    const ByteView bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    if (!makeDirs(target.parent_path()) || !SecureFile::writeAtomically(bytes, target, 0600)) {
        say(report_, "configurações: falha ao gravar " + target.string() + ": " + lastError());
    }
}

}  // namespace velmora
