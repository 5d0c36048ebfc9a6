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
// A planar picture can also be converted band by band while the decoder still writes the rows below:
// begin(), then rows() each time more rows from the top are final, then finish(). Each band is then shrunk
// while the decoder's rows are still in the cache instead of after the whole picture has left it. The bytes
// are the same as convert()'s.
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

    // Starts converting `in`, whose rows are not all decoded yet, into `out` at width × height. False (and
    // nothing started) when the picture takes another road than the planar one.
    bool begin(const AVFrame& in, int width, int height, VideoFrame& out);
    // The first `ready` rows of the picture begun are final: converts every band that draws only on them.
    void rows(const AVFrame& in, int ready, VideoFrame& out);
    // The picture begun is decoded: converts what is left. False, with `out` left unfinished, when `in` is
    // not the picture begun (size, pixel format, colours) or none was begun: the caller converts it whole.
    bool finish(const AVFrame& in, VideoFrame& out);
    // Forgets the picture begun.
    void abandon() { band_.reset(); }

  private:
    struct Band {
        int srcWidth, srcHeight, format, colorspace, range;
        int width, height;
        int done = 0;  // output rows converted
    };

    bool planarRoad(const AVFrame& in, int width, int height) const;
    void prepare(const AVFrame& in, int width, int height);
    bool convertRows(const AVFrame& in, int top, int rows, VideoFrame& out);
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
    std::optional<Band> band_;
};

}  // namespace velmora
