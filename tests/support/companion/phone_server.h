#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/loopback.h"
#include "core/transport/transport.h"
#include "support/companion/companion_phone.h"

namespace velmora::companion {

// The companion phone on a port of 127.0.0.1, as the computer finds it: connections are served one at a time
// on a thread of its own until the server is destroyed. What a test starts beside the real program, and what
// velmora_sim_phone runs. Threads: construction and destruction on the owner's thread; `onOutcome` on the
// serving thread after each connection; the readers and waits from any thread. `mutex_` guards the
// outcomes, the connection being served and the stop flag.
class PhoneServer {
  public:
    // Throws std::system_error when the port cannot be had.
    PhoneServer(CompanionPhone& phone, std::uint16_t port = 0,
                std::function<void(const PhoneOutcome&)> onOutcome = {});
    // Ends the connection being served (the computer sees the phone go) and stops listening.
    ~PhoneServer();
    PhoneServer(const PhoneServer&) = delete;
    PhoneServer& operator=(const PhoneServer&) = delete;

    std::uint16_t port() const { return port_; }
    std::vector<PhoneOutcome> outcomes() const;
    // True once `count` connections have ended, within `seconds`.
    bool waitForOutcomes(std::size_t count, double seconds) const;

  private:
    void serveLoop();

    CompanionPhone& phone_;
    test::LoopbackListener listener_;
    const std::uint16_t port_;
    std::function<void(const PhoneOutcome&)> onOutcome_;
    mutable std::mutex mutex_;
    mutable std::condition_variable ended_;
    std::vector<PhoneOutcome> outcomes_;
    std::shared_ptr<Transport> current_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace velmora::companion
