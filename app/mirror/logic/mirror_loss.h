#pragma once

namespace velmora::MirrorLoss {

// Seconds of silence on the link, while mirroring, after which the heartbeat reports a stall.
inline constexpr double stallAfter = 5.0;
// Seconds a reconnecting mirror window waits before it shows the phone as unresponsive.
inline constexpr double unresponsiveAfter = 10.0;

}  // namespace velmora::MirrorLoss
