#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace velmora {

// Owned bytes, and a read-only view of bytes, as used across the link protocol.
using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

}  // namespace velmora
