#include "app/mirror/video/avcodec_video_sink.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "app/mirror/video/picture_converter.h"

namespace velmora {
namespace {

// No phone screen comes near this; a stream that claims more is refused by the decoder before it allocates
// pictures of that size.
constexpr std::int64_t kMaxPixels = 4096LL * 4096;

// The avcC record libavcodec reads as extradata: one SPS, one PPS, 4-byte NAL lengths in the samples.
std::optional<Bytes> avcConfig(const H264Format& format) {
    const Bytes& sps = format.sps;
    const Bytes& pps = format.pps;
    if (sps.size() < 4 || pps.empty() || sps.size() > 0xFFFF || pps.size() > 0xFFFF) return std::nullopt;
    Bytes out{1, sps[1], sps[2], sps[3], 0xFF, 0xE1};
    out.push_back(static_cast<std::uint8_t>(sps.size() >> 8));
    out.push_back(static_cast<std::uint8_t>(sps.size()));
    out.insert(out.end(), sps.begin(), sps.end());
    out.push_back(1);
    out.push_back(static_cast<std::uint8_t>(pps.size() >> 8));
    out.push_back(static_cast<std::uint8_t>(pps.size()));
    out.insert(out.end(), pps.begin(), pps.end());
    return out;
}

struct ContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using ContextPtr = std::unique_ptr<AVCodecContext, ContextFree>;

// A decoder for `format`, or none when libavcodec cannot parse its parameter sets. `strict` makes a
// parameter-set error fail the opening instead of being skipped (the check that stands for "accepted").
ContextPtr openDecoder(const H264Format& format, int threads, bool strict) {
    const auto config = avcConfig(format);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!config || !codec) return nullptr;
    ContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) return nullptr;
    ctx->extradata = static_cast<std::uint8_t*>(av_mallocz(config->size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!ctx->extradata) return nullptr;
    std::memcpy(ctx->extradata, config->data(), config->size());
    ctx->extradata_size = static_cast<int>(config->size());
    ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;
    ctx->thread_type = FF_THREAD_SLICE;
    ctx->thread_count = threads;
    ctx->max_pixels = kMaxPixels;
    if (strict) ctx->err_recognition |= AV_EF_EXPLODE;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
    return ctx;
}

}  // namespace

struct AvcodecVideoSink::Decoder {
    ~Decoder() {
        av_frame_free(&frame);
        av_frame_free(&waiting);
        av_packet_free(&packet);
    }
    std::shared_ptr<const H264Format> format;
    ContextPtr ctx;
    AVFrame* frame = av_frame_alloc();
    AVFrame* waiting = av_frame_alloc();  // the newest decoded picture, not converted while the view is busy
    std::uint64_t waitingEpoch = 0;
    AVPacket* packet = av_packet_alloc();
    PictureConverter converter;
    AvcodecVideoSink* sink = nullptr;
    std::uint64_t epoch = 0;  // of the sample being decoded
    // The picture being converted band by band: its first plane, the rows converted from, and the picture
    // they go into (held here, so that no other conversion takes it).
    const std::uint8_t* bandPlane = nullptr;
    int bandRows = 0;
    std::shared_ptr<VideoFrame> banded;
    void dropBands() {
        banded.reset();
        bandPlane = nullptr;
        converter.abandon();
    }
};

AvcodecVideoSink::AvcodecVideoSink(std::function<void()> onFrame, int decoderThreads, std::size_t queueLimit)
    : onFrame_(std::move(onFrame)),
      decoderThreads_(decoderThreads),
      queueLimit_(queueLimit),
      worker_([this] { run(); }) {}

