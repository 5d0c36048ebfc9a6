#pragma once

#include <cstdint>
#include <optional>

#include "core/protocol/inbound.h"

namespace velmora {

// A checked "mirror.started": the picture's size (each side 16...8192) and its sound, absent when the phone
// sent none or an invalid one.
struct MirrorStart {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::optional<Inbound::AudioFormat> audio;
    bool operator==(const MirrorStart&) const = default;
};

}  // namespace velmora
