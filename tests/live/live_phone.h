#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/posix/unique_fd.h"
#include "core/transport/transport.h"
#include "support/simulated_phone.h"

namespace velmora::live {

// The simulated phone on a loopback port of its own, answering one connection after another on its own
// thread as the companion app does on the local network. It records what the computer said in every session
// and sends what a test pushes. Threads: the accept thread serves; every method may be called from any
// thread; `mutex_` guards what it recorded and the link standing now.
class LivePhone {
  public:
    explicit LivePhone(PhoneConfig config = {});
    ~LivePhone();
    LivePhone(const LivePhone&) = delete;
    LivePhone& operator=(const LivePhone&) = delete;

    std::uint16_t port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    SimulatedPhone& phone() { return phone_; }

    // The control messages the computer sent after "ready", in every session so far, and the records on
    // its other channels.
    std::vector<nlohmann::json> received() const;
    std::vector<nlohmann::json> received(const std::string& type) const;
    std::vector<Frame> records() const;
    int connections() const;  // accepted so far
    int sessions() const;     // that reached "ready"
    std::vector<std::string> shownCodes() const;
    // Sent on the session standing now, at the latest with the answer to the computer's next ping (every 3
    // s).
    void push(const nlohmann::json& message);
    // Ends the session standing now from the phone's side.
    void hangUp();

  private:
    void serveAll();

    SimulatedPhone phone_;
    UniqueFd listener_;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;  // guards everything below
    std::vector<nlohmann::json> received_;
    std::vector<Frame> records_;
    std::vector<std::string> codes_;
    int connections_ = 0, sessions_ = 0;
    std::vector<nlohmann::json> outbox_;  // sent with the phone's next answer
    std::shared_ptr<Transport> transport_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace velmora::live
