// The video path. The feeder's byte work against a recording sink; then real libx264 streams, packetised as
// the phone sends them, through the feeder into the libavcodec sink, where hostile bytes cost only time.

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "app/mirror/media/h264_feeder.h"
#include "app/mirror/video/avcodec_video_sink.h"
#include "core/exec/manual_executor.h"
#include "h264_stream.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

struct RecordingSink final : VideoSink {
    bool accepts(const H264Format& format) override { return format.sps != Bytes{0x67, 0xEE}; }
    bool enqueue(VideoSample sample) override { return samples.push_back(std::move(sample)), true; }
    void clear() override { ++clears; }
    std::vector<VideoSample> samples;
    int clears = 0;
};

// A packet: the flag, the time 0x0102030405060708 and the units, each behind a 3-byte start code.
Bytes packet(std::uint8_t flag, std::initializer_list<Bytes> units) {
    Bytes out{flag, 1, 2, 3, 4, 5, 6, 7, 8};
    for (const Bytes& unit : units)
        out.insert(out.end(), {0, 0, 1}), out.insert(out.end(), unit.begin(), unit.end());
    return out;
}
const Bytes kSps{0x67, 0x42}, kPps{0x68, 0xCE}, kIdr{0x65, 0xAA, 0xBB}, kSlice{0x41, 0xCC};

TEST(H264Feeder, AStreamsLifeThroughTheGate) {
    RecordingSink sink;
    ManualExecutor clock(100);
    H264Feeder feeder(sink, clock);
    int firsts = 0;
    feeder.onFirstFrame = [&] { ++firsts; };
    feeder.feed(packet(1, {kSps, kPps})), feeder.feed(packet(2, {kSlice}));  // waits for a key frame
    // Junk before the first start code, 4-byte codes, a delimiter and SEI are dropped; an IDR makes even a
    // flag-0 packet key.
    Bytes mixed = packet(0, {kSlice});
    mixed.insert(mixed.begin() + 9,
                 {0x33, 0, 0, 0, 1, 0x09, 0xF0, 0, 0, 1, 0x06, 0x01, 0, 0, 0, 1, 0x65, 0xAA, 0xBB});
    feeder.feed(mixed);
    ASSERT_EQ(sink.samples.size(), 1u);
    const VideoSample first = sink.samples[0];
    EXPECT_EQ(first.avcc, (Bytes{0, 0, 0, 3, 0x65, 0xAA, 0xBB, 0, 0, 0, 2, 0x41, 0xCC}));
    EXPECT_TRUE(first.key && first.ptsMicros == 0x0102030405060708);

    // The same sets again keep the format; new ones restart the wait unless their packet holds the key
    // frame; sets the decoder refuses are ignored.
    feeder.feed(packet(2, {kSps, kPps, kSlice}));
    EXPECT_EQ(sink.samples.at(1).format, first.format);
    feeder.feed(packet(2, {{0x67, 0x4D}, kSlice})), feeder.feed(packet(2, {{0x68, 0x01}, kIdr}));
    feeder.feed(packet(2, {{0x67, 0xEE}, kSlice}));
    ASSERT_EQ(sink.samples.size(), 4u);
    EXPECT_NE(sink.samples[2].format, first.format);
    EXPECT_EQ(sink.samples[3].format, sink.samples[2].format);

    feeder.feed(Bytes(9, 1)), clock.advance(0.5);        // too short even to count
    const H264Feeder::Stats stats = feeder.takeStats();  // 148 bytes in 7 packets; flag 0 is no frame
    EXPECT_DOUBLE_EQ(stats.fps, 12);
    EXPECT_DOUBLE_EQ(stats.mbps, 148 * 8 / 0.5 / 1e6);
    EXPECT_DOUBLE_EQ(feeder.takeStats().fps, 0);  // no time passed: divided by a millisecond, not zero

    // Reset forgets the format, clears the sink and rearms the first-frame signal.
    feeder.frameShown(), feeder.frameShown(), feeder.reset();
    EXPECT_EQ(sink.clears, 1);
    feeder.feed(packet(1, {kIdr})), feeder.feed(packet(1, {kSps, kPps, kIdr})), feeder.frameShown();
    EXPECT_TRUE(sink.samples.size() == 5u && firsts == 2) << sink.samples.size() << " " << firsts;
}

