#include "core/process/posix_process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "core/exec/executor.h"
#include "core/posix/unique_fd.h"

extern char** environ;

namespace velmora {
namespace {

double steadyNow() {
    return SteadyClock::shared().now();
}

// Through syscall(): glibc 2.36's <sys/pidfd.h> declares these without C linkage for C++.
int pidfdOpen(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

void pidfdSignal(int pidfd, int signal) {
    ::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0);
}

// dup2 onto 0-2 clears close-on-exec only when source and target differ; keep our ends above them in case
// our own standard descriptors were closed.
UniqueFd aboveStandard(int fd) {
    if (fd < 0 || fd > 2) return UniqueFd(fd);
    UniqueFd low(fd);
    return UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 3));
}

struct Spawned {
    pid_t pid = -1;
    UniqueFd output;  // read end, non-blocking
};

class SpawnSetup {
  public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attr);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
};

std::optional<Spawned> spawn(const ProcessRequest& request) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
    UniqueFd readEnd = aboveStandard(ends[0]);
    UniqueFd writeEnd = aboveStandard(ends[1]);
    UniqueFd devNull = aboveStandard(::open("/dev/null", O_RDWR | O_CLOEXEC));
    if (!readEnd.valid() || !writeEnd.valid() || !devNull.valid()) return std::nullopt;

    SpawnSetup setup;
    const bool merge = request.standardError == ProcessRequest::StandardError::merge;
    posix_spawn_file_actions_adddup2(&setup.actions, devNull.get(), 0);
    posix_spawn_file_actions_adddup2(&setup.actions, writeEnd.get(), 1);
    posix_spawn_file_actions_adddup2(&setup.actions, merge ? writeEnd.get() : devNull.get(), 2);
    // Also closes what another thread opened without close-on-exec, or what a library leaked.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);

    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&setup.attr, &none);
    posix_spawnattr_setsigdefault(&setup.attr, &all);
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(request.executable.c_str()));
    for (const auto& argument : request.arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    if (::posix_spawn(&pid, request.executable.c_str(), &setup.actions, &setup.attr, argv.data(), environ) !=
        0) {
        return std::nullopt;
    }
    ::fcntl(readEnd.get(), F_SETFL, ::fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);
    return Spawned{pid, std::move(readEnd)};
}

enum class Drain { more, ended };

// Reads what the pipe holds now, at most `maxChunks` chunks, so a flooding child cannot keep the caller
// from its deadlines. `ended` on end of file or a read error.
Drain drain(int fd, ProcessOutput::CappedBuffer& buffer, bool& exceeded, int maxChunks) {
    std::array<std::uint8_t, ProcessOutput::chunkSize> chunk{};
    for (int i = 0; i < maxChunks; ++i) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Drain::more;
        if (n <= 0) return Drain::ended;
        if (buffer.append(ByteView(chunk.data(), static_cast<std::size_t>(n)))) exceeded = true;
    }
    return Drain::more;
}

// Seconds on SteadyClock in, a poll() timeout out: rounded up, 0 once due, at most a minute.
int waitMillis(std::optional<double> due) {
    if (!due) return -1;
    const double left = *due - steadyNow();
    if (!(left > 0)) return 0;
    return static_cast<int>(std::ceil(std::min(left, 60.0) * 1000));
}

// As waitMillis, but a cancel without a descriptor of its own is looked at every 100 ms.
int cancelWaitMillis(std::optional<double> due, bool watchCancel, int cancelFd) {
    const int wait = waitMillis(due);
    if (!watchCancel || cancelFd >= 0) return wait;
    return wait < 0 ? 100 : std::min(wait, 100);
}

// Sends signals only through the pidfd and only before the child is reaped.
class Supervisor {
  public:
    Supervisor(int pidfd, double timeoutSeconds) : pidfd_(pidfd) {
        if (timeoutSeconds > 0) deadline_ = steadyNow() + timeoutSeconds;
    }

