#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace velmora::test {

// An environment variable set (or removed, for none) for one test and put back as it was.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* was = std::getenv(name)) was_ = was;
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { was_ ? ::setenv(name_, was_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> was_;
};

}  // namespace velmora::test
