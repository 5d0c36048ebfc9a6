#include "core/discovery/pairing_gate.h"

namespace velmora {

PhoneAction PairingGate::action(bool paired, bool cable, std::optional<bool> flag) {
    if (paired || cable) return PhoneAction::connect;
    if (!flag) return PhoneAction::pairUnknown;
    return *flag ? PhoneAction::pairReady : PhoneAction::pairWaiting;
}

bool PairingConfirmGate::armed(std::chrono::system_clock::time_point shownAt,
                               std::chrono::system_clock::time_point now) {
    if (now < shownAt) return false;
    return std::chrono::duration<double>(now - shownAt) >= armDelay;
}

}  // namespace velmora
