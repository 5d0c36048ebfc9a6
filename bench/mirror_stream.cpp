// The mirror's picture path through the whole model at 1080×2400 and 60 fps over loopback: from a video
// record leaving the simulated phone (encrypted, over TCP) through the session's receive loop, the mirroring
// control, the feeder and the decoder to the RGB picture ready for painting, beside a bare libavcodec decode
// of the same stream measured in the same run.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "app/mirror/media/h264_feeder.h"
#include "app/mirror/video/avcodec_video_sink.h"
#include "bare_decode.h"
#include "median_reporter.h"
#include "support/model_harness.h"
#include "tests/mirror/h264_stream.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

// Decode and RGB conversion may take 1.2 bare decodes (the video bench's limit); the loopback, the decryption
// and the hand-overs between the receive thread, the model and the decoder one more.
constexpr double kLimit = 2.2;

const std::vector<testing::PhonePacket>& stream() {
    static const auto packets = testing::encodeH264(1080, 2400, 60, 60);
    return packets;
}

std::int64_t ptsOf(const Bytes& packet) {
    std::int64_t pts = 0;
    for (int i = 1; i <= 8; ++i)
        pts = (pts << 8) | packet[static_cast<std::size_t>(i)];
    return pts;
}

// When each picture left the phone and when it was ready, by presentation time. A picture overtaken by the
// next before it was taken is skipped, as the window would skip it.
struct Stamps {
    void sent(std::int64_t pts) {
        std::lock_guard guard(mutex);
        leftPhone[pts] = Clock::now();
    }
    void ready(std::int64_t pts) {
        std::lock_guard guard(mutex);
        readyAt.emplace(pts, Clock::now());
    }
    bool has(std::int64_t pts) {
        std::lock_guard guard(mutex);
        return readyAt.contains(pts);
    }
    double median() {
        std::lock_guard guard(mutex);
        std::vector<double> latencies;
        for (const auto& [pts, at] : readyAt)
            if (leftPhone.contains(pts))
                latencies.push_back(std::chrono::duration<double>(at - leftPhone[pts]).count());
        if (latencies.empty()) return 0;
        std::ranges::nth_element(latencies,
                                 latencies.begin() + static_cast<std::ptrdiff_t>(latencies.size() / 2));
        return latencies[latencies.size() / 2];
    }
    std::mutex mutex;  // guards both maps
    std::map<std::int64_t, Clock::time_point> leftPhone, readyAt;
};

// The mirror window without Qt: the real feeder and decoder, a picture counted as ready once converted.
class DecodingScreen final : public MirrorScreen,
                             public MirrorVideoIn,
                             public std::enable_shared_from_this<DecodingScreen> {
  public:
    explicit DecodingScreen(Stamps& stamps)
        : sink_(
              [this, &stamps] {
                  if (const auto frame = sink_.takeLatest()) stamps.ready(frame->ptsMicros);
              },
              1, stream().size()),
          feeder_(sink_) {}
    void setVideoSize(int, int) override {}
    void present() override {}
    void close() override {}
    void showAwaitingApproval() override {}
    void fail(const std::string&) override {}
    void showNotice(const std::string&, double) override {}
    void setControlPaused(bool) override {}
    void setStalled(bool) override {}
    void connectionLost() override {}
    void connectionRestored() override {}
    void retrying() override {}
    std::shared_ptr<MirrorVideoIn> video() override {
        return std::shared_ptr<MirrorVideoIn>(shared_from_this(), this);
    }
    void feed(ByteView packet) override { feeder_.feed(packet); }

  private:
    AvcodecVideoSink sink_;
    H264Feeder feeder_;
};

struct DecodingScreens final : MirrorScreens {
    explicit DecodingScreens(Stamps& s) : stamps(s) {}
    std::shared_ptr<MirrorScreen> open(const std::string&, std::weak_ptr<MirrorScreenEvents>) override {
        return std::make_shared<DecodingScreen>(stamps);
    }
    bool canHideFromCapture() const override { return false; }
    Stamps& stamps;
};

void BM_RecordToPictureAt60fps(benchmark::State& state) {
    for (auto _ : state) {
        Stamps stamps;
        PhoneConfig config;
        config.answer = [](const json& m) {
            if (m.value("t", "") != "mirror.start") return std::vector<json>{};
            return std::vector<json>{{{"t", "mirror.started"}, {"width", 1080}, {"height", 2400}}};
        };
        config.stream = [](const json& m) {
            std::vector<Frame> records;
            if (m.value("t", "") == "mirror.keyframe")
                for (const auto& p : stream())
                    records.push_back({Ch::video, p.bytes});
            return records;
        };
        auto due = std::make_shared<Clock::time_point>();
        config.beforeStreamRecord = [&stamps, due](const Frame& record) {
            if (*due == Clock::time_point{}) *due = Clock::now();
            std::this_thread::sleep_until(*due);
            *due += std::chrono::microseconds(16'667);
            stamps.sent(ptsOf(record.payload));
        };
        test::ModelHarness h(config);
        h.pairBothSides();
        ModelPorts ports = h.ports();
        ports.mirrorScreens = std::make_shared<DecodingScreens>(stamps);
        h.model = AppModel::create(ports, false);
        h.exec->runPending();
        h.plugInCable();
        if (!h.pumpUntil(ConnState::Kind::connected)) state.SkipWithError("no session");
        h.model->startMirror();
        if (!h.pumpUntil([&] { return stamps.has(stream().back().ptsMicros); }))
            state.SkipWithError("pictures missing");
        state.SetIterationTime(stamps.median());
    }
}
BENCHMARK(BM_RecordToPictureAt60fps)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5);

// libavcodec alone, per picture: the packets' Annex B bodies through one single-threaded decoder.
void BM_BareDecode(benchmark::State& state) {
    bareDecodePerPicture(state, stream());
}
BENCHMARK(BM_BareDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3);

class Summary final : public MedianReporter {
  public:
    void printSummary() const override {
        const double latency = time("BM_RecordToPictureAt60fps/");
        const double bare = time("BM_BareDecode/");
        std::printf("\n1080x2400 H.264 at 60 fps over loopback, through the model:\n");
        std::printf(
            "  record leaving the phone to picture ready (median) %.2f ms beside bare decode %.2f ms: "
            "%.2fx (limit %.2fx)\n",
            latency, bare, bare > 0 ? latency / bare : 0, kLimit);
    }
};

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    return velmora::runBenchmarks<velmora::Summary>(argc, argv);
}
