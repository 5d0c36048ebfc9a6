#pragma once

#include <cstdint>
#include <memory>

#include "core/bytes.h"

namespace velmora {

// An H.264 stream format: the sequence and picture parameter sets it was described by. Two formats are the
// same exactly when both sets are byte for byte equal.
struct H264Format {
    Bytes sps;
    Bytes pps;
    bool operator==(const H264Format&) const = default;
};

// One packet's frame NAL units in AVCC layout (each a 4-byte big-endian length, then the unit), ready to
// decode with `format`.
struct VideoSample {
    Bytes avcc;
    std::int64_t ptsMicros = 0;
    bool key = false;
    std::shared_ptr<const H264Format> format;
};

// Where the feeder's samples go: a decoder and the picture it shows. Every call comes from the thread that
// feeds packets (the session's receive thread) except clear(), which the window calls on the main thread.
// None of them may wait for decoding.
class VideoSink {
  public:
    virtual ~VideoSink() = default;
    // Whether a decoder accepts these parameter sets (a stream it cannot describe is refused).
    virtual bool accepts(const H264Format& format) = 0;
    // Hands a sample on. False when the sink had fallen behind or failed to decode: it has then dropped what
    // it held and takes nothing but a key frame until one arrives, so the caller should ask for one.
    virtual bool enqueue(VideoSample sample) = 0;
    // Drops every queued sample, the decoder's state and the picture shown.
    virtual void clear() = 0;
};

}  // namespace velmora
