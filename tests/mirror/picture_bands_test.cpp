// Pictures converted band by band while the decoder finishes their rows: the same bytes as a conversion of
// the whole decoded picture, at odd and cropped sizes, whatever the rows come in; pictures that come out
// otherwise than they began are converted whole; and a view holding pictures never sees one change while
// newer ones are begun, dropped and converted behind it.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

#include "app/mirror/media/h264_feeder.h"
#include "app/mirror/video/avcodec_video_sink.h"
#include "app/mirror/video/picture_converter.h"
#include "h264_stream.h"
#include "support/wait_until.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace velmora {
namespace {

struct Frame {
    AVFrame* frame = av_frame_alloc();
    Frame() = default;
    Frame(int width, int height, std::uint32_t seed) {
        frame->format = AV_PIX_FMT_YUV420P, frame->width = width, frame->height = height;
        frame->color_range = AVCOL_RANGE_MPEG, frame->colorspace = AVCOL_SPC_BT709;
        if (av_frame_get_buffer(frame, 0) < 0) throw std::runtime_error("no picture");
        std::mt19937 random(seed);
        for (int p = 0; p < 3; ++p) {
            const int rows = p ? (height + 1) / 2 : height;
            for (std::size_t i = 0; i < static_cast<std::size_t>(frame->linesize[p]) * rows; ++i)
                frame->data[p][i] = static_cast<std::uint8_t>(random());
        }
    }
    ~Frame() { av_frame_free(&frame); }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
};

// The pixels of a picture without the padding of its rows.
Bytes pixels(const VideoFrame& f) {
    Bytes out;
    for (int y = 0; y < f.height; ++y) {
        const auto row = f.pixels.begin() + static_cast<std::ptrdiff_t>(y) * f.stride;
        out.insert(out.end(), row, row + f.width * 4);
    }
    return out;
}

// Noise through every road the band code has (the same size, shrinks, odd sizes, one row), with rows
// handed over as the decoder does (12 first, then 16 at a time), one at a time, in uneven steps, all at once
// and with a step going back: always the bytes of the whole conversion.
TEST(PictureBands, EveryWayOfHandingOverRowsGivesTheWholeConversionsBytes) {
    const struct {
        int sw, sh, dw, dh;
    } sizes[] = {{64, 48, 64, 48}, {63, 47, 31, 23},   {180, 100, 90, 51}, {720, 160, 450, 100},
                 {17, 9, 17, 9},   {33, 31, 32, 30},   {1, 1, 1, 1},       {70, 70, 10, 10},
                 {49, 50, 7, 50},  {1080, 64, 450, 27}};
    const struct {
        const char* name;
        std::vector<int> steps;  // rows added each time, repeated to the end
    } ways[] = {{"decoder", {12, 16}},
                {"row by row", {1}},
                {"uneven", {5, 3, 29, 2}},
                {"at once", {100000}},
                {"back and forth", {20, -7, 30}}};
    PictureConverter whole, banded;
    std::uint32_t seed = 1;
    for (const auto& s : sizes) {
        Frame in(s.sw, s.sh, seed++);
        VideoFrame want;
        ASSERT_TRUE(whole.convert(*in.frame, s.dw, s.dh, want));
        for (const auto& way : ways) {
            const std::string name = way.name + std::string(" ") + std::to_string(s.sw) + "x" +
                                     std::to_string(s.sh) + " to " + std::to_string(s.dw) + "x" +
                                     std::to_string(s.dh);
            VideoFrame got;
            ASSERT_TRUE(banded.begin(*in.frame, s.dw, s.dh, got)) << name;
            int ready = 0;
            for (std::size_t i = 0; ready < s.sh; ++i) {
                ready += way.steps[i % way.steps.size()];
                banded.rows(*in.frame, ready, got);
            }
            ASSERT_TRUE(banded.finish(*in.frame, got)) << name;
            EXPECT_EQ(got.width, s.dw) << name;
            EXPECT_EQ(got.height, s.dh) << name;
            EXPECT_EQ(got.stride % PictureConverter::kRowAlign, 0) << name;
            EXPECT_TRUE(pixels(got) == pixels(want)) << name;
        }
    }
}

// A picture that comes out otherwise than it began is left to a whole conversion: the converter says so
// and the next picture converts as if nothing had happened.
TEST(PictureBands, APictureThatIsNotTheOneBegunIsRefused) {
    PictureConverter converter;
    VideoFrame out;
    Frame begun(64, 48, 1), taller(64, 50, 2), otherColours(64, 48, 3), grey(64, 48, 4);
    otherColours.frame->colorspace = AVCOL_SPC_SMPTE170M;
    grey.frame->format = AV_PIX_FMT_GRAY8;

    EXPECT_FALSE(converter.finish(*begun.frame, out)) << "nothing begun";
    converter.rows(*begun.frame, 48, out);  // nothing begun: nothing written
    EXPECT_TRUE(out.pixels.empty());

    for (const Frame* other : {&taller, &otherColours}) {
        ASSERT_TRUE(converter.begin(*begun.frame, 32, 24, out));
        converter.rows(*begun.frame, 30, out);
        EXPECT_FALSE(converter.finish(*other->frame, out));
        EXPECT_FALSE(converter.finish(*begun.frame, out)) << "forgotten after the refusal";
    }
    EXPECT_FALSE(converter.begin(*grey.frame, 32, 24, out)) << "not the planar road";
    EXPECT_FALSE(converter.begin(*begun.frame, 0, 24, out));
    EXPECT_FALSE(converter.begin(*begun.frame, 640, 480, out)) << "growing is libswscale's";

    // Abandoned half way, then begun again: the bytes of a whole conversion.
    ASSERT_TRUE(converter.begin(*begun.frame, 32, 24, out));
    converter.rows(*begun.frame, 20, out);
    converter.abandon();
    EXPECT_FALSE(converter.finish(*begun.frame, out));
    VideoFrame want, got;
    ASSERT_TRUE(PictureConverter().convert(*begun.frame, 32, 24, want));
    ASSERT_TRUE(converter.begin(*begun.frame, 32, 24, got));
    ASSERT_TRUE(converter.finish(*begun.frame, got));
    EXPECT_TRUE(pixels(got) == pixels(want));
}

// A stream's pictures as a plain single-threaded decoder gives them, converted whole to width × height
// (the stream's own size at 0 × 0), by presentation time.
std::map<std::int64_t, Bytes> reference(const std::vector<testing::PhonePacket>& packets, int width,
                                        int height) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->thread_count = 1;
    ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (avcodec_open2(ctx, codec, nullptr) < 0) throw std::runtime_error("no decoder");
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    PictureConverter converter;
    std::map<std::int64_t, Bytes> out;
    for (const auto& p : packets) {
        av_new_packet(packet, static_cast<int>(p.bytes.size() - 9));  // past the 9-byte record header
        std::memcpy(packet->data, p.bytes.data() + 9, p.bytes.size() - 9);
        packet->pts = p.ptsMicros;
        avcodec_send_packet(ctx, packet);
        av_packet_unref(packet);
        while (avcodec_receive_frame(ctx, frame) == 0) {
            VideoFrame converted;
            const bool own = width == 0;
            if (!converter.convert(*frame, own ? frame->width : width, own ? frame->height : height,
                                   converted))
                throw std::runtime_error("no conversion");
            out[frame->pts] = pixels(converted);
            av_frame_unref(frame);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
    return out;
}

// A stream whose pictures are not whole macroblocks (180 × 100: the decoder's buffer is 192 × 112 and the
// stream crops it), shown one picture at a time at its own size and shrunk to odd sizes: every picture is
// converted band by band and has the bytes of the whole conversion of what a plain decoder gives. A decoder
// on several threads hands over no rows and gives the same bytes.
TEST(PictureBands, ARealStreamConvertedWhileDecodedIsTheSameAsConvertedAfter) {
    const auto packets = testing::encodeH264(180, 100, 12, 6);
    const struct {
        int width, height, threads;
        bool banded;
    } cases[] = {{0, 0, 1, true}, {90, 51, 1, true}, {61, 33, 1, true}, {90, 51, 2, false}};
    for (const auto& c : cases) {
        const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + " on " +
                                 std::to_string(c.threads) + " threads";
        const auto want = reference(packets, c.width, c.height);
        AvcodecVideoSink sink({}, c.threads, 64);
        sink.setOutputSize(c.width, c.height);
        H264Feeder feeder(sink);
        for (const auto& p : packets) {
            feeder.feed(p.bytes);
            std::shared_ptr<const VideoFrame> frame;
            ASSERT_TRUE(test::waitUntil([&] { return (frame = sink.takeLatest()) != nullptr; })) << name;
            ASSERT_EQ(frame->ptsMicros, p.ptsMicros) << name;
            EXPECT_TRUE(pixels(*frame) == want.at(p.ptsMicros)) << name << " at " << p.ptsMicros;
        }
        const auto counts = sink.counts();
        EXPECT_EQ(counts.converted, packets.size()) << name;
        EXPECT_EQ(counts.banded, c.banded ? packets.size() : 0u) << name;
    }
}

// A stream fed as fast as it comes while a view on its own thread takes pictures at its own pace and keeps
// the last ones it took: pictures are begun in bands, then dropped when a newer sample is queued by the end,
// or finished; whatever happens, every picture taken has the bytes of its own picture, and none the view
// holds changes while the sink goes on converting.
TEST(PictureBands, AViewThatTakesPicturesAtItsOwnPaceSeesOnlyWholeUnchangedPictures) {
    const auto packets = testing::encodeH264(180, 100, 90, 30);
    const auto want = reference(packets, 90, 51);
    AvcodecVideoSink sink({}, 1, 256);
    sink.setOutputSize(90, 51);
    std::atomic<bool> done = false;
    std::atomic<std::int64_t> last = -1;
    std::atomic<int> wrong = 0, changed = 0;
    std::thread view([&] {
        std::vector<std::pair<std::shared_ptr<const VideoFrame>, Bytes>> held;
        std::mt19937 random(3);
        while (!done) {
            if (auto frame = sink.takeLatest()) {
                last = frame->ptsMicros;
                Bytes seen = pixels(*frame);
                const auto it = want.find(frame->ptsMicros);
                if (it == want.end() || it->second != seen) ++wrong;
                held.emplace_back(std::move(frame), std::move(seen));
                if (held.size() > 2) held.erase(held.begin());
            }
            for (const auto& [frame, seen] : held)
                if (pixels(*frame) != seen) ++changed;
            for (int spin = static_cast<int>(random() % 20000); spin > 0; --spin)
                std::atomic_signal_fence(std::memory_order_seq_cst);
        }
    });
    H264Feeder feeder(sink);
    for (const auto& p : packets)
        feeder.feed(p.bytes);
    const bool decodedAll = test::waitUntil([&] { return sink.counts().decoded == packets.size(); });
    const bool lastShown = test::waitUntil([&] { return last == packets.back().ptsMicros; });
    done = true;
    view.join();
    ASSERT_TRUE(decodedAll && lastShown) << sink.counts().decoded << " decoded, last shown " << last;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(changed, 0);
}

// The window's view on its own thread shows one picture at a time: it takes a picture, paints it again at
// its own pace, and lets go of it when the next one comes or, now and then, before (as when the stream
// stops). The stream is fed a picture at a time, each once the view took the one before, so that the next
// conversion runs while the view still paints. Every picture is converted into one of the same three (the
// one shown, the one let go of a moment ago, the one being converted), handed back from the view's thread
// as it drops it; none changes while the view holds it; and the view may keep its last one after the sink
// is gone.
TEST(PictureBands, AViewShowingOnePictureAtATimeGivesItBackForTheNextOnes) {
    const auto packets = testing::encodeH264(180, 100, 60, 30);
    const auto want = reference(packets, 90, 51);
    const std::int64_t final = packets.back().ptsMicros;
    auto sink = std::make_unique<AvcodecVideoSink>(std::function<void()>{}, 1, 256);
    sink->setOutputSize(90, 51);
    auto feeder = std::make_unique<H264Feeder>(*sink);
    std::atomic<bool> done = false;
    std::atomic<std::int64_t> last = -1;
    std::atomic<int> wrong = 0, changed = 0, droppedEarly = 0;
    std::shared_ptr<const VideoFrame> kept;  // the view's last picture, once it stopped
    std::thread view([&] {
        std::shared_ptr<const VideoFrame> shown;
        Bytes seen;
        std::mt19937 random(5);
        for (;;) {
            const bool stop = done;  // read first: the last picture is taken after the feeding ended
            if (auto frame = sink->takeLatest()) {
                if (shown && pixels(*shown) != seen) ++changed;
                shown = std::move(frame);
                last = shown->ptsMicros;  // the next picture is fed and converted from here on
                seen = pixels(*shown);
                const auto it = want.find(shown->ptsMicros);
                if (it == want.end() || it->second != seen) ++wrong;
            }
            for (int spin = static_cast<int>(random() % 20000); spin > 0; --spin)
                std::atomic_signal_fence(std::memory_order_seq_cst);
            if (shown && pixels(*shown) != seen) ++changed;  // painted again
            if (shown && shown->ptsMicros != final && random() % 3 == 0) shown.reset(), ++droppedEarly;
            if (stop) break;
        }
        kept = std::move(shown);
    });
    bool allShown = true;
    for (const auto& p : packets) {
        feeder->feed(p.bytes);
        allShown = allShown && test::waitUntil([&] { return last == p.ptsMicros; });
    }
    done = true;
    view.join();
    ASSERT_TRUE(allShown) << "last shown " << last;
    const auto counts = sink->counts();
    feeder.reset();
    sink.reset();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(changed, 0);
    EXPECT_GT(droppedEarly, 0);
    EXPECT_EQ(counts.converted, packets.size());
    EXPECT_LE(counts.allocated, 3u);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->ptsMicros, final);
    EXPECT_TRUE(pixels(*kept) == want.at(final));
}

}  // namespace
}  // namespace velmora
