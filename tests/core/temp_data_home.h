#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace velmora::test {

// A fresh folder used as XDG_DATA_HOME for one test, removed afterwards, when the variable is put back: a
// later test of the same process would otherwise make its files in the removed folder again, and leave them.
class TempDataHome {
  public:
    TempDataHome() { ::setenv("XDG_DATA_HOME", dir_.path().c_str(), 1); }
    ~TempDataHome() {
        previous_ ? ::setenv("XDG_DATA_HOME", previous_->c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    }
    TempDataHome(const TempDataHome&) = delete;
    TempDataHome& operator=(const TempDataHome&) = delete;

    const std::filesystem::path& root() const { return dir_.path(); }
    std::filesystem::path supportDir() const { return root() / "Corvix"; }

  private:
    std::optional<std::string> previous_ = std::getenv("XDG_DATA_HOME")
                                               ? std::optional<std::string>(std::getenv("XDG_DATA_HOME"))
                                               : std::nullopt;
    TempDir dir_;
};

}  // namespace velmora::test
