#pragma once

#include <optional>

// What the panel offers for a discovered phone, and when a shown pairing code may be confirmed. Pure.
namespace velmora {

enum class PhoneAction { connect, pairReady, pairWaiting, pairUnknown };

namespace PairingGate {

// A paired phone or one on a cable is connected to, whatever its flag; otherwise the flag says whether it
// is ready to pair, waiting, or unknown.
PhoneAction action(bool paired, bool cable, std::optional<bool> flag);

}  // namespace PairingGate

namespace PairingConfirmGate {

// A code must be on screen this long before it can be confirmed, so a click meant for something else
// cannot confirm it. Seconds.
inline constexpr double armDelay = 1.5;

// True from armDelay after `shownAt` on; false before. Both are seconds on the model's Clock.
bool armed(double shownAt, double now);

}  // namespace PairingConfirmGate
}  // namespace velmora
