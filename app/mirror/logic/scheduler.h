#pragma once

#include <functional>

namespace velmora {

// The one-shot timers the pointer engine needs. The mirror view gives it one over the GUI thread's
// executor; tests give it a fake whose time they move by hand.
class Scheduler {
  public:
    using Cancel = std::function<void()>;
    virtual ~Scheduler() = default;

    // Runs `action` once, on the thread that owns the engine, `seconds` from now unless the returned
    // function is called first. Calling it after the action ran, or twice, is harmless.
    virtual Cancel schedule(double seconds, std::function<void()> action) = 0;
};

}  // namespace velmora
