#pragma once

#include <memory>

#include "app/links/ble/ble_central.h"
#include "app/model/ports/bluetooth_central.h"

namespace velmora {

// The central as the model sees it: scanned phones become the model's BlePhone values (no name: the model
// names a phone from its paired ones) and the radio's state its number (5 = powered on). The handlers run
// on the central's main executor; start and pause post to its queue and return at once.
class BleCentralPort final : public BluetoothCentral {
  public:
    explicit BleCentralPort(std::shared_ptr<BleCentral> central);

    void setHandlers(Handlers handlers) override;
    void start() override;
    void pause() override;

  private:
    const std::shared_ptr<BleCentral> central_;
};

BlePhone modelPhone(const BleScannedPhone& phone);

}  // namespace velmora
