// The phone's screen stream as the computer receives it: the answer to "mirror.start", packets in the
// channel-1 and channel-2 layouts, H.264 that libavcodec decodes back into the moving test picture, key
// frames on request, and a clean stop.
extern "C" {
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include "sim_phone/computer_end.h"
#include "support/companion/test_picture.h"
#include "support/wait_until.h"

namespace velmora::test {
namespace {

using companion::CompanionPhone;
using companion::CompanionSettings;
using nlohmann::json;

std::uint64_t timeOf(const Bytes& packet, std::size_t at) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8; ++i)
        v = v << 8 | packet[at + i];
    return v;
}

// libavcodec's H.264 decoder over the packets' Annex B bodies.
struct Decoder {
    Decoder() {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
        context = avcodec_alloc_context3(codec);
        EXPECT_EQ(avcodec_open2(context, codec, nullptr), 0);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
    }
    ~Decoder() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&context);
    }
    // Decodes one body; calls `seen` for every picture that comes out.
    void decode(const Bytes& body, const std::function<void(const AVFrame&)>& seen) {
        Bytes padded(body);
        padded.resize(body.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        packet->data = padded.data();
        packet->size = static_cast<int>(body.size());
        ASSERT_EQ(avcodec_send_packet(context, packet), 0);
        while (avcodec_receive_frame(context, frame) == 0)
            seen(*frame);
    }
    AVCodecContext* context;
    AVPacket* packet;
    AVFrame* frame;
};

// The left edge of the sweeping bar on the picture's middle row: the first bright pixel.
int sweepEdge(const AVFrame& f) {
    const std::uint8_t* row = f.data[0] + static_cast<std::ptrdiff_t>(f.height / 2) * f.linesize[0];
    for (int x = 0; x < f.width; ++x)
        if (row[x] > 110) return x;
    return -1;
}

std::vector<Bytes> ofKind(const ComputerEnd& end, const std::string& kind) {
    std::vector<Bytes> out;
    for (const auto& r : end.records())
        if (r.kind == kind) out.push_back(r.bytes);
    return out;
}

const json kStart = {{"t", "mirror.start"}, {"maxSize", 800}, {"fps", 60},
                     {"bitrate", 2000000},  {"audio", true},  {"muteDevice", true}};

TEST(MirrorStream, StartedThenAPictureThatDecodesAndMovesFrameByFrame) {
    CompanionPhone phone({.fps = 30});
    Connected c(phone);
    c.session().sendControl(kStart);
    const auto started = c.end.waitControl("mirror.started");
    ASSERT_TRUE(started);
    // 720x1600 scaled so the long side fits 800; the sound as 48 kHz stereo.
    EXPECT_EQ(c.end.records()[*started].message, json({{"t", "mirror.started"},
                                                       {"width", 360},
                                                       {"height", 800},
                                                       {"audio", {{"rate", 48000}, {"channels", 2}}}}));
    ASSERT_TRUE(c.end.waitCount("video", 12));
    ASSERT_TRUE(c.end.waitCount("audio", 3));
    const std::vector<Bytes> video = ofKind(c.end, "video");

    EXPECT_EQ(video.front()[0], 1) << "the stream opens with a key frame";
    Decoder decoder;
    std::vector<int> edges;
    std::uint64_t lastPts = 0;
    for (std::size_t i = 0; i < 12; ++i) {
        const Bytes& p = video[i];
        ASSERT_GT(p.size(), 9u);
        EXPECT_TRUE(p[0] == 1 || p[0] == 2);
        const std::uint64_t pts = timeOf(p, 1);
        if (i > 0) {
            EXPECT_GT(pts, lastPts);
        }
        lastPts = pts;
        EXPECT_TRUE(std::equal(p.begin() + 9, p.begin() + 13, Bytes{0, 0, 0, 1}.begin()))
            << "Annex B start code";
        decoder.decode(Bytes(p.begin() + 9, p.end()), [&](const AVFrame& f) {
            EXPECT_EQ(f.width, 360);
            EXPECT_EQ(f.height, 800);
            edges.push_back(sweepEdge(f));
        });
    }
    // Zero latency: one picture out per packet in, each showing the bar where that frame draws it.
    ASSERT_EQ(edges.size(), 12u);
    for (std::size_t i = 0; i < edges.size(); ++i)
        EXPECT_NEAR(edges[i], companion::sweepX(360, i), 4) << "frame " << i;

    // Sound: 8 header bytes, then 20 ms of 16-bit stereo, not silent.
    const Bytes a = ofKind(c.end, "audio").front();
    ASSERT_EQ(a.size(), 8u + 960 * 2 * 2);
    EXPECT_TRUE(std::any_of(a.begin() + 8, a.end(), [](std::uint8_t b) { return b != 0; }));
}

