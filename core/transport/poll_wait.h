#pragma once

#include "core/exec/executor.h"

namespace velmora {

// A moment on SteadyClock, in seconds.
using Deadline = double;

enum class WaitResult { ready, woken, timedOut };

// Blocks until `fd` reports one of `events`, `wakeFd` becomes readable, or `deadline` passes, whichever is
// first (a wake wins over readiness). A negative `fd` only waits for the wake or the deadline. Restarts after
// signals.
WaitResult waitFor(int fd, short events, int wakeFd, Deadline deadline);

}  // namespace velmora
