#pragma once

// CPU seconds used by the whole process (every thread, user and system): what a picture path costs the
// computer, unlike wall time, which a loaded machine stretches.

#include <time.h>

namespace velmora {

inline double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace velmora
