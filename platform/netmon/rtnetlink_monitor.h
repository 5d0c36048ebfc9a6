#pragma once

#include <functional>
#include <mutex>
#include <thread>

#include "app/model/ports/network_monitor.h"
#include "core/posix/unique_fd.h"

namespace velmora {

// Watches the kernel's routing socket for added or removed addresses, routes and links (IPv4 and IPv6) and
// calls onChange once per burst: a cable plugged in or a Wi-Fi join brings a dozen messages within
// milliseconds, and the model should re-read the network once, not a dozen times.
//
// Threads: start(), stop() and the destructor come from one thread (the model's main one). onChange runs on
// the monitor's own thread, never after stop() has returned. The socket is open and subscribed when start()
// returns, so a change made after that is never missed.
class RtnetlinkMonitor final : public NetworkMonitor {
  public:
    RtnetlinkMonitor() = default;
    ~RtnetlinkMonitor() override;
    RtnetlinkMonitor(const RtnetlinkMonitor&) = delete;
    RtnetlinkMonitor& operator=(const RtnetlinkMonitor&) = delete;

    // Starts watching; a monitor already running is stopped first. Where the socket cannot be opened, one log
    // line says why and nothing is watched.
    void start(std::function<void()> onChange) override;
    // Wakes the thread and joins it. Safe to call when not running.
    void stop() override;

  private:
    UniqueFd stopSignal_;  // an eventfd the thread polls beside the socket
    std::thread thread_;
};

}  // namespace velmora