// The real sink behind a feeder. While `hold` is set the worker stays in its frame callback, as behind a
// painter that cannot keep up.
struct Screen {
    Screen() {
        feeder.onNeedKeyframe = [this] { ++asked; };
    }
    // Feeds packets [from, to); with `show`, waits for the last one's picture (null after a minute).
    std::shared_ptr<const VideoFrame> feed(const std::vector<testing::PhonePacket>& packets, std::size_t from,
                                           std::size_t to, bool show = false) {
        for (std::size_t i = from; i < to; ++i)
            feeder.feed(packets[i].bytes);
        if (!show) return nullptr;
        std::shared_ptr<const VideoFrame> shown;
        const auto done = [&] { return shown && shown->ptsMicros == packets[to - 1].ptsMicros; };
        test::waitUntil([&] {
            if (auto latest = sink.takeLatest()) shown = latest;
            return done();
        });
        return done() ? shown : nullptr;
    }
    std::atomic<bool> hold = false, held = false;
    std::atomic<int> asked = 0;
    AvcodecVideoSink sink{[this] { held = hold.load(), test::waitUntil([this] { return !hold; }); }};
    H264Feeder feeder{sink};
};

// The pixels of a picture without the padding of its rows.
Bytes pixels(const VideoFrame& f) {
    Bytes out;
    for (auto row = f.pixels.begin(); row < f.pixels.begin() + f.height * f.stride; row += f.stride)
        out.insert(out.end(), row, row + f.width * 4);
    return out;
}

TEST(VideoDecode, AfterJoiningLateAndBadPacketsThePictureComesBackAtTheNextKeyFrame) {
    const auto packets = testing::encodeH264(176, 144, 10, 5);  // rows of 704 bytes: padded; keys 0 and 5
    ASSERT_TRUE(packets[0].key && packets[5].key && !packets[1].key);
    Screen clean;
    const auto cleanFrame = clean.feed(packets, 0, 6, true);
    ASSERT_TRUE(cleanFrame && cleanFrame->width == 176 && cleanFrame->height == 144);

    // Short packets, a truncated NAL, a corrupted frame, a sequence whose pictures would be 1.6 million
    // macroblocks wide, then garbage after a start code.
    std::vector<Bytes> hostile{Bytes(packets[2].bytes.begin(), packets[2].bytes.begin() + 30),
                               packets[3].bytes,
                               packet(1, {{0x67, 0x42, 0, 0x1E, 0xF4, 0, 0, 0, 0x18, 0x6A, 0, 0x40, 0x80}}),
                               packet(2, {{0x41, 0xFF, 0xFF, 0xFF, 0x00, 0x13, 0x37}})};
    for (std::size_t i = 20; i < hostile[1].size(); i += 3)
        hostile[1][i] ^= 0x5A;
    for (std::size_t n = 0; n <= 9; ++n)
        hostile.insert(hostile.begin(), Bytes(n, 1));

    Screen screen;
    screen.feed(packets, 1, 4);  // joined mid-stream: held back by the gate, nothing asked for
    EXPECT_EQ(screen.asked, 0);
    screen.feed(packets, 0, 2);  // then the key frame, and all that is bad
    for (const Bytes& bad : hostile)
        screen.feeder.feed(bad);
    const auto frame = screen.feed(packets, 4, 6, true);
    EXPECT_TRUE(frame && pixels(*frame) == pixels(*cleanFrame)) << "no picture or a different one";
}

TEST(VideoDecode, ASinkThatFallsBehindDropsToTheNextKeyFrameAndAsksForOne) {
    const auto packets = testing::encodeH264(64, 64, 30, 15);
    ASSERT_TRUE(packets[15].key);
    Screen screen;
    screen.hold = true, screen.feed(packets, 0, 1);
    ASSERT_TRUE(test::waitUntil([&] { return screen.held.load(); }));
    screen.feed(packets, 1, 15);  // the worker is stuck: the queue fills and overflows once
    EXPECT_EQ(screen.asked, 1);
    screen.hold = false;
    EXPECT_TRUE(screen.feed(packets, 15, 17, true) && screen.asked == 1);
}

double residentMb() {
    double pages = 0;
    return std::ifstream("/proc/self/statm") >> pages >> pages, pages * 4096 / 1e6;
}

TEST(VideoDecode, RandomBytesInBulkCostBoundedMemoryThenAPhoneSizedStreamDecodes) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr bool kSanitized = true;  // slower, and freed or shadow memory stays resident
#else
    constexpr bool kSanitized = false;
