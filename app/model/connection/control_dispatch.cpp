// What the connection half takes from the phone's "status".
#include "app/model/app_model.h"

namespace velmora {

// Battery and charging are shown from any session; the screen and activity flags only matter for the live
// one.
void AppModel::phoneStatus(const LinkSession* from, const Inbound::Status& status) {
    PublishedState& state = edit();
    state.battery = status.battery;
    state.charging = status.charging;
    if (session_ && session_.get() == from) applyPhoneStatus(status.screen, status.fast, status.locks);
}

// The screen's off time counts from the first report of a screen that is off. Re-evaluating the idle
// descent comes with it.
void AppModel::applyPhoneStatus(std::optional<bool> screen, bool fast, std::optional<bool> locks) {
    if (screen == false && phoneScreenOn_ != false) phoneScreenOffSince_ = now();
    if (screen != false) phoneScreenOffSince_.reset();
    phoneScreenOn_ = screen;
    phoneFast_ = fast;
    phoneLocks_ = locks;
}

}  // namespace velmora
