#pragma once

#include <optional>

namespace velmora::HandshakeWatch {

// The longest time, in seconds, a connection attempt may spend in its handshake.
inline constexpr double limit = 20;

// Whether a hanging handshake is to be closed: never while a pairing prompt is shown (the user is
// reading the code); otherwise when more than `limitSeconds` have passed since the later of the start
// and the end of the last prompt. Times are seconds on one clock.
inline bool shouldClose(double now, double startedAt, std::optional<double> pairingEndedAt,
                        bool pairingPrompted, double limitSeconds) {
    if (pairingPrompted) return false;
    double base = pairingEndedAt && *pairingEndedAt >= startedAt ? *pairingEndedAt : startedAt;
    return now - base > limitSeconds;
}

}  // namespace velmora::HandshakeWatch
