// What a mirrored picture costs the computer, per picture, in CPU time of the whole process: the feeder,
// the decoder's worker and the conversion to the view's size, then the same with the hop to the GUI thread
// and the paint of an offscreen mirror view, each beside a bare single-threaded libavcodec decode of the same
// 300 pictures measured in the same run. Every picture is shown: the next packet goes in once the last
// picture is converted (or painted), as when the screen keeps up with the phone.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMetaObject>
#include <cstdio>
#include <map>

#include "app/mirror/media/h264_feeder.h"
#include "app/mirror/video/avcodec_video_sink.h"
#include "app/mirror/window/mirror_view.h"
#include "bare_decode.h"
#include "core/exec/manual_executor.h"
#include "cpu_clock.h"
#include "median_reporter.h"
#include "tests/mirror/h264_stream.h"

namespace velmora {
namespace {

constexpr int kFrames = 300;
constexpr int kViewWidth = 450;  // logical pixels at a device pixel ratio of 1
constexpr double kDecodeLimit = 1.2;
constexpr double kPaintLimit = 2.0;

const std::vector<testing::PhonePacket>& stream(int width, int height) {
    static std::map<int, std::vector<testing::PhonePacket>> streams;
    auto& packets = streams[width];
    if (packets.empty()) packets = testing::encodeH264(width, height, kFrames, 60);
    return packets;
}

int viewHeight(int width, int height) {
    return kViewWidth * height / width;
}

// libavcodec alone: the packets' Annex B bodies through one single-threaded decoder.
void BM_BareDecode(benchmark::State& state) {
    bareDecodePerPicture(state, stream(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))),
                         processCpuSeconds);
}

// Feeder, queue, decoder worker and conversion to the view's size; the picture is taken on the worker.
void BM_DecodeConvert(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const auto& packets = stream(width, height);
    for (auto _ : state) {
        std::mutex mutex;
        std::condition_variable changed;
        std::int64_t last = -1;
        AvcodecVideoSink* sinkPtr = nullptr;
        AvcodecVideoSink sink(
            [&] {
                const auto frame = sinkPtr->takeLatest();
                std::lock_guard guard(mutex);
                if (frame) last = frame->ptsMicros;
                changed.notify_all();
            },
            1);
        sinkPtr = &sink;
        sink.setOutputSize(kViewWidth, viewHeight(width, height));
        H264Feeder feeder(sink);
        const double start = processCpuSeconds();
        for (const auto& p : packets) {
            feeder.feed(p.bytes);
            std::unique_lock guard(mutex);
            changed.wait_for(guard, std::chrono::seconds(60), [&] { return last == p.ptsMicros; });
        }
        state.SetIterationTime((processCpuSeconds() - start) / static_cast<double>(packets.size()));
    }
}

// The same, and the picture hops to the GUI thread, as in the mirror window, and is painted by the view.
void BM_DecodeConvertPaint(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const auto& packets = stream(width, height);
    for (auto _ : state) {
        ManualExecutor executor;
        MirrorView view(executor);
        std::int64_t shown = -1, painted = -1;
        view.onPainted = [&] { painted = shown; };
        AvcodecVideoSink* sinkPtr = nullptr;
        AvcodecVideoSink sink(
            [&] {
                QMetaObject::invokeMethod(
                    &view,
                    [&] {
                        if (auto frame = sinkPtr->takeLatest()) {
                            shown = frame->ptsMicros;
                            view.showFrame(std::move(frame));
                        }
                    },
                    Qt::QueuedConnection);
            },
            1);
        sinkPtr = &sink;
        // Wired before the view has a size, as in the mirror window.
        view.onPixelSize = [&](int w, int h) { sink.setOutputSize(w, h); };
        view.resize(kViewWidth, viewHeight(width, height));
        view.show();
        H264Feeder feeder(sink);
        const double start = processCpuSeconds();
        for (const auto& p : packets) {
            feeder.feed(p.bytes);
            while (painted != p.ptsMicros)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        state.SetIterationTime((processCpuSeconds() - start) / static_cast<double>(packets.size()));
    }
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Args({720, 1600})->Args({1080, 2400});
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
}
BENCHMARK(BM_BareDecode)->Apply(sizes);
BENCHMARK(BM_DecodeConvert)->Apply(sizes);
BENCHMARK(BM_DecodeConvertPaint)->Apply(sizes);

class Summary final : public MedianReporter {
  public:
    void printSummary() const override {
        std::printf("\nCPU per picture of the whole process, median of 5 runs of %d pictures:\n", kFrames);
        for (const char* size : {"720/1600", "1080/2400"}) {
            const double bare = time(std::string("BM_BareDecode/") + size);
            const double decode = time(std::string("BM_DecodeConvert/") + size);
            const double paint = time(std::string("BM_DecodeConvertPaint/") + size);
            if (bare <= 0) continue;
            std::printf("  %-9s bare decode %.2f ms\n", size, bare);
            std::printf("            feeder + decode + conversion to the view %.2f ms: %.2fx (limit %.2fx)\n",
                        decode, decode / bare, kDecodeLimit);
            std::printf("            and the hop to the GUI and the paint     %.2f ms: %.2fx (limit %.2fx)\n",
                        paint, paint / bare, kPaintLimit);
        }
    }
};

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return velmora::runBenchmarks<velmora::Summary>(argc, argv);
}
