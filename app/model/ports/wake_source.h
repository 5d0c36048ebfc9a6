#pragma once

#include <functional>

namespace velmora {

// Tells the model when the computer woke from sleep. onWake may be called on any thread; the model hops to
// its main executor.
class WakeSource {
  public:
    virtual ~WakeSource() = default;
    virtual void start(std::function<void()> onWake) = 0;
    virtual void stop() = 0;
};

}  // namespace velmora
