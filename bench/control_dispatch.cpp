// The phone's control messages read and dispatched by the model (typed reading, the receive thread's work
// and main's share of it), beside bare JSON parsing of the same messages in the same run. The dispatch's
// figure is printed as a ratio of the bare parse, with its limit.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "core/protocol/control_json.h"
#include "median_reporter.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

constexpr double kLimit = 1.30;  // the dispatch may add under 30 % to the parse

double wallMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A session's usual traffic as it comes off the wire: mostly small messages, some speed-test chunks. The
// control pause is only ever asked for again (a change would write a log line each time, as would "caps").
std::vector<std::string> messages() {
    const std::vector<nlohmann::json> mix{
        {{"t", "status"}, {"battery", 71}, {"charging", true}, {"screen", true}, {"fast", false}},
        {{"t", "pong"}, {"ts", wallMs() - 5}},
        {{"t", "bench.chunk"}, {"d", std::string(4096, 'Q')}},
        {{"t", "input.paused"}},
        {{"t", "net.offer"}, {"port", 47625}, {"addrs", {{{"ip", "192.168.1.20"}}, {{"ip", "10.0.0.4"}}}}},
        {{"t", "apps"},
         {"apps",
          {{{"pkg", "com.example.mail"}, {"name", "Mail"}},
           {{"pkg", "com.example.chat"}, {"name", "Chat"}}}}},
        {{"t", "notif.remove"}, {"key", "0|com.example.chat|42|null|10123"}},
        {{"t", "file.done"}, {"tid", 12}, {"ok", true}},
        {{"t", "mirror.stopped"}},
        {{"t", "foo"}, {"x", 1}},
    };
    std::vector<std::string> out;
    for (const auto& m : mix)
        out.push_back(m.dump());
    return out;
}

// This thread's CPU time in seconds: the work of one core, whatever else the machine runs.
double cpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Each iteration parses the batch bare, then parses and dispatches it on this thread as the receive loop
// would and runs what was posted to main; alternating, so both see the same machine.
void BM_DispatchBesideParse(benchmark::State& state) {
    test::ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    if (!h.pumpUntil([&] { return model.liveSession() != nullptr; })) {
        state.SkipWithError("no session");
        return;
    }
    const auto session = model.liveSession();
    const auto reports = model.reportsFor(session);
    const auto wire = messages();
    double bare = 0, dispatched = 0;
    for (auto _ : state) {
        const double t0 = cpuSeconds();
        for (const std::string& text : wire)
            benchmark::DoNotOptimize(nlohmann::json::parse(text));
        const double t1 = cpuSeconds();
        for (const std::string& text : wire)
            reports->didReceiveControl(*session, nlohmann::json::parse(text));
        h.exec->runPending();
        dispatched += cpuSeconds() - t1;
        bare += t1 - t0;
    }
    const auto count = static_cast<double>(state.iterations() * wire.size());
    state.counters["bare_per_s"] = count / bare;
    state.counters["dispatched_per_s"] = count / dispatched;
    model.shutdown();
}

BENCHMARK(BM_DispatchBesideParse)->Unit(benchmark::kMicrosecond)->Repetitions(5);

class RatioReporter : public MedianReporter {
  public:
    void printSummary() const override {
        const double bare = counter("BM_DispatchBesideParse/", "bare_per_s");
        const double dispatched = counter("BM_DispatchBesideParse/", "dispatched_per_s");
        if (bare <= 0 || dispatched <= 0) return;
        std::printf(
            "\nControl messages per second on one core: parsed and dispatched %.0f, bare JSON parse %.0f\n",
            dispatched, bare);
        std::printf("  time of dispatch / time of bare parse: %.2f (limit %.2f)\n", bare / dispatched,
                    kLimit);
    }
};

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    return velmora::runBenchmarks<velmora::RatioReporter>(argc, argv);
}
