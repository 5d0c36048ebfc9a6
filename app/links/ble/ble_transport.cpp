#include "app/links/ble/ble_transport.h"

#include <algorithm>

namespace velmora {

BleTransport::BleTransport(BleCentral& central, BleId id, Clock& clock, L2capPump::Limits pumpLimits)
    : central_(central),
      id_(std::move(id)),
      clock_(clock),
      link_(std::make_shared<BleLink>(clock, pumpLimits)) {}

void BleTransport::connect(double timeoutSeconds) {
    const double deadline = clock_.now() + std::clamp(timeoutSeconds, minConnectWait, maxConnectWait);
    central_.open(id_, link_);
    if (const auto failure = link_->waitUntilReady(deadline)) {
        central_.cancel(id_);
        std::rethrow_exception(failure);
    }
}

Bytes BleTransport::readExactly(std::size_t n) {
    return link_->readExactly(n);
}

void BleTransport::write(ByteView data) {
    link_->write(data);
}

void BleTransport::close() noexcept {
    try {
        central_.cancel(id_);
    } catch (...) {  // posting a task can only fail for want of memory; a close never throws
    }
}

}  // namespace velmora