#endif
    constexpr std::size_t kTotal = (kSanitized ? 16u : 100u) << 20;
    std::mt19937_64 random(25);
    Screen screen;
    const double before = residentMb();
    double peak = before;
    Bytes chunk;
    for (std::size_t fed = 0; fed < kTotal; fed += chunk.size()) {
        chunk.resize(10 + random() % 65536);
        for (auto& b : chunk)
            b = static_cast<std::uint8_t>(random());
        // Start codes every few hundred bytes, so that units reach the parameter-set and frame paths.
        for (std::size_t at = 9; at + 4 < chunk.size(); at += 64 + random() % 512)
            chunk[at] = chunk[at + 1] = 0, chunk[at + 2] = 1;
        screen.feeder.feed(chunk);
        peak = std::max(peak, residentMb());
    }
    EXPECT_LT(kSanitized ? 0 : peak - before, 64) << "held on to what it was fed";
    screen.feeder.reset();
    const auto frame = screen.feed(testing::encodeH264(1080, 2400, 2, 30), 0, 2, true);
    EXPECT_TRUE(frame && frame->width == 1080 && frame->height == 2400);
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// A view that never takes its picture while the stream goes on: what it will show next is the newest
// picture, and nothing decoded in between is converted.
TEST(VideoDecode, PicturesTheViewCannotTakeYetAreDecodedButNotConverted) {
    const auto packets = testing::encodeH264(96, 64, 12, 12);
    std::atomic<int> ready = 0;
    AvcodecVideoSink sink([&] { ++ready; }, 1, 64);
    H264Feeder feeder(sink);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        feeder.feed(packets[i].bytes);
        ASSERT_TRUE(test::waitUntil([&] { return sink.counts().decoded == i + 1; })) << "picture " << i;
    }
    EXPECT_EQ(sink.counts().converted, 1u);
    EXPECT_EQ(ready, 1);

    // Taking the first picture lets the newest one through, converted once.
    const auto first = sink.takeLatest();
    ASSERT_TRUE(first && first->ptsMicros == packets.front().ptsMicros);
    std::shared_ptr<const VideoFrame> next;
    ASSERT_TRUE(test::waitUntil([&] { return (next = sink.takeLatest()) != nullptr; }));
    EXPECT_EQ(next->ptsMicros, packets.back().ptsMicros);
    EXPECT_EQ(sink.counts().converted, 2u);
    // The view is told after the picture is there to take: the word may come a moment later.
    EXPECT_TRUE(test::waitUntil([&] { return ready == 2; })) << ready;

    // A clear() forgets a picture that waited: after it the view gets the new stream's pictures only.
    feeder.feed(packets[0].bytes);
    ASSERT_TRUE(test::waitUntil([&] { return sink.counts().converted == 3; }));
    feeder.feed(packets[1].bytes);
    ASSERT_TRUE(test::waitUntil([&] { return sink.counts().decoded == packets.size() + 2; }));
    feeder.reset();
    EXPECT_EQ(sink.takeLatest(), nullptr);
    feeder.feed(packets[0].bytes);
    ASSERT_TRUE(test::waitUntil([&] { return (next = sink.takeLatest()) != nullptr; }));
    EXPECT_EQ(next->ptsMicros, packets[0].ptsMicros);
    EXPECT_EQ(sink.counts().converted, 4u);
}

// Pictures come converted to the size the view paints them at, set at any time; a size that is none or
// beyond what the decoder accepts gives the stream's own.
TEST(VideoDecode, PicturesAreConvertedToTheSizeTheViewShowsThemAt) {
    const auto packets = testing::encodeH264(176, 144, 8, 8);
    const struct {
        int width, height, wantWidth, wantHeight;
    } cases[] = {{88, 72, 88, 72},
                 {0, 0, 176, 144},
                 {301, 247, 301, 247},
                 {70000, 70000, 176, 144},
                 {-5, 10, 176, 144}};
    std::atomic<int> ready = 0;
    AvcodecVideoSink sink([&] { ++ready; }, 1, 64);
    H264Feeder feeder(sink);
    std::size_t next = 0;
    for (const auto& c : cases) {
        sink.setOutputSize(c.width, c.height);
        feeder.feed(packets.at(next++).bytes);
        std::shared_ptr<const VideoFrame> frame;
        ASSERT_TRUE(test::waitUntil([&] { return (frame = sink.takeLatest()) != nullptr; }));
        EXPECT_EQ(frame->width, c.wantWidth) << c.width << "x" << c.height;
        EXPECT_EQ(frame->height, c.wantHeight) << c.width << "x" << c.height;
        EXPECT_GE(frame->stride, frame->width * 4);
        EXPECT_GE(frame->pixels.size(), static_cast<std::size_t>(frame->stride) * frame->height);
    }
    // A shrunk picture still shows the stream: the mean of the moving pattern stays where the full one is.
    sink.setOutputSize(0, 0);
    feeder.feed(packets.at(next).bytes);
    std::shared_ptr<const VideoFrame> full;
    ASSERT_TRUE(test::waitUntil([&] { return (full = sink.takeLatest()) != nullptr; }));
    sink.setOutputSize(44, 36);
    feeder.feed(packets.at(next + 1).bytes);
    std::shared_ptr<const VideoFrame> small;
    ASSERT_TRUE(test::waitUntil([&] { return (small = sink.takeLatest()) != nullptr; }));
    const auto mean = [](const VideoFrame& f) {
        double sum = 0;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width * 4; x += 4)
                sum += f.pixels[static_cast<std::size_t>(y * f.stride + x + 1)];  // green, either byte order
        return sum / (f.width * f.height);
    };
    EXPECT_NEAR(mean(*small), mean(*full), 8);
}

}  // namespace
}  // namespace velmora
