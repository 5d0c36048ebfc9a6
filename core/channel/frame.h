#pragma once

#include <cstdint>

#include "core/bytes.h"

namespace velmora {

// The channel numbers of the link. The record layer carries any number 0-255; the session decides which it
// accepts.
namespace Ch {
inline constexpr std::uint8_t control = 0;  // JSON control messages, both ways; the only channel before auth
inline constexpr std::uint8_t video = 1;    // the phone's screen
inline constexpr std::uint8_t audio = 2;    // the phone's sound
inline constexpr std::uint8_t input = 3;    // input events to the phone
inline constexpr std::uint8_t files = 4;    // file-transfer chunks, both ways
}  // namespace Ch

// One received record.
struct Frame {
    std::uint8_t channel = 0;  // as received, any value
    Bytes payload;             // the bytes after the channel byte

    bool operator==(const Frame&) const = default;
};

}  // namespace velmora
