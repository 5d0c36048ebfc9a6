// The feeder's byte work against a recording sink: Annex B splitting, the key-frame gate, the AVCC layout,
// failures of the sink and the statistics.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "app/mirror/media/annex_b.h"
#include "app/mirror/media/h264_feeder.h"
#include "core/exec/manual_executor.h"

namespace velmora {
namespace {

struct RecordingSink final : VideoSink {
    bool accepts(const H264Format& format) override { return format.sps != Bytes{0x67, 0xEE}; }
    bool enqueue(VideoSample sample) override {
        samples.push_back(std::move(sample));
        return !std::exchange(failNext, false);
    }
    void clear() override { ++clears; }
    std::vector<VideoSample> samples;
    int clears = 0;
    bool failNext = false;
};

Bytes packet(std::uint8_t flag, const Bytes& body, std::uint64_t pts = 0x0102030405060708) {
    Bytes out{flag};
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(pts >> shift));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

const Bytes kSps{0, 0, 0, 1, 0x67, 0x42}, kPps{0, 0, 1, 0x68, 0xCE}, kIdr{0, 0, 1, 0x65, 0xAA, 0xBB},
    kSlice{0, 0, 1, 0x41, 0xCC};
Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(AnnexB, SplitsOnBothStartCodesAndDropsWhatIsNotAUnit) {
    struct Case {
        Bytes in;
        std::vector<Bytes> units;
    };
    const std::vector<Case> cases{
        {{0, 0, 1, 0x65, 0xAA, 0, 0, 0, 1, 0x41, 0xBB}, {{0x65, 0xAA}, {0x41, 0xBB}}},
        {{0, 0, 1}, {}},
        {{0x11, 0x22, 0, 0, 1, 0x67}, {{0x67}}},
        {{0x11, 0x22, 0x33}, {}},
        {{0, 0, 1, 0, 0, 1, 0x41}, {{0x41}}},
        {{0, 0}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AnnexB::split(c.in), c.units);
}

TEST(H264Feeder, GatesOnKeyFramesAndWritesAvccSamples) {
    RecordingSink sink;
    H264Feeder feeder(sink);
    feeder.feed(packet(2, kSlice));  // no format yet
    feeder.feed(packet(1, cat({kSps, kPps})));
    feeder.feed(packet(2, kSlice));  // waits for a key frame
    EXPECT_TRUE(sink.samples.empty());

    // SEI and delimiters are dropped; an IDR makes even a flag-0 packet key.
    feeder.feed(packet(0, cat({{0, 0, 1, 0x09, 0xF0}, {0, 0, 1, 0x06, 0x01}, kIdr, kSlice})));
    ASSERT_EQ(sink.samples.size(), 1u);
    const VideoSample first = sink.samples[0];
    EXPECT_EQ(first.avcc, (Bytes{0, 0, 0, 3, 0x65, 0xAA, 0xBB, 0, 0, 0, 2, 0x41, 0xCC}));
    EXPECT_TRUE(first.key);
    EXPECT_EQ(first.ptsMicros, 0x0102030405060708);
    EXPECT_EQ(first.format->sps, (Bytes{0x67, 0x42}));

    // The same parameter sets again keep the format and the flow; new ones restart the wait, unless the
    // same packet brings its key frame.
    feeder.feed(packet(1, cat({kSps, kPps, kSlice})));
    feeder.feed(packet(2, kSlice));
    EXPECT_EQ(sink.samples.size(), 3u);
    EXPECT_EQ(sink.samples[2].format, first.format);
    feeder.feed(packet(2, cat({{0, 0, 1, 0x67, 0x4D}, kSlice})));
    EXPECT_EQ(sink.samples.size(), 3u);
    feeder.feed(packet(2, cat({{0, 0, 1, 0x68, 0x01}, kIdr})));
    EXPECT_EQ(sink.samples.size(), 4u);
    EXPECT_NE(sink.samples[3].format, first.format);

    // Parameter sets the decoder refuses leave the format as it was.
    feeder.feed(packet(2, cat({{0, 0, 1, 0x67, 0xEE}, kSlice})));
    EXPECT_EQ(sink.samples.size(), 5u);
    EXPECT_EQ(sink.samples[4].format, sink.samples[3].format);
}

TEST(H264Feeder, ASinkFailureWaitsForAKeyFrameAndAsksForOneOnce) {
    RecordingSink sink;
    H264Feeder feeder(sink);
    int asked = 0;
    feeder.onNeedKeyframe = [&] { ++asked; };
    feeder.feed(packet(1, cat({kSps, kPps, kIdr})));
    sink.failNext = true;
    feeder.feed(packet(2, kSlice));
    feeder.feed(packet(2, kSlice));
    feeder.feed(packet(2, kSlice));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(sink.samples.size(), 2u);
    feeder.feed(packet(1, kSlice));  // flag 1 alone makes it key
    feeder.feed(packet(2, kSlice));
    EXPECT_EQ(sink.samples.size(), 4u);
    EXPECT_EQ(asked, 1);
}

TEST(H264Feeder, ResetForgetsTheFormatClearsTheSinkAndRearmsTheFirstFrame) {
    RecordingSink sink;
    H264Feeder feeder(sink);
    int firsts = 0;
    feeder.onFirstFrame = [&] { ++firsts; };
    feeder.feed(packet(1, cat({kSps, kPps, kIdr})));
    feeder.frameShown();
    feeder.frameShown();
    feeder.reset();
    EXPECT_EQ(sink.clears, 1);
    feeder.feed(packet(1, kIdr));  // no format any more
    EXPECT_EQ(sink.samples.size(), 1u);
    feeder.feed(packet(1, cat({kSps, kPps, kIdr})));
    feeder.frameShown();
    EXPECT_EQ(sink.samples.size(), 2u);
    EXPECT_EQ(firsts, 2);
}

TEST(H264Feeder, CountsPacketsOfTenBytesOrMoreAsReceived) {
    RecordingSink sink;
    ManualExecutor clock(100);
    H264Feeder feeder(sink, clock);
    feeder.feed(Bytes(9, 1));        // too short: not even counted
    feeder.feed(packet(0, {0x42}));  // bytes only
    feeder.feed(packet(7, {0x42}));  // a frame, though not key
    clock.advance(0.5);
    H264Feeder::Stats stats = feeder.takeStats();
    EXPECT_DOUBLE_EQ(stats.fps, 2);
    EXPECT_DOUBLE_EQ(stats.mbps, 20 * 8 / 0.5 / 1e6);
    EXPECT_TRUE(sink.samples.empty());

    for (int i = 0; i < 30; ++i)
        feeder.feed(packet(2, Bytes(4991, 0x42)));
    clock.advance(0.5);
    stats = feeder.takeStats();
    EXPECT_DOUBLE_EQ(stats.fps, 60);
    EXPECT_DOUBLE_EQ(stats.mbps, 2.4);
    EXPECT_DOUBLE_EQ(feeder.takeStats().fps, 0);  // no time passed: divided by a millisecond, not zero
}

}  // namespace
}  // namespace velmora
