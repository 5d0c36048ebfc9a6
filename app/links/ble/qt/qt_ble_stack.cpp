#include "app/links/ble/qt/qt_ble_stack.h"

#include "core/log/velmora_log.h"

namespace velmora {

QtBleStack::QtBleStack(std::shared_ptr<Executor> main)
    : main_(std::move(main)),
      radio_(std::make_unique<QtBleRadio>()),
      queue_(std::make_unique<SerialQueue>("tessel.ble")) {
    // The central does not own its queue: the queue goes first (below), so no task of the central outlives
    // it.
    std::shared_ptr<Executor> queue(std::shared_ptr<void>(), queue_.get());
    central_ = std::make_unique<BleCentral>(
        *radio_, queue, *main_, [raw = queue_.get()](const Executor::Task& task) { raw->sync(task); });
    radio_->setCentral(central_.get());
    if (radio_->state() == RadioState::unsupported)
        VelmoraLog::write("Bluetooth: nenhum adaptador neste computador; seguindo sem Bluetooth");
}

QtBleStack::~QtBleStack() {
    // The GUI thread runs no Qt event while this runs, so the radio reports nothing meanwhile. The queue
    // runs what is already due and stops; then the central's links let go of their peripherals while the
    // radio, which parents their controllers, still lives.
    queue_.reset();
    radio_->setCentral(nullptr);
    central_.reset();
    radio_.reset();
}

}  // namespace velmora
