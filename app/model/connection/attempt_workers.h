#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/transport/transport.h"

namespace velmora {

// The threads of the connection attempts, each of which becomes its session's receive loop, and the
// transports they are using. The model owns one; stop() ends them all and joins them.
//
// Threads: launch() and stop() from the main thread; track() and untrack() from the attempts' own threads.
// `mutex_` guards workers_, transports_ and stopping_.
class AttemptWorkers {
  public:
    AttemptWorkers() = default;
    ~AttemptWorkers();
    AttemptWorkers(const AttemptWorkers&) = delete;
    AttemptWorkers& operator=(const AttemptWorkers&) = delete;

    // Runs `body` on a new thread; false (and nothing runs) once stopping. Threads that have ended are
    // joined here, so the list stays short.
    bool launch(std::function<void()> body);
    // Remembers the transport of a running attempt so that stop() can close it; once stopping it closes the
    // transport at once instead and returns false.
    bool track(const std::shared_ptr<Transport>& transport);
    void untrack(const Transport* transport);
    bool stopping() const;
    // No new attempt; closes every tracked transport and joins every thread. Idempotent. Not from one of
    // the workers' own threads.
    void stop();

  private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    mutable std::mutex mutex_;
    std::list<Worker> workers_;
    std::vector<std::shared_ptr<Transport>> transports_;
    bool stopping_ = false;
};

}  // namespace velmora
