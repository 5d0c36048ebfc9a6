#pragma once

#include <filesystem>
#include <string>

#include "app/model/ports/host_name.h"

namespace velmora {

// The name the user gave the computer (the pretty host name in /etc/machine-info, as the desktop's settings
// write it), else the static host name. Read afresh on every call; any thread.
class SystemHostName final : public HostName {
  public:
    explicit SystemHostName(std::filesystem::path machineInfo = "/etc/machine-info");
    std::string computerName() const override;

  private:
    std::filesystem::path machineInfo_;
};

}  // namespace velmora
