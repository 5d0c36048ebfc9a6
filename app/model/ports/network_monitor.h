#pragma once

#include <functional>

namespace velmora {

// Tells the model that the computer's network addresses or routes changed. onChange may run on any thread;
// the model hops to its main executor.
class NetworkMonitor {
  public:
    virtual ~NetworkMonitor() = default;
    virtual void start(std::function<void()> onChange) = 0;
    virtual void stop() = 0;
};

}  // namespace velmora
