#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/process/process_cancel.h"
#include "core/process/process_output.h"

namespace velmora {

// One run of an external program, started directly (never through a shell).
struct ProcessRequest {
    enum class StandardError { discard, merge };

    std::string executable;  // absolute path; not searched in PATH
    std::vector<std::string> arguments;
    double timeoutSeconds = 0;  // watchdog; 0 or less: no time limit
    std::size_t outputCap = ProcessOutput::adbMax;
    StandardError standardError = StandardError::discard;
    std::shared_ptr<const ProcessCancel> cancel = nullptr;  // when set and fired, the child is ended early
};

struct ProcessResult {
    bool started = false;    // false: the program could not be launched (missing, not executable, ...)
    int status = -1;         // exit code, or 128 + signal number for a child ended by a signal
    bool signalled = false;  // ended by a signal (ours or anyone's); never counts as success
    bool timedOut = false;   // the watchdog ended it
    bool truncated = false;  // it wrote more than the cap; only the first `outputCap` bytes are kept
    bool cancelled = false;  // the request's cancel was fired before the child ended (or started)
    Bytes output;            // standard output (and standard error when merged)

    // Exited by itself with status 0, within its time, and every byte it wrote was kept.
    bool succeeded() const {
        return started && !signalled && !timedOut && !truncated && !cancelled && status == 0;
    }
};

// Runs child processes. Implementations may be used from any thread; each run blocks its caller until the
// child has been reaped.
class ProcessRunner {
  public:
    virtual ~ProcessRunner() = default;
    virtual ProcessResult run(const ProcessRequest& request) = 0;
};

}  // namespace velmora
