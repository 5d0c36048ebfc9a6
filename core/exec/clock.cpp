#include <chrono>

#include "core/exec/executor.h"

namespace velmora {

double SteadyClock::now() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

SteadyClock& SteadyClock::shared() {
    static SteadyClock clock;
    return clock;
}

}  // namespace velmora
