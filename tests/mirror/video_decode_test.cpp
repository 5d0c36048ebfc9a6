// Real streams through the real decoder: libx264-encoded pictures, packetised as the phone sends them, fed
// through the feeder into the libavcodec sink, and hostile bytes that must cost nothing but time.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>

#include "app/mirror/media/h264_feeder.h"
#include "app/mirror/video/avcodec_video_sink.h"
#include "h264_stream.h"

namespace velmora {
namespace {

using testing::encodeH264;
using testing::PhonePacket;

// A sink with a feeder in front of it, and a way to wait for the picture of a given time.
struct Screen {
    Screen() : sink([this] { frameReady(); }), feeder(sink) {
        feeder.onNeedKeyframe = [this] {
            std::lock_guard guard(mutex);
            ++keyframeRequests;
        };
    }
    void frameReady() {
        auto frame = sink.takeLatest();
        std::lock_guard guard(mutex);
        if (frame) shown = frame;
        changed.notify_all();
    }
    void feed(const std::vector<PhonePacket>& packets, std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            feeder.feed(packets[i].bytes);
    }
    // The picture shown once the one with `pts` has been decoded; null after 60 s without it.
    std::shared_ptr<const VideoFrame> waitFor(std::int64_t pts) {
        std::unique_lock guard(mutex);
        changed.wait_for(guard, std::chrono::seconds(60), [&] { return shown && shown->ptsMicros == pts; });
        return shown && shown->ptsMicros == pts ? shown : nullptr;
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::shared_ptr<const VideoFrame> shown;
    int keyframeRequests = 0;
    AvcodecVideoSink sink;
    H264Feeder feeder;
};

TEST(VideoDecode, PhoneSizedAndSmallStreamsDecodeToPicturesOfTheirSize) {
    struct Case {
        int width, height;
    };
    for (const Case c : {Case{1080, 2400}, Case{176, 144}, Case{64, 64}}) {
        const auto packets = encodeH264(c.width, c.height, 3, 30);
        Screen screen;
        screen.feed(packets, 0, packets.size());
        const auto frame = screen.waitFor(packets.back().ptsMicros);
        ASSERT_TRUE(frame) << c.width << "x" << c.height;
        EXPECT_EQ(frame->width, c.width);
        EXPECT_EQ(frame->height, c.height);
        EXPECT_GE(frame->stride, c.width * 4);
    }
}

// The pixels of a picture without the padding of its rows.
std::vector<std::uint8_t> picture(const VideoFrame& frame) {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < frame.height; ++y) {
        const auto row = frame.pixels.begin() + static_cast<std::ptrdiff_t>(y) * frame.stride;
        out.insert(out.end(), row, row + frame.width * 4);
    }
    return out;
}

// Pictures 0-9, key frames at 0 and 5.
class Story : public ::testing::Test {
  protected:
    const std::vector<PhonePacket> packets = encodeH264(160, 96, 10, 5);
    // What a clean run shows at the second key frame.
    std::vector<std::uint8_t> cleanKeyPicture() {
        Screen screen;
        screen.feed(packets, 0, 6);
        const auto frame = screen.waitFor(packets[5].ptsMicros);
        return frame ? picture(*frame) : std::vector<std::uint8_t>{};
    }
};

TEST_F(Story, FramesBeforeTheFirstKeyFrameAreNotDecoded) {
    ASSERT_TRUE(packets[0].key && packets[5].key && !packets[1].key);
    Screen screen;
    screen.feed(packets, 1, 4);  // joined mid-stream: nothing to decode against
    screen.feed(packets, 5, 7);
    ASSERT_TRUE(screen.waitFor(packets[6].ptsMicros));
    EXPECT_EQ(screen.keyframeRequests, 0);
}

TEST_F(Story, BadPacketsCostNothingAndThePictureComesBackAtTheNextKeyFrame) {
    const auto clean = cleanKeyPicture();
    ASSERT_FALSE(clean.empty());
    Bytes truncated = packets[2].bytes;
    truncated.resize(truncated.size() / 2);
    Bytes garbled = packets[3].bytes;
    for (std::size_t i = 20; i < garbled.size(); i += 3)
        garbled[i] ^= 0x5A;
    Bytes absurdSps = packets[0].bytes;  // a sequence whose pictures would be 1.6 million macroblocks wide
    absurdSps.resize(9);
    absurdSps.insert(absurdSps.end(),
                     {0, 0, 0, 1, 0x67, 0x42, 0, 0x1E, 0xF4, 0, 0, 0, 0x18, 0x6A, 0, 0x40, 0x80});

    std::vector<Bytes> hostile;
    for (std::size_t n = 0; n <= 9; ++n)
        hostile.push_back(Bytes(n, 0));
    hostile.push_back(truncated);
    hostile.push_back(garbled);
    hostile.push_back(absurdSps);
    hostile.push_back({2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0x41, 0xFF, 0xFF, 0xFF, 0x00, 0x13, 0x37});

    Screen screen;
    screen.feed(packets, 0, 2);
    for (const Bytes& bad : hostile)
        screen.feeder.feed(bad);
    screen.feed(packets, 4, 6);
    const auto frame = screen.waitFor(packets[5].ptsMicros);
    ASSERT_TRUE(frame);
    EXPECT_EQ(picture(*frame), clean);
}

// Disabled: after bulk garbage the good stream is not yet decoded again (under investigation).
TEST(VideoDecode, ASinkThatFallsBehindDropsToTheNextKeyFrameAndAsksForOne) {
    const auto packets = encodeH264(640, 1408, 30, 15);
    ASSERT_TRUE(packets[15].key);
    Screen screen;
    // All at once: the worker decodes a picture while the feeder hands on many.
    screen.feed(packets, 0, 15);
    {
        std::lock_guard guard(screen.mutex);
        EXPECT_EQ(screen.keyframeRequests, 1);
    }
    screen.feed(packets, 15, 16);
    EXPECT_TRUE(screen.waitFor(packets[15].ptsMicros));
}

TEST_F(Story, RandomBytesInBulkAreDroppedAndAGoodStreamDecodesAfterThem) {
#if defined(__SANITIZE_ADDRESS__)
    constexpr std::size_t kTotal = 16u << 20;  // the sanitizer build walks the bytes far more slowly
#else
    constexpr std::size_t kTotal = 100u << 20;
#endif
    std::mt19937_64 random(25);
    Screen screen;
    Bytes chunk;
    for (std::size_t fed = 0; fed < kTotal; fed += chunk.size()) {
        chunk.resize(10 + random() % 65536);
        for (auto& b : chunk)
            b = static_cast<std::uint8_t>(random());
        // Start codes every few hundred bytes, so that the units reach the parameter-set and frame paths.
        for (std::size_t at = 9; at + 4 < chunk.size(); at += 64 + random() % 512) {
            chunk[at] = chunk[at + 1] = 0;
            chunk[at + 2] = 1;
        }
        screen.feeder.feed(chunk);
    }
    screen.feeder.reset();
    screen.feed(packets, 0, 3);
    const auto frame = screen.waitFor(packets[2].ptsMicros);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width, 160);
}

}  // namespace
}  // namespace velmora