TEST(MirrorStream, KeyFrameOnRequestAndNothingAfterStopped) {
    CompanionPhone phone({.width = 320, .height = 640, .fps = 30, .sound = false});
    Connected c(phone);
    c.session().sendControl(kStart);
    ASSERT_TRUE(c.end.waitCount("video", 3));
    const std::size_t keysBefore = phone.mirrorStats().keyFrames;
    c.session().sendControl({{"t", "mirror.keyframe"}});
    ASSERT_TRUE(test::waitUntil([&] { return phone.mirrorStats().keyFrames > keysBefore; }));

    c.session().sendControl({{"t", "mirror.stop"}, {"keep", true}});
    const auto stopped = c.end.waitControl("mirror.stopped");
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(phone.mirrorStats().running);
    // A round trip after the stop: no picture may come between the two answers.
    c.session().sendControl({{"t", "status.get"}});
    const auto status = c.end.waitControl("status", *stopped);
    ASSERT_TRUE(status);
    const auto records = c.end.records();
    for (std::size_t i = *stopped; i < *status; ++i)
        EXPECT_NE(records[i].kind, "video") << "a picture after mirror.stopped";
    EXPECT_TRUE(ofKind(c.end, "audio").empty()) << "sound was not asked for";
}

TEST(MirrorStream, RefusalAndApprovalAsTheSettingsAsk) {
    {
        CompanionPhone phone({.mirrorRefuse = "denied"});
        Connected c(phone);
        c.session().sendControl(kStart);
        const auto error = c.end.waitControl("mirror.error");
        ASSERT_TRUE(error);
        EXPECT_EQ(c.end.records()[*error].message.value("code", ""), "denied");
        EXPECT_FALSE(phone.mirrorStats().running);
    }
    {
        // Sound refused: the picture without an audio format, then the notice for its window.
        CompanionPhone phone({.width = 320, .height = 640, .mirrorRefuse = "audio_unavailable"});
        Connected c(phone);
        c.session().sendControl(kStart);
        const auto started = c.end.waitControl("mirror.started");
        ASSERT_TRUE(started);
        EXPECT_FALSE(c.end.records()[*started].message.contains("audio"));
        const auto notice = c.end.waitControl("mirror.error", *started);
        ASSERT_TRUE(notice);
        EXPECT_EQ(c.end.records()[*notice].message.value("code", ""), "audio_unavailable");
        EXPECT_TRUE(c.end.waitCount("video", 1));
    }
    {
        CompanionPhone phone({.width = 320, .height = 640, .approvalMs = 0});
        Connected c(phone);
        c.session().sendControl(kStart);
        const auto pending = c.end.waitControl("mirror.error");
        ASSERT_TRUE(pending);
        EXPECT_EQ(c.end.records()[*pending].message.value("code", ""), "permission_pending");
        EXPECT_TRUE(c.end.waitControl("mirror.started", *pending));
        EXPECT_TRUE(c.end.waitCount("video", 1));
    }
}

TEST(MirrorStream, AStalledStreamSendsNothingUntilResumed) {
    CompanionPhone phone({.width = 320, .height = 640, .fps = 30, .sound = false});
    Connected c(phone);
    c.session().sendControl(kStart);
    ASSERT_TRUE(c.end.waitCount("video", 2));
    phone.stallMirror(true);
    // One whole tick after the stall began, the count stands still for several more.
    const std::uint64_t t0 = phone.mirrorStats().ticks;
    ASSERT_TRUE(test::waitUntil([&] { return phone.mirrorStats().ticks > t0 + 1; }));
    const companion::MirrorStats stalled = phone.mirrorStats();
    ASSERT_TRUE(test::waitUntil([&] { return phone.mirrorStats().ticks > stalled.ticks + 5; }));
    EXPECT_EQ(phone.mirrorStats().frames, stalled.frames);
    phone.stallMirror(false);
    EXPECT_TRUE(test::waitUntil([&] { return phone.mirrorStats().frames > stalled.frames + 3; }));
}

}  // namespace
}  // namespace velmora::test
