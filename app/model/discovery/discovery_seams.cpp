// Where discovery, link upgrades, the idle descent and the wake plug into the model. Each of these members
// is called from the right place already; the later work fills them in.
#include "app/model/app_model.h"

namespace velmora {

// The local-network browse. The results become `phones` with the discovery checks (not built yet); what is
// wired here is its life: started and stopped with the Wi-Fi kind, and ready while it runs.
void AppModel::startBrowsing() {
    browsing_ = true;
    const std::weak_ptr<AppModel> weak = weak_from_this();
    const auto onMain = [weak, main = ports_.main](std::function<void(AppModel&)> work) {
        main->post([weak, work = std::move(work)] {
            const auto model = weak.lock();
            if (model && model->browsing_) work(*model);
        });
    };
    ports_.browser->start({
        [onMain] { onMain([](AppModel& model) { model.edit().browserReady = true; }); },
        [](std::vector<DnsSdService>) {},
        [onMain](std::exception_ptr) { onMain([](AppModel& model) { model.edit().browserReady = false; }); },
    });
}

void AppModel::stopBrowsing() {
    browsing_ = false;
    ports_.browser->stop();
    if (state_.browserReady) edit().browserReady = false;
    if (!state_.phones.empty()) edit().phones.clear();
}

// The cable list as the bridge gave it; merging the installer's candidates comes with the phone lists.
void AppModel::applyUsbPhones() {
    if (!enabled(ConnKind::usb)) return;
    if (state_.usbPhones != rawUsbPhones_) edit().usbPhones = rawUsbPhones_;
}

// The Bluetooth list, named after the paired phones, comes with the phone lists.
void AppModel::applyBlePhones(std::vector<BlePhone> phones) {
    (void)phones;
}

// Reads the default gateway off the main thread and re-plans when it changed: comes with the hotspot.
void AppModel::refreshGateway() {}

}  // namespace velmora
