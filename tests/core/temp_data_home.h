#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace velmora::test {

// A fresh folder used as XDG_DATA_HOME for one test (each test runs in its own process under CTest), removed
// afterwards.
class TempDataHome {
  public:
    TempDataHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        ::setenv("XDG_DATA_HOME", root_.c_str(), 1);
    }
    ~TempDataHome() {
        std::error_code ignored;
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(root_, ignored);
    }
    TempDataHome(const TempDataHome&) = delete;
    TempDataHome& operator=(const TempDataHome&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path supportDir() const { return root_ / "Corvix"; }

  private:
    std::filesystem::path root_;
};

}  // namespace velmora::test
