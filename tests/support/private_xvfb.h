#pragma once

#include <cstdio>
#include <cstring>
#include <string>

namespace velmora::test {

// A private X server on a display it picks itself (no race with other runs), named in DISPLAY once it
// stands. It ends with the last connection to it, and the destructor then reaps it.
class PrivateXvfb {
  public:
    explicit PrivateXvfb(const std::string& screen = "") {
        const std::string command = "exec Xvfb -displayfd 1" +
                                    (screen.empty() ? "" : " -screen 0 " + screen) +
                                    " -nolisten tcp -terminate 2>/dev/null";
        output_ = ::popen(command.c_str(), "r");
        char number[16] = {};
        if (output_ && std::fgets(number, sizeof number, output_)) {
            ::setenv("DISPLAY", (":" + std::string(number, std::strcspn(number, "\n"))).c_str(), 1);
            running_ = true;
        }
    }
    ~PrivateXvfb() {
        if (output_) ::pclose(output_);
    }
    PrivateXvfb(const PrivateXvfb&) = delete;
    PrivateXvfb& operator=(const PrivateXvfb&) = delete;

    bool running() const { return running_; }

  private:
    FILE* output_ = nullptr;
    bool running_ = false;
};

}  // namespace velmora::test
