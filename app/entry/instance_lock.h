#pragma once

#include <filesystem>
#include <optional>

#include "core/posix/unique_fd.h"

namespace velmora {

// The one running instance: an exclusive lock on "velmora.lock", held for the life of this object and
// released by the system if the process dies. It is taken in the user's runtime folder ($XDG_RUNTIME_DIR);
// where that is unset or unusable, in the folder of the log ($XDG_STATE_HOME/Velmora, by default
// ~/.local/state/Velmora), a folder of the user's own that, unlike the temporary folder, every start finds
// in the same place whatever its $TMPDIR says.
class InstanceLock {
  public:
    enum class Outcome { held, otherInstance, unavailable };

    struct Places {
        std::optional<std::filesystem::path> runtime;  // the session's to make: used only when it exists
        std::filesystem::path fallback;                // made (with its parents) when missing
    };

    // Takes the lock in the runtime folder, else in the fallback. Another instance holding it in the runtime
    // folder ends the search: the fallback would let both run. Never throws.
    explicit InstanceLock(const Places& places = defaultPlaces());

    Outcome outcome() const { return outcome_; }
    // Where the lock was held or found held; the fallback when it was unavailable everywhere.
    const std::filesystem::path& folder() const { return folder_; }
    // The runtime folder was absent or could not be used.
    bool fellBack() const { return fellBack_; }

    // $XDG_RUNTIME_DIR when it is an absolute path; the log's folder.
    static Places defaultPlaces();

  private:
    // In one folder, made first when `make`: held, another instance, or unavailable there.
    Outcome lockIn(const std::filesystem::path& folder, bool make);

    UniqueFd fd_;
    Outcome outcome_ = Outcome::unavailable;
    std::filesystem::path folder_;
    bool fellBack_ = true;
};

}  // namespace velmora
