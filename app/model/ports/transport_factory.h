#pragma once

#include <memory>
#include <string>

#include "core/discovery/discovered_phone.h"
#include "core/transport/transport.h"

namespace velmora {

// Makes the transport of one connection attempt. Called on the attempt's own thread; nothing connects until
// the caller calls connect().
class TransportFactory {
  public:
    virtual ~TransportFactory() = default;

    // A TCP connection to `endpoint`.
    virtual std::shared_ptr<ConnectableTransport> tcp(const TcpEndpoint& endpoint) = 0;
    // A Bluetooth LE link to the peripheral `id` (its address in upper case); nullptr where the computer has
    // no Bluetooth link.
    virtual std::shared_ptr<ConnectableTransport> ble(const std::string& id) = 0;
    // What carries a connected transport, for the session and the logs: "l2cap" or "ble" for a Bluetooth
    // link, `kind` for anything else.
    virtual std::string label(const ConnectableTransport& transport, const std::string& kind) const = 0;
};

}  // namespace velmora
