#pragma once

#include <cstdint>

namespace velmora::SessionSwap {

// The longest time work asked for while idle on Bluetooth waits for the fast link to come back.
inline constexpr double wakeWaitSeconds = 15;

enum class Verdict : std::uint8_t { commit, discardStale, discardBusy };

// Whether a session opened in the background may replace the live one: not when the live one it was
// meant to replace is gone or was replaced meanwhile (stale), nor while mirroring or a transfer would be
// cut (busy).
inline Verdict verdict(bool oldStillCurrent, bool mirroring, bool transferring) {
    if (!oldStillCurrent) return Verdict::discardStale;
    if (mirroring || transferring) return Verdict::discardBusy;
    return Verdict::commit;
}

}  // namespace velmora::SessionSwap
