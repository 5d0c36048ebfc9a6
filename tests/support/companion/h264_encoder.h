#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "support/companion/test_picture.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace velmora::companion {

// One encoded picture: H.264 in Annex B form (start codes before every NAL unit), parameter sets in front of
// every key frame, as the phone's screen stream carries it.
struct EncodedPicture {
    Bytes annexB;
    bool key = false;
    std::int64_t ptsUs = 0;
};

// libavcodec's H.264 encoder set for low latency: libx264 (baseline, zerolatency, no B-frames, headers with
// every key frame) when present, else whatever H.264 encoder this libavcodec has. One thread owns it.
// Construction throws std::runtime_error when no encoder opens.
class H264Encoder {
  public:
    H264Encoder(int width, int height, int fps, int bitrate);
    ~H264Encoder();
    H264Encoder(const H264Encoder&) = delete;
    H264Encoder& operator=(const H264Encoder&) = delete;

    const std::string& name() const { return name_; }
    // Encodes one picture (the encoder's own size); `key` forces an IDR picture. With zero delay the
    // picture usually comes straight back; an encoder with a delay returns earlier ones.
    std::vector<EncodedPicture> encode(const Yuv420& picture, bool key, std::int64_t ptsUs);

  private:
    struct Free {
        void operator()(AVCodecContext* c) const;
        void operator()(AVFrame* f) const;
        void operator()(AVPacket* p) const;
    };
    std::unique_ptr<AVCodecContext, Free> context_;
    std::unique_ptr<AVFrame, Free> frame_;
    std::unique_ptr<AVPacket, Free> packet_;
    std::string name_;
};

}  // namespace velmora::companion
