#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/companion/companion_phone.h"
#include "support/companion/phone_server.h"

namespace velmora::live {

// The companion phone on a loopback port of its own, as the program finds it on the local network, with
// what it said kept for the stories: the pairing codes it showed and the sessions that stood. Threads: the
// server's thread serves; every method from any thread; `mutex_` guards the lines said.
class LivePhone {
  public:
    explicit LivePhone(companion::CompanionSettings settings = {});
    ~LivePhone();
    LivePhone(const LivePhone&) = delete;
    LivePhone& operator=(const LivePhone&) = delete;

    companion::CompanionPhone& companion() { return phone_; }
    std::uint16_t port() const { return server_.port(); }
    std::string address() const { return "127.0.0.1:" + std::to_string(port()); }

    // The control messages of type `t` the computer sent, in every session so far.
    std::vector<nlohmann::json> received(const std::string& t) const;
    std::vector<std::string> shownCodes() const;  // one per pairing the phone showed
    int sessions() const;                         // that stood

  private:
    std::vector<std::string> saidStarting(const std::string& start) const;

    mutable std::mutex mutex_;  // guards said_
    std::vector<std::string> said_;
    companion::CompanionPhone phone_;
    companion::PhoneServer server_;
};

}  // namespace velmora::live
