#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/mirror/media/video_sink.h"

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

// Decodes samples with libavcodec's H.264 decoder on a worker thread of its own and converts each picture
// to RGB with libswscale. Only the newest picture is kept for the view: it takes it with takeLatest() when
// onFrame tells it one is there, so a slow painter skips pictures instead of queueing them.
//
// The queue between the feeding thread and the worker is bounded. When it is full the sink has fallen
// behind: it drops everything queued and takes nothing but a key frame until one comes. A decoding error
// does the same after flushing the decoder. Either way the next enqueue() returns false, so that the feeder
// waits for a key frame too and asks the phone for one.
//
// Threads: accepts() and enqueue() on the feeding thread, clear() and takeLatest() on any; onFrame runs on
// the worker, which also owns the decoder and the scaler. `mutex_` guards the fields below it.
class AvcodecVideoSink final : public VideoSink {
  public:
    static constexpr std::size_t kQueueLimit = 8;

    // `decoderThreads` 0 lets libavcodec choose the number of slice threads.
    explicit AvcodecVideoSink(std::function<void()> onFrame = {}, int decoderThreads = 0,
                              std::size_t queueLimit = kQueueLimit);
    ~AvcodecVideoSink() override;
    AvcodecVideoSink(const AvcodecVideoSink&) = delete;
    AvcodecVideoSink& operator=(const AvcodecVideoSink&) = delete;

    bool accepts(const H264Format& format) override;
    bool enqueue(VideoSample sample) override;
    void clear() override;

    // The newest picture not yet taken; empty when there is none.
    std::shared_ptr<const VideoFrame> takeLatest();

  private:
    struct Decoder;

    void run();
    bool decode(Decoder& decoder, const VideoSample& sample, std::uint64_t epoch);
    bool publish(Decoder& decoder, std::uint64_t epoch);
    void failed(std::uint64_t epoch);

    const std::function<void()> onFrame_;
    const int decoderThreads_;
    const std::size_t queueLimit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<VideoSample> queue_;
    bool keyOnly_ = false;   // dropping everything up to the next key frame
    bool lostSome_ = false;  // not yet told to the feeder through enqueue()
    bool flushDecoder_ = false;
    std::uint64_t epoch_ = 0;  // raised by clear(): pictures of samples from before are not shown
    bool stopping_ = false;
    std::shared_ptr<VideoFrame> latest_;
    std::vector<std::shared_ptr<VideoFrame>> frames_;  // pictures to convert into, reused once released
    std::thread worker_;
};

}  // namespace velmora
