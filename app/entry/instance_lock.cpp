#include "app/entry/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace velmora {

std::filesystem::path InstanceLock::defaultFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && std::filesystem::path(runtime).is_absolute()) return runtime;
    return std::filesystem::temp_directory_path() / ("velmora-" + std::to_string(::getuid()));
}

InstanceLock::InstanceLock(const std::filesystem::path& folder) {
    ::mkdir(folder.c_str(), 0700);  // an existing folder is fine
    struct stat info {};
    // A folder someone else made (in /tmp) or a link is not ours to lock in.
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) return;
    fd_ = UniqueFd(::open((folder / "velmora.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!fd_.valid()) return;
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
        outcome_ = Outcome::held;
    } else if (errno == EWOULDBLOCK) {
        outcome_ = Outcome::otherInstance;
    }
}

}  // namespace velmora
