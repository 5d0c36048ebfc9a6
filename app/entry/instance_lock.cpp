#include "app/entry/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "core/log/velmora_log.h"

namespace velmora {

InstanceLock::Places InstanceLock::defaultPlaces() {
    Places places{std::nullopt, VelmoraLog::file().parent_path()};
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && std::filesystem::path(runtime).is_absolute()) places.runtime = runtime;
    return places;
}

InstanceLock::InstanceLock(const Places& places) {
    if (places.runtime) {
        folder_ = *places.runtime;
        outcome_ = lockIn(folder_, false);
        fellBack_ = outcome_ == Outcome::unavailable;
        if (!fellBack_) return;
    }
    folder_ = places.fallback;
    outcome_ = lockIn(folder_, true);
}

InstanceLock::Outcome InstanceLock::lockIn(const std::filesystem::path& folder, bool make) {
    if (make) {
        std::error_code ignored;
        std::filesystem::create_directories(folder.parent_path(), ignored);
        ::mkdir(folder.c_str(), 0700);  // an existing folder is fine
    }
    struct stat info {};
    // A folder someone else made, or a link, is not ours to lock in.
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return Outcome::unavailable;
    UniqueFd fd(::open((folder / "velmora.lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) return Outcome::unavailable;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
        fd_ = std::move(fd);
        return Outcome::held;
    }
    return errno == EWOULDBLOCK ? Outcome::otherInstance : Outcome::unavailable;
}

}  // namespace velmora
