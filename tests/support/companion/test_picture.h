#pragma once

#include <cstdint>
#include <vector>

namespace velmora::companion {

// One picture in planar YUV 4:2:0 (BT.601, limited range), the layout H.264 encoders take.
struct Yuv420 {
    int width = 0, height = 0;  // both even
    std::vector<std::uint8_t> y, u, v;

    Yuv420(int w, int h);
    std::uint8_t lumaAt(int x, int yy) const { return y[static_cast<std::size_t>(yy) * width + x]; }
};

// The phone's moving test picture: colour bars, a bar sweeping across (a torn or frozen picture shows at
// once), the frame counter and the elapsed time in large digits. Pure: the same inputs draw the same picture.
void drawTestPicture(Yuv420& picture, std::uint64_t frame, std::uint64_t elapsedMs);

// Where the sweeping bar's left edge lies on a picture `width` wide at `frame`: tests find it again.
int sweepX(int width, std::uint64_t frame);

}  // namespace velmora::companion
