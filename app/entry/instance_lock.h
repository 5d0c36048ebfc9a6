#pragma once

#include <filesystem>

#include "core/posix/unique_fd.h"

namespace velmora {

// The one running instance: an exclusive lock on "velmora.lock" in the user's runtime folder
// ($XDG_RUNTIME_DIR, else a private folder in /tmp), held for the life of this object and released by the
// system if the process dies.
class InstanceLock {
  public:
    enum class Outcome { held, otherInstance, unavailable };

    explicit InstanceLock(const std::filesystem::path& folder = defaultFolder());

    Outcome outcome() const { return outcome_; }

    static std::filesystem::path defaultFolder();

  private:
    UniqueFd fd_;
    Outcome outcome_ = Outcome::unavailable;
};

}  // namespace velmora
