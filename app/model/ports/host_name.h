#pragma once

#include <string>

namespace velmora {

// The computer's name as the phone shows it; empty when the system has none.
class HostName {
  public:
    virtual ~HostName() = default;
    virtual std::string computerName() const = 0;
};

}  // namespace velmora
