#pragma once

#include <functional>

namespace velmora {

// Tells the model when the computer's addresses or routes changed (an interface came up, a new default
// gateway). onChange may be called on any thread; the model hops to its main executor.
class NetworkMonitor {
  public:
    virtual ~NetworkMonitor() = default;
    virtual void start(std::function<void()> onChange) = 0;
    virtual void stop() = 0;
};

}  // namespace velmora
