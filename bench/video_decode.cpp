// The time from a packet's arrival to its picture being ready when packets come at 60 per second, at
// 1080×2400, beside a bare libavcodec decode of the same stream. What each picture costs in CPU is
// bench_mirror_picture's subject.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "app/mirror/media/h264_feeder.h"
#include "app/mirror/video/avcodec_video_sink.h"
#include "bare_decode.h"
#include "median_reporter.h"
#include "tests/mirror/h264_stream.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

const std::vector<testing::PhonePacket>& stream() {
    static const auto packets = testing::encodeH264(1080, 2400, 60, 60);
    return packets;
}

// libavcodec alone: the packets' Annex B bodies through one single-threaded decoder.
void BM_BareDecode(benchmark::State& state) {
    bareDecodePerPicture(state, stream());
}
BENCHMARK(BM_BareDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->Repetitions(3);

// Waits for the picture of a given time.
struct Arrivals {
    void ready(AvcodecVideoSink& sink) {
        auto frame = sink.takeLatest();
        std::lock_guard guard(mutex);
        if (frame) last = frame->ptsMicros;
        changed.notify_all();
    }
    void waitFor(std::int64_t pts) {
        std::unique_lock guard(mutex);
        changed.wait_for(guard, std::chrono::seconds(60), [&] { return last == pts; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::int64_t last = -1;
};

// Packet in to picture ready, with packets every 1/60 s; the median over the stream.
void BM_LatencyAt60fps(benchmark::State& state) {
    const auto& packets = stream();
    for (auto _ : state) {
        Arrivals arrivals;
        AvcodecVideoSink* sinkPtr = nullptr;
        AvcodecVideoSink sink([&] { arrivals.ready(*sinkPtr); }, 1);
        sinkPtr = &sink;
        H264Feeder feeder(sink);
        std::vector<double> latencies;
        auto due = Clock::now();
        for (const auto& p : packets) {
            std::this_thread::sleep_until(due);
            due += std::chrono::microseconds(16'667);
            const auto in = Clock::now();
            feeder.feed(p.bytes);
            arrivals.waitFor(p.ptsMicros);
            latencies.push_back(std::chrono::duration<double>(Clock::now() - in).count());
        }
        std::nth_element(latencies.begin(),
                         latencies.begin() + static_cast<std::ptrdiff_t>(latencies.size() / 2),
                         latencies.end());
        state.SetIterationTime(latencies[latencies.size() / 2]);
    }
}
BENCHMARK(BM_LatencyAt60fps)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

class Summary final : public MedianReporter {
  public:
    void printSummary() const override {
        const double bare = time("BM_BareDecode/");
        const double latency = time("BM_LatencyAt60fps/");
        std::printf("\n1080x2400 H.264 per picture, one core (CPU per picture: bench_mirror_picture):\n");
        std::printf(
            "  packet in to picture ready at 60 fps (median) %.2f ms beside one bare decode %.2f ms\n",
            latency, bare);
    }
};

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    return velmora::runBenchmarks<velmora::Summary>(argc, argv);
}
