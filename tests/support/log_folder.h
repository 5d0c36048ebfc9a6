#pragma once

#include <filesystem>

#include "core/log/velmora_log.h"

namespace velmora::test {

// Sends the program's log into `folder` for the life of the object, then back where it went before. Dropped
// before the folder goes, it leaves the lines written meanwhile there: a log still pointing into a removed
// temporary folder would make it again with the next line, and leave it behind.
class LogFolder {
  public:
    explicit LogFolder(const std::filesystem::path& folder) { VelmoraLog::setFolder(folder); }
    ~LogFolder() { VelmoraLog::setFolder(previous_); }
    LogFolder(const LogFolder&) = delete;
    LogFolder& operator=(const LogFolder&) = delete;

  private:
    std::filesystem::path previous_ = VelmoraLog::file().parent_path();
};

}  // namespace velmora::test