AvcodecVideoSink::~AvcodecVideoSink() {
    {
        std::lock_guard guard(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

bool AvcodecVideoSink::accepts(const H264Format& format) {
    return openDecoder(format, 1, true) != nullptr;
}

bool AvcodecVideoSink::enqueue(VideoSample sample) {
    {
        std::lock_guard guard(mutex_);
        if (sample.key) {
            // Nothing queued before a key frame is needed to decode it or anything after it.
            keyOnly_ = false;
            lostSome_ = false;
            if (queue_.size() >= queueLimit_) queue_.clear();
        } else if (keyOnly_) {
            return !std::exchange(lostSome_, false);
        } else if (queue_.size() >= queueLimit_) {
            queue_.clear();
            keyOnly_ = true;
            return false;
        }
        queue_.push_back(std::move(sample));
    }
    wake_.notify_one();
    return true;
}

void AvcodecVideoSink::clear() {
    {
        std::lock_guard guard(mutex_);
        queue_.clear();
        keyOnly_ = false;
        lostSome_ = false;
        flushDecoder_ = true;
        ++epoch_;
        waiting_ = false;
        latest_.reset();
    }
    wake_.notify_one();
}

std::shared_ptr<const VideoFrame> AvcodecVideoSink::takeLatest() {
    std::shared_ptr<const VideoFrame> taken;
    bool convert = false;
    {
        std::lock_guard guard(mutex_);
        taken = std::exchange(latest_, nullptr);
        convert = taken && waiting_;
    }
    if (convert) wake_.notify_one();
    return taken;
}

AvcodecVideoSink::Counts AvcodecVideoSink::counts() {
    const std::uint64_t allocated = pool_.counts().made;
    std::lock_guard guard(mutex_);
    Counts out = counts_;
    out.allocated = allocated;
    return out;
}

void AvcodecVideoSink::setOutputSize(int width, int height) {
    std::lock_guard guard(mutex_);
    const bool valid = width > 0 && height > 0 && static_cast<std::int64_t>(width) * height <= kMaxPixels;
    outWidth_ = valid ? width : 0;
    outHeight_ = valid ? height : 0;
}

void AvcodecVideoSink::run() {
    Decoder decoder;
    decoder.sink = this;
    if (!decoder.frame || !decoder.waiting || !decoder.packet) return;
    for (;;) {
        std::optional<VideoSample> sample;
        bool flush = false;
        bool convertWaiting = false;
        std::uint64_t epoch = 0;
        {
            std::unique_lock guard(mutex_);
            wake_.wait(guard, [this] {
                return stopping_ || flushDecoder_ || !queue_.empty() || (waiting_ && !latest_);
            });
            if (stopping_) return;
            flush = std::exchange(flushDecoder_, false);
            epoch = epoch_;
            if (!queue_.empty()) {
                sample = std::move(queue_.front());
                queue_.pop_front();
            } else if (waiting_ && !latest_) {
                // The view took its picture and nothing newer is queued: the waiting one is shown now.
                waiting_ = false;
                convertWaiting = true;
            }
        }
        if (flush) {
            decoder.dropBands();
            av_frame_unref(decoder.waiting);
            if (decoder.ctx) avcodec_flush_buffers(decoder.ctx.get());
        }
        if (convertWaiting && decoder.waiting->data[0] && decoder.waitingEpoch == epoch)
            (void)publish(decoder, *decoder.waiting, epoch);
        if (convertWaiting) av_frame_unref(decoder.waiting);
        if (sample && !decode(decoder, *sample, epoch)) {
            decoder.dropBands();
            if (decoder.ctx) avcodec_flush_buffers(decoder.ctx.get());
            failed(epoch);
        }
    }
}

bool AvcodecVideoSink::decode(Decoder& decoder, const VideoSample& sample, std::uint64_t epoch) {
    if (!sample.format) return false;
    if (!decoder.ctx || (decoder.format != sample.format && *decoder.format != *sample.format)) {
        decoder.dropBands();
        decoder.ctx = openDecoder(*sample.format, decoderThreads_, false);
        decoder.format = sample.format;
        // Rows come in order only from a decoder on one thread; in decoding order, which is the order shown
        // while the stream reorders nothing (checked per picture). libavcodec's H.264 decoder hands out
        // rows once deblocked, as far as it tells frame threads they are final, without listing the
        // capability; onBand() and publish() still check every band and fall back to whole pictures.
        if (decoder.ctx && decoder.ctx->active_thread_type == 0) {
            decoder.ctx->opaque = &decoder;
            decoder.ctx->slice_flags = SLICE_FLAG_CODED_ORDER;
            decoder.ctx->draw_horiz_band = &AvcodecVideoSink::onBand;
        }
    }
    decoder.epoch = epoch;
    // It can still fail to open here where accepts() passed (memory, threads): never decode with none.
    if (!decoder.ctx) return false;
    if (av_new_packet(decoder.packet, static_cast<int>(sample.avcc.size())) < 0) return false;
    std::memcpy(decoder.packet->data, sample.avcc.data(), sample.avcc.size());
    decoder.packet->pts = sample.ptsMicros;
    if (sample.key) decoder.packet->flags |= AV_PKT_FLAG_KEY;
    const int sent = avcodec_send_packet(decoder.ctx.get(), decoder.packet);
    av_packet_unref(decoder.packet);
    if (sent < 0 && sent != AVERROR(EAGAIN)) return false;
    for (;;) {
        const int got = avcodec_receive_frame(decoder.ctx.get(), decoder.frame);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
        if (got < 0) return false;
        const bool shown = present(decoder, epoch);
        av_frame_unref(decoder.frame);
        if (!shown) return false;
    }
}

// The picture just decoded: converted now when the view is free for it, else kept unconverted in place of
// the one kept before, or dropped when a queued sample will replace it at once anyway.
bool AvcodecVideoSink::present(Decoder& decoder, std::uint64_t epoch) {
    if (decoder.frame->width <= 0 || decoder.frame->height <= 0) return false;
    bool behind = false;
    bool viewBusy = false;
    {
        std::lock_guard guard(mutex_);
        ++counts_.decoded;
        behind = !queue_.empty();
        viewBusy = latest_ != nullptr;
        // Whatever waited is older than this picture: shown or kept, this one takes its place.
        waiting_ = viewBusy && !behind;
    }
    av_frame_unref(decoder.waiting);
    if (behind || viewBusy) decoder.dropBands();
    if (behind) return true;
    if (viewBusy) {
        av_frame_move_ref(decoder.waiting, decoder.frame);
        decoder.waitingEpoch = epoch;
        return true;
    }
    return publish(decoder, *decoder.frame, epoch);
}

bool AvcodecVideoSink::publish(Decoder& decoder, const AVFrame& in, std::uint64_t epoch) {
    int width = in.width;
    int height = in.height;
    {
        std::lock_guard guard(mutex_);
        if (outWidth_ > 0) width = outWidth_, height = outHeight_;
    }
    // The bands count only for the very picture begun, decoded without an error that concealment may have
    // painted over after its rows were handed out.
    std::shared_ptr<VideoFrame> out = std::exchange(decoder.banded, nullptr);
    const bool clean = in.decode_error_flags == 0 && (in.flags & AV_FRAME_FLAG_CORRUPT) == 0;
    if (out && !(in.data[0] == decoder.bandPlane && clean && out->width == width && out->height == height &&
                 decoder.converter.finish(in, *out)))
        out.reset();
    decoder.dropBands();
    const bool banded = out != nullptr;
    if (!out) {
        out = pool_.take();
        if (!decoder.converter.convert(in, width, height, *out)) return false;
    }
    out->ptsMicros = in.pts;
    {
        std::lock_guard guard(mutex_);
        ++counts_.converted;
        if (banded) ++counts_.banded;
        if (epoch != epoch_) return true;
        latest_ = std::move(out);
    }
    if (onFrame_) onFrame_();
    return true;
}

namespace {

// The part of a picture being decoded that will be shown: the decoder's buffer is the coded size, whole
// macroblocks, and the stream crops it (1080 columns of 1088) when the picture comes out. Only crops at the
// right and bottom keep the first row where it is; others give an empty picture.
AVFrame shown(const AVFrame& in) {
    AVFrame out{};
    if (in.crop_left != 0 || in.crop_top != 0 || in.crop_right >= static_cast<std::size_t>(in.width) ||
        in.crop_bottom >= static_cast<std::size_t>(in.height))
        return out;
    for (int plane = 0; plane < 3; ++plane) {
        out.data[plane] = in.data[plane];
        out.linesize[plane] = in.linesize[plane];
    }
    out.width = in.width - static_cast<int>(in.crop_right);
    out.height = in.height - static_cast<int>(in.crop_bottom);
    out.format = in.format;
    out.colorspace = in.colorspace;
    out.color_range = in.color_range;
    return out;
}

}  // namespace

// The decoder hands over the first rows of a picture: it is converted band by band only when the view is
// free for it and no newer sample waits, the same test present() makes once it is decoded.
void AvcodecVideoSink::startBands(Decoder& decoder, const AVFrame& in) {
    decoder.dropBands();
    if (decoder.ctx->has_b_frames != 0 || in.interlaced_frame || in.width <= 0 || in.height <= 0) return;
    int width = in.width;
    int height = in.height;
    {
        std::lock_guard guard(mutex_);
        if (latest_ || !queue_.empty() || decoder.epoch != epoch_) return;
        if (outWidth_ > 0) width = outWidth_, height = outHeight_;
    }
    auto out = pool_.take();
    if (!decoder.converter.begin(in, width, height, *out)) return;
    decoder.banded = std::move(out);
    decoder.bandPlane = in.data[0];
    decoder.bandRows = 0;
}

void AvcodecVideoSink::onBand(AVCodecContext* ctx, const AVFrame* coded, int* /*offset*/, int y, int type,
                              int height) {
    auto& decoder = *static_cast<Decoder*>(ctx->opaque);
    const AVFrame in = shown(*coded);
    // Whole pictures only (not fields), rows handed out top-down without a gap.
    constexpr int kWholePicture = 3;
    if (y == 0 && type == kWholePicture) decoder.sink->startBands(decoder, in);
    if (!decoder.banded) return;
    if (type != kWholePicture || in.data[0] != decoder.bandPlane || y != decoder.bandRows || height <= 0) {
        decoder.dropBands();
        return;
    }
    decoder.bandRows = y + height;
    decoder.converter.rows(in, decoder.bandRows, *decoder.banded);
}

void AvcodecVideoSink::failed(std::uint64_t epoch) {
    std::lock_guard guard(mutex_);
    // A sample from before clear() failed: what was queued since belongs to the new stream.
    if (epoch != epoch_) return;
    // What follows a queued key frame decodes again; everything before it is lost.
    const auto key = std::find_if(queue_.rbegin(), queue_.rend(), [](const VideoSample& s) { return s.key; });
    if (key != queue_.rend()) {
        queue_.erase(queue_.begin(), std::prev(key.base()));
        return;
    }
    queue_.clear();
    keyOnly_ = true;
    lostSome_ = true;
}

}  // namespace velmora
