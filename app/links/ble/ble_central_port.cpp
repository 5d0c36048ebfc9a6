#include "app/links/ble/ble_central_port.h"

#include <utility>

namespace velmora {

BlePhone modelPhone(const BleScannedPhone& phone) {
    return {phone.id, {}, phone.devicePrefix, phone.pairing, phone.alternates};
}

BleCentralPort::BleCentralPort(std::shared_ptr<BleCentral> central) : central_(std::move(central)) {}

void BleCentralPort::setHandlers(Handlers handlers) {
    central_->setOnState([onState = std::move(handlers.onState)](RadioState state) {
        if (onState) onState(static_cast<int>(state));
    });
    central_->setOnPhones(
        [onPhones = std::move(handlers.onPhones)](const std::vector<BleScannedPhone>& found) {
            if (!onPhones) return;
            std::vector<BlePhone> phones;
            phones.reserve(found.size());
            for (const BleScannedPhone& phone : found)
                phones.push_back(modelPhone(phone));
            onPhones(std::move(phones));
        });
}

void BleCentralPort::start() {
    central_->start();
}

void BleCentralPort::pause() {
    central_->pause();
}

}  // namespace velmora
