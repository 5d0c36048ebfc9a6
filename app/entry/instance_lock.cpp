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
    Places places{VelmoraLog::file().parent_path(), std::nullopt};
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && std::filesystem::path(runtime).is_absolute()) places.runtime = runtime;
    return places;
}

InstanceLock::InstanceLock(const Places& places) : places_(places) {
    const Outcome state = lockIn(places.state, true, stateFd_);
    if (state == Outcome::otherInstance) {
        outcome_ = Outcome::otherInstance;
        return;
    }
    // A runtime folder that is the state folder itself would find its own lock held. An instance of this
    // home started before the state folder's lock was taken by every start, or one of
    // another home in the same session, holds only this one.
    std::error_code ignored;
    const bool ownRuntime =
        places.runtime && !std::filesystem::equivalent(*places.runtime, places.state, ignored);
    const Outcome runtime = ownRuntime ? lockIn(*places.runtime, false, runtimeFd_) : Outcome::unavailable;
    if (runtime == Outcome::otherInstance) {
        stateFd_.reset();
        outcome_ = Outcome::otherInstance;
        return;
    }
    outcome_ = stateFd_.valid() || runtimeFd_.valid() ? Outcome::held : Outcome::unavailable;
}

std::string InstanceLock::note() const {
    const std::string state = places_.state.string();
    if (stateFd_.valid() && runtimeFd_.valid())
        return "trava de instância em " + state + " e em " + places_.runtime->string();
    if (stateFd_.valid()) return "XDG_RUNTIME_DIR ausente ou inutilizável: trava de instância em " + state;
    if (runtimeFd_.valid())
        return "trava de instância indisponível em " + state + ": mantida só em " + places_.runtime->string();
    return "trava de instância indisponível em " + state;
}

InstanceLock::Outcome InstanceLock::lockIn(const std::filesystem::path& folder, bool make, UniqueFd& fd) {
    if (make) {
        std::error_code ignored;
        std::filesystem::create_directories(folder.parent_path(), ignored);
        ::mkdir(folder.c_str(), 0700);  // an existing folder is fine
    }
    struct stat info {};
    // A folder someone else made, or a link, is not ours to lock in.
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return Outcome::unavailable;
    UniqueFd opened(
        ::open((folder / "velmora.lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!opened.valid()) return Outcome::unavailable;
    if (::flock(opened.get(), LOCK_EX | LOCK_NB) == 0) {
        fd = std::move(opened);
        return Outcome::held;
    }
    return errno == EWOULDBLOCK ? Outcome::otherInstance : Outcome::unavailable;
}

}  // namespace velmora
