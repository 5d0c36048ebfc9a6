#pragma once

#include <memory>
#include <string>

#include "app/links/ble/ble_central.h"
#include "app/links/ble/ble_link.h"
#include "core/transport/transport.h"

namespace velmora {

// The Bluetooth LE transport: one peripheral address bound to one fresh BleLink, connected through the
// central; reads and writes go to the link. mode() tells after connect whether it got "l2cap" or "gatt".
//
// Threads: connect, readExactly and write block the caller and must never run on the central's queue;
// close from any thread, returning at once. Dropping the transport without close() cancels nothing.
class BleTransport final : public ConnectableTransport {
  public:
    static constexpr double minConnectWait = 8.0, maxConnectWait = 12.0;

    BleTransport(BleCentral& central, BleId id, Clock& clock = SteadyClock::shared(),
                 L2capPump::Limits pumpLimits = {});

    // Waits clamp(timeout, 8, 12) seconds. Every failure cancels the connection through the central.
    void connect(double timeoutSeconds) override;
    Bytes readExactly(std::size_t n) override;
    void write(ByteView data) override;
    void close() noexcept override;
    std::string mode() const { return link_->mode(); }

  private:
    BleCentral& central_;
    const BleId id_;
    Clock& clock_;
    const std::shared_ptr<BleLink> link_;
};

}  // namespace velmora
