#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "app/mirror/video/area_shrink.h"
#include "app/mirror/video/video_frame.h"

struct AVFrame;
struct SwsContext;

namespace velmora {

// Turns a decoded picture into RGB pixels at the size the view shows it at. The decoder's usual 4:2:0
// pictures take the fast road: the same size is a plain conversion, a smaller one is first shrunk by area
// averaging in YUV (PlaneShrinker), then converted, both with vector code. Other pixel formats, growing, and
// shrinks beyond the shrinker's reach go through libswscale. Either way the colour matrix is the one the
// stream names (BT.709, BT.2020, else BT.601) and the range is full where the stream or the pixel format says
// so, limited otherwise.
//
// Threads: one thread at a time (the decoder's worker); it keeps scratch planes and scalers between calls.
class PictureConverter {
  public:
    static constexpr int kRowAlign = 64;
    static constexpr int kBand = 16;  // output rows shrunk and converted at a time (even: whole chroma rows)

    PictureConverter() = default;
    ~PictureConverter();
    PictureConverter(const PictureConverter&) = delete;
    PictureConverter& operator=(const PictureConverter&) = delete;

    // Writes `in` at width × height into `out` (its size, stride and pixels; the presentation time is left
    // alone). Rows start at multiples of kRowAlign bytes and the buffer has kRowAlign bytes of slack past
    // the last row, as libswscale's vector code writes whole blocks. False when the picture cannot be
    // converted.
    bool convert(const AVFrame& in, int width, int height, VideoFrame& out);

  private:
    bool convertPlanar(const AVFrame& in, int width, int height, VideoFrame& out);
    bool convertOther(const AVFrame& in, int width, int height, VideoFrame& out);

    struct Plane {
        int stride = 0;
        std::vector<std::uint8_t> bytes;
    };
    std::optional<PlaneShrinker> luma_;
    std::optional<PlaneShrinker> chroma_;  // both chroma planes, one after the other
    Plane y_, u_, v_;                      // one band of the shrunk picture
    SwsContext* scaler_ = nullptr;
};

}  // namespace velmora