    // The earliest moment something is due.
    std::optional<double> nextDue() const { return killAt_ ? killAt_ : deadline_; }

    void terminate() {
        if (killAt_ || killed_) return;
        pidfdSignal(pidfd_, SIGTERM);
        killAt_ = steadyNow() + PosixProcessRunner::killGraceSeconds;
        deadline_.reset();
    }

    // Acts on whatever is due; true when the time limit ended the child.
    bool enforce() {
        const double now = steadyNow();
        if (deadline_ && now >= *deadline_) {
            terminate();
            timedOut_ = true;
        }
        if (killAt_ && now >= *killAt_) {
            pidfdSignal(pidfd_, SIGKILL);
            killAt_.reset();
            killed_ = true;
        }
        return timedOut_;
    }

  private:
    int pidfd_;
    std::optional<double> deadline_;  // seconds on SteadyClock, like killAt_
    std::optional<double> killAt_;
    bool killed_ = false;
    bool timedOut_ = false;
};

void reap(pid_t pid, ProcessResult& result) {
    int status = 0;
    pid_t got;
    do {
        got = ::waitpid(pid, &status, 0);
    } while (got < 0 && errno == EINTR);
    if (got != pid) return;  // someone else reaped it (SIGCHLD ignored): the status is unknown
    if (WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        // WEXITSTATUS of a signalled child reads 0; a child killed at the cap must never look like success.
        result.signalled = true;
        result.status = 128 + WTERMSIG(status);
    }
}

}  // namespace

ProcessResult PosixProcessRunner::run(const ProcessRequest& request) {
    ProcessResult result;
    const ProcessCancel* cancel = request.cancel.get();
    if (cancel && cancel->fired()) {
        result.cancelled = true;
        return result;
    }
    auto spawned = spawn(request);
    if (!spawned) return result;
    result.started = true;

    UniqueFd pidfd(pidfdOpen(spawned->pid));
    if (!pidfd.valid()) {
        // Unsupervisable; not reaped yet, so the id is still ours to signal.
        ::kill(spawned->pid, SIGKILL);
        reap(spawned->pid, result);
        return result;
    }

    ProcessOutput::CappedBuffer buffer(request.outputCap);
    Supervisor supervisor(pidfd.get(), request.timeoutSeconds);
    UniqueFd& output = spawned->output;
    bool exited = false;
    bool watchCancel = cancel != nullptr;  // until it fired: its descriptor stays readable from then on
    while (!exited) {
        const int cancelFd = watchCancel ? cancel->fd() : -1;
        std::array<pollfd, 3> fds{pollfd{pidfd.get(), POLLIN, 0}, pollfd{output.get(), POLLIN, 0},
                                  pollfd{cancelFd, POLLIN, 0}};
        const int ready =
            ::poll(fds.data(), fds.size(), cancelWaitMillis(supervisor.nextDue(), watchCancel, cancelFd));
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && fds[1].revents != 0) {
            bool exceeded = false;
            if (drain(output.get(), buffer, exceeded, 16) == Drain::ended) output.reset();
            if (exceeded) supervisor.terminate();
        }
        if (ready > 0 && fds[0].revents != 0) exited = true;
        if (!exited && watchCancel && cancel->fired()) {
            watchCancel = false;
            result.cancelled = true;
            supervisor.terminate();
        }
        // A child that exited by itself at its deadline did not time out.
        if (!exited) result.timedOut = supervisor.enforce();
    }
    if (output.valid()) {
        // What the child wrote before it exited is in the pipe now; a grandchild holding the write end
        // (the adb server) must not keep us waiting for an end of file.
        bool exceeded = false;
        drain(output.get(), buffer, exceeded, 64);
    }
    if (!exited) {
        // poll itself failed: end the child rather than leave it unsupervised.
        pidfdSignal(pidfd.get(), SIGKILL);
    }
    reap(spawned->pid, result);
    auto kept = buffer.take();
    result.output = std::move(kept.data);
    result.truncated = kept.truncated;
    return result;
}

}  // namespace velmora
