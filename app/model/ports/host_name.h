#pragma once

#include <string>

namespace velmora {

// The computer's name as the phone shows it. An empty result makes the model use its fallback name.
class HostName {
  public:
    virtual ~HostName() = default;
    virtual std::string computerName() const = 0;
};

}  // namespace velmora
