#pragma once

#include <cstdint>

#include "core/channel/frame.h"
#include "core/text/limits.h"

namespace velmora {

// The largest payload a record on `channel` may carry. Video and every channel number without a limit of its
// own get the video bound.
constexpr std::int64_t recordMax(std::uint8_t channel) {
    switch (channel) {
        case Ch::control:
            return Limits::controlMax;
        case Ch::audio:
            return Limits::audioMax;
        case Ch::input:
            return Limits::inputMax;
        case Ch::files:
            return Limits::fileChunkMax;
        default:
            return Limits::videoMax;
    }
}

}  // namespace velmora
