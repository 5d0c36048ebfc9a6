#pragma once

#include "core/process/process_runner.h"

namespace velmora {

// The real runner: posix_spawn with standard input from /dev/null, standard output into a pipe and standard
// error discarded or merged. The child keeps descriptors 0-2 only: the first adb command forks a long-lived
// adb server, which would otherwise inherit our sockets and pipes for its whole life. Signal dispositions and
// the signal mask are reset, so a child does not inherit our ignored SIGPIPE.
//
// The watchdog and the output cap signal the child through a pidfd, on the calling thread, and only before
// the child is reaped, so a recycled process id is never hit. A child that ignores SIGTERM gets SIGKILL after
// `killGraceSeconds`; a fired cancel ends the child the same way. Reading stops when the child has exited and
// its pipe is drained, even when a grandchild (the adb server) still holds the write end.
//
// Stateless: run() may be called from any number of threads at once.
class PosixProcessRunner final : public ProcessRunner {
  public:
    static constexpr double killGraceSeconds = 1.0;

    ProcessResult run(const ProcessRequest& request) override;
};

}  // namespace velmora
