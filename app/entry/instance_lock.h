#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/posix/unique_fd.h"

namespace velmora {

// The one running instance of a home: an exclusive lock on "velmora.lock" in the folder of the log
// ($XDG_STATE_HOME/Velmora, by default ~/.local/state/Velmora), the one place every start of that home finds
// whatever its $XDG_RUNTIME_DIR or $TMPDIR says; and, where the session gives a usable runtime folder, one
// on "velmora.lock" there as well, where it has always been for whoever looks for it. Held for the life of
// this object and released by the system if the process dies.
class InstanceLock {
  public:
    enum class Outcome { held, otherInstance, unavailable };

    struct Places {
        std::filesystem::path state;                   // made (with its parents) when missing
        std::optional<std::filesystem::path> runtime;  // the session's to make: used only when it exists
    };

    // Takes the lock in the state folder, then the one in the runtime folder, always in that order and never
    // waiting: of two starts racing, the first to take the state folder's goes on and the other ends, and
    // neither can wait on the other. A start that finds the runtime folder's held by another lets its first
    // lock go again. A folder that cannot be used is passed over. Never throws.
    explicit InstanceLock(const Places& places = defaultPlaces());

    // held: at least one lock is held and another instance held none; unavailable: no folder could be used.
    Outcome outcome() const { return outcome_; }
    // For the log of a start that goes on: where it holds its locks, or which folder it could not use.
    std::string note() const;

    // The log's folder; $XDG_RUNTIME_DIR when it is an absolute path.
    static Places defaultPlaces();

  private:
    // In one folder, made first when `make`: held (into `fd`), another instance, or unavailable there.
    static Outcome lockIn(const std::filesystem::path& folder, bool make, UniqueFd& fd);

    Places places_;
    UniqueFd stateFd_;
    UniqueFd runtimeFd_;
    Outcome outcome_ = Outcome::unavailable;
};

}  // namespace velmora
