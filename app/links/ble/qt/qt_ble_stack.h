#pragma once

#include <memory>

#include "app/links/ble/ble_central.h"
#include "app/links/ble/qt/qt_ble_radio.h"
#include "core/exec/serial_queue.h"

namespace velmora {

// The application's Bluetooth LE central over this computer's adapter: the Qt radio on the GUI thread and
// the central on its queue "tessel.ble", reporting to `main`. Without an adapter it logs so once and its
// central reads "unsupported" (nothing is scanned, every connect fails at once).
//
// Threads: made and destroyed on the GUI thread, with no transport of its central left in use.
class QtBleStack {
  public:
    explicit QtBleStack(std::shared_ptr<Executor> main);
    ~QtBleStack();
    QtBleStack(const QtBleStack&) = delete;
    QtBleStack& operator=(const QtBleStack&) = delete;

    BleCentral& central() { return *central_; }

  private:
    const std::shared_ptr<Executor> main_;
    std::unique_ptr<QtBleRadio> radio_;
    std::unique_ptr<SerialQueue> queue_;
    std::unique_ptr<BleCentral> central_;
};

}  // namespace velmora
