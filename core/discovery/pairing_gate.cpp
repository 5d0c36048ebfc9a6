#include "core/discovery/pairing_gate.h"

namespace velmora {

PhoneAction PairingGate::action(bool paired, bool cable, std::optional<bool> flag) {
    if (paired || cable) return PhoneAction::connect;
    if (!flag) return PhoneAction::pairUnknown;
    return *flag ? PhoneAction::pairReady : PhoneAction::pairWaiting;
}

bool PairingConfirmGate::armed(double shownAt, double now) {
    return now - shownAt >= armDelay;
}

}  // namespace velmora
