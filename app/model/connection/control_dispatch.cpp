// What the connection half takes from the phone's "status".
#include "app/model/app_model.h"

namespace velmora {

// Battery and charging are shown from any session; the screen and activity flags only matter for the live
// one.
void AppModel::phoneStatus(std::uint64_t from, const Inbound::Status& status) {
    PublishedState& state = edit();
    state.battery = status.battery;
    state.charging = status.charging;
    if (isLive(from)) applyPhoneStatus(status.screen, status.fast, status.locks);
}

}  // namespace velmora
