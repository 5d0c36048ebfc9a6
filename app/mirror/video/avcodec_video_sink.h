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
#include "app/mirror/video/frame_pool.h"
#include "app/mirror/video/video_frame.h"

struct AVCodecContext;
struct AVFrame;

namespace velmora {

// Decodes samples with libavcodec's H.264 decoder on a worker thread of its own and converts pictures to
// RGB (PictureConverter), straight to the size the view shows them at (setOutputSize), so that painting is a
// plain copy. The view takes the converted picture with takeLatest() when onFrame tells it one is there.
// While it still holds an untaken one, newer decoded pictures wait unconverted and each replaces the one
// before: a painter slower than the stream skips pictures before they cost a conversion, and onFrame runs
// at most once per picture the view takes.
//
// The queue between the feeding thread and the worker is bounded. When it is full the sink has fallen
// behind: it drops everything queued and takes nothing but a key frame until one comes. A decoding error
// does the same after flushing the decoder. Either way the next enqueue() returns false, so that the feeder
// waits for a key frame too and asks the phone for one.
//
// When the decoder works on one thread it hands over rows as it finishes them, and a picture the view is
// free for is converted band by band meanwhile, while its rows are still in the cache. A picture begun so
// and then dropped (a newer sample queued) costs the bands converted; one that comes out differently from
// how it began (size, colours, a decoding error, another picture) is converted whole as before.
//
// Threads: accepts() and enqueue() on the feeding thread, clear(), setOutputSize() and takeLatest() on any;
// onFrame runs on the worker, which also owns the decoder, the waiting picture and the converter. `mutex_`
// guards the fields below it.
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

    // The newest picture not yet taken; empty when there is none. Taking it lets the worker convert the
    // picture decoded since, if one waits.
    std::shared_ptr<const VideoFrame> takeLatest();

    // Pictures decoded and pictures converted for the view since the start; of those converted, how many
    // band by band while being decoded; and how many pictures to convert into were allocated, the rest
    // being pictures the view had let go of.
    struct Counts {
        std::uint64_t decoded = 0;
        std::uint64_t converted = 0;
        std::uint64_t banded = 0;
        std::uint64_t allocated = 0;
    };
    Counts counts();

    // The size in device pixels pictures are converted to from the next one on; 0 × 0 (the start) keeps the
    // stream's own size. A size beyond what the decoder accepts is capped to the stream's.
    void setOutputSize(int width, int height);

  private:
    struct Decoder;

    void run();
    bool decode(Decoder& decoder, const VideoSample& sample, std::uint64_t epoch);
    bool present(Decoder& decoder, std::uint64_t epoch);
    bool publish(Decoder& decoder, const AVFrame& in, std::uint64_t epoch);
    void failed(std::uint64_t epoch);
    void startBands(Decoder& decoder, const AVFrame& in);
    static void onBand(AVCodecContext* ctx, const AVFrame* in, int offset[], int y, int type, int height);

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
    bool waiting_ = false;  // the worker holds a decoded, unconverted picture newer than latest_
    Counts counts_;
    int outWidth_ = 0;
    int outHeight_ = 0;
    std::shared_ptr<VideoFrame> latest_;
    FramePool pool_;  // pictures to convert into (locked on its own): the view gives them back
    std::thread worker_;
};

}  // namespace velmora
