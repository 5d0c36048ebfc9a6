#pragma once

#include <cstdint>
#include <optional>

namespace velmora {

// The link quality the mirror's title bar and status pill show.
enum class MirrorLinkQuality { unknown, good, slow, lost };

namespace LinkQuality {

// Round trips above this many milliseconds count as slow.
inline constexpr std::int64_t slowAboveMs = 150;

// A lost link wins over any latency; no latency is unknown; negative latencies count as good.
constexpr MirrorLinkQuality classify(std::optional<std::int64_t> latencyMs, bool lost) {
    if (lost) return MirrorLinkQuality::lost;
    if (!latencyMs) return MirrorLinkQuality::unknown;
    return *latencyMs <= slowAboveMs ? MirrorLinkQuality::good : MirrorLinkQuality::slow;
}

}  // namespace LinkQuality
}  // namespace velmora
