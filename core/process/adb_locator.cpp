#include "core/process/adb_locator.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace velmora::AdbLocator {

std::vector<std::string> defaultCandidates(const std::string& home) {
    std::vector<std::string> candidates{"/usr/bin/adb", "/usr/local/bin/adb"};
    if (!home.empty() && home.front() == '/') candidates.push_back(home + "/Android/Sdk/platform-tools/adb");
    return candidates;
}

std::optional<std::string> find(const std::vector<std::string>& candidates) {
    for (const auto& candidate : candidates) {
        if (isSafeBinary(candidate)) return candidate;
    }
    return std::nullopt;
}

bool isSafeBinary(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) return false;
    const std::string real(resolved.get());

    struct stat file {};
    if (::stat(real.c_str(), &file) != 0) return false;
    if (!S_ISREG(file.st_mode)) return false;
    if (::access(real.c_str(), X_OK) != 0) return false;
    if (file.st_uid != 0 && file.st_uid != ::getuid()) return false;
    if ((file.st_mode & S_IWOTH) != 0) return false;

    const auto slash = real.rfind('/');
    const std::string parent = slash == 0 || slash == std::string::npos ? "/" : real.substr(0, slash);
    struct stat folder {};
    if (::stat(parent.c_str(), &folder) != 0) return false;
    return (folder.st_mode & S_IWOTH) == 0;
}

std::string userHome() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return {};
    return found->pw_dir != nullptr ? std::string(found->pw_dir) : std::string();
}

}  // namespace velmora::AdbLocator
