#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "app/mirror/media/video_sink.h"
#include "core/bytes.h"
#include "core/exec/executor.h"

namespace velmora {

// Turns the phone's video packets (channel 1) into AVCC samples for a VideoSink. One per mirror window.
//
// A packet is a flag byte (1: key frame; 0: not counted as a frame; other values: a frame not marked key),
// an 8-byte big-endian presentation time in microseconds and an Annex B body. The feeder keeps the latest
// parameter sets, asks the sink whether it can describe them, drops frames until a key frame after every
// reset, format change or sink failure, and counts frames and bytes for the window's statistics.
//
// Threads: feed() runs on the session's receive thread; reset(), takeStats() and frameShown() on the main
// thread. `lock` guards every field below it; it is never held while a callback runs. onNeedKeyframe runs on
// the feeding thread and onFirstFrame on the thread that calls frameShown(): their owners hop to the main
// thread themselves.
class H264Feeder {
  public:
    struct Stats {
        double fps = 0;
        double mbps = 0;
    };

    explicit H264Feeder(VideoSink& sink, const Clock& clock = SteadyClock::shared());

    void feed(ByteView packet);
    void reset();
    Stats takeStats();
    // The picture of a sample fed since the last reset has been painted: the first one runs onFirstFrame.
    void frameShown();

    std::function<void()> onNeedKeyframe;
    std::function<void()> onFirstFrame;

  private:
    void updateFormat(Bytes sps, Bytes pps);

    VideoSink& sink_;
    const Clock& clock_;
    std::mutex lock_;
    std::optional<Bytes> sps_;
    std::optional<Bytes> pps_;
    std::shared_ptr<const H264Format> format_;
    bool waitingKey_ = true;
    bool shownFirst_ = false;
    std::int64_t statFrames_ = 0;
    std::int64_t statBytes_ = 0;
    double statSince_;
};

}  // namespace velmora
