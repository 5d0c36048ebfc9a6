#pragma once

#include <atomic>

#include "core/posix/unique_fd.h"

namespace velmora {

// Ends runs of child processes early, from any thread: once fired, a run that carries it ends its child
// (SIGTERM, then SIGKILL after the runner's grace) and returns once the child is reaped, and a run that has
// not started yet starts no child. Firing cannot be undone; a second fire does nothing more.
class ProcessCancel {
  public:
    ProcessCancel();
    ProcessCancel(const ProcessCancel&) = delete;
    ProcessCancel& operator=(const ProcessCancel&) = delete;

    void fire();
    bool fired() const { return fired_.load(); }
    // Readable from the moment it is fired, for every poller at once; -1 when the system gave no descriptor
    // (then runners look at fired() at short intervals instead).
    int fd() const { return fd_.get(); }

  private:
    UniqueFd fd_;
    std::atomic<bool> fired_{false};
};

}  // namespace velmora
