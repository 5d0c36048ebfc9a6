#pragma once

// An adb server of the test's own on a free loopback port, for a test that runs the application as a
// program: it runs whatever adb it finds on this computer, and that client, once told the port in
// ANDROID_ADB_SERVER_PORT (env() says so), finds a server answering and never starts a real one. A real
// server would scan this computer's USB and reach a phone on the cable (with its authorization prompt), write
// a key into ~/.android and outlive the test.
//
// It reports the client's own protocol version (another makes the client stop it and start a real one, which
// then cannot have the port), lists no device and refuses every other request, saying so. One request per
// connection, as the client makes them; served on a thread of its own until the object dies. requests() may
// be called from any thread.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/posix/unique_fd.h"

namespace velmora::test {

class AdbServerStandIn {
  public:
    // Answers as the server of the adb at `client` (a protocol version is read from it); with none, as the
    // server of Debian's.
    explicit AdbServerStandIn(const std::optional<std::string>& client);
    ~AdbServerStandIn();
    AdbServerStandIn(const AdbServerStandIn&) = delete;
    AdbServerStandIn& operator=(const AdbServerStandIn&) = delete;

    std::uint16_t port() const { return port_; }

    // The variables to give a child that runs adb: the port to set, and the caller's settings that would
    // take adb elsewhere (another server, the user's key folder) to remove, as an absent value.
    std::vector<std::pair<std::string, std::optional<std::string>>> env() const;

    // The requests served so far ("host:version", "host:devices-l", ...), in order.
    std::vector<std::string> requests() const;

    // The protocol version of the adb at `client`: the last number of "adb version"'s first line.
    static std::optional<int> protocolVersion(const std::string& client);

  private:
    void serve();
    void answer(const UniqueFd& connection);

    UniqueFd listener_, wake_;
    std::uint16_t port_ = 0;
    int version_ = 41;
    mutable std::mutex mutex_;  // guards requests_
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace velmora::test
