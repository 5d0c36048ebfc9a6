#pragma once

#include <stdlib.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace velmora::test {

// A fresh folder used as XDG_DATA_HOME for one test (each test runs in its own process under CTest), removed
// afterwards.
class TempDataHome {
  public:
    TempDataHome() { ::setenv("XDG_DATA_HOME", dir_.path().c_str(), 1); }

    const std::filesystem::path& root() const { return dir_.path(); }
    std::filesystem::path supportDir() const { return root() / "Corvix"; }

  private:
    TempDir dir_;
};

}  // namespace velmora::test
