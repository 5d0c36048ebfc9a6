#include <chrono>

#include "core/exec/executor.h"

namespace velmora {

double SteadyClock::now() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

SteadyClock& SteadyClock::shared() {
    // Never destroyed: queues that outlive static destruction at exit (the log's) still read it.
    static auto* const clock = new SteadyClock;
    return *clock;
}

}  // namespace velmora
