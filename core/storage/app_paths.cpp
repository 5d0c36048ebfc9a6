#include "core/storage/app_paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "core/storage/secure_file.h"
#include "core/storage/shown_path.h"

namespace velmora::AppPaths {
namespace {

std::filesystem::path homeDir() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
    return "/";
}

// XDG: a relative XDG_DATA_HOME is invalid and must be ignored.
std::filesystem::path dataHome() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    return homeDir() / ".local" / "share";
}

std::filesystem::path supportLocation() {
    return dataHome() / "Corvix";
}

}  // namespace

std::filesystem::path supportDir() {
    const std::filesystem::path dir = supportLocation();
    std::error_code ignored;
    std::filesystem::create_directories(dir.parent_path(), ignored);
    ::mkdir(dir.c_str(), 0700);
    SecureFile::tighten(dir, 0700);
    return dir;
}

std::string shownSupportDir() {
    return shownPath(supportLocation(), homeDir());
}

std::string shownIdentityKeyFile() {
    return shownPath(supportLocation() / kIdentityKeyFile, homeDir());
}

}  // namespace velmora::AppPaths
