#pragma once

#include <cstdint>
#include <vector>

namespace velmora {

// A decoded picture as 32-bit pixels 0xFFRRGGBB in native byte order (what QImage::Format_RGB32 reads),
// `stride` bytes per row (at least width × 4; the rest of a row is padding).
struct VideoFrame {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::int64_t ptsMicros = 0;
    std::vector<std::uint8_t> pixels;
};

}  // namespace velmora
