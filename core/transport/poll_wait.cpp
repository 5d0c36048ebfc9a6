#include "core/transport/poll_wait.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "core/errors/net_error.h"

namespace velmora {
namespace {

// Milliseconds left until the deadline, rounded up so the wait never ends before it; 0 once it has passed.
int millisecondsUntil(Deadline deadline) {
    const double left = deadline - SteadyClock::shared().now();
    if (!(left > 0)) return 0;
    return static_cast<int>(std::ceil(std::min(left, 24.0 * 3600) * 1000));
}

}  // namespace

WaitResult waitFor(int fd, short events, int wakeFd, Deadline deadline) {
    for (;;) {
        pollfd fds[2] = {{wakeFd, POLLIN, 0}, {fd, events, 0}};
        const int timeout = millisecondsUntil(deadline);
        const int n = ::poll(fds, 2, timeout);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw PosixError(errno);
        }
        if (fds[0].revents != 0) return WaitResult::woken;
        // Errors and hang-ups count as ready: the caller learns the reason from the socket itself.
        if (fd >= 0 && fds[1].revents != 0) return WaitResult::ready;
        if (n == 0 && SteadyClock::shared().now() >= deadline) return WaitResult::timedOut;
    }
}

}  // namespace velmora
