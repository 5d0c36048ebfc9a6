// Connect-to-connected through the whole application model (automatic road, a known phone on the cable,
// loopback TCP to the simulated phone), beside the bare opening of a session measured in the same run.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "core/channel/secure_channel.h"
#include "core/session/link_session.h"
#include "median_reporter.h"
#include "support/model_harness.h"
#include "support/session_harness.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// From the cable phone's appearance to the published connected state: planning, the attempt's thread, TCP
// connect, hellos, both auths, "caps", and the hop back to main.
void BM_ModelConnect(benchmark::State& state) {
    for (auto _ : state) {
        test::ModelHarness h;
        h.pairBothSides();
        AppModel& model = h.start();
        const auto start = Clock::now();
        h.plugInCable();
        const bool ok = h.pumpUntil([&] { return model.state().state.kind() == ConnState::Kind::connected; });
        const auto end = Clock::now();
        if (!ok) {
            state.SkipWithError("no connection");
            break;
        }
        state.SetIterationTime(seconds(start, end));
        model.shutdown();
    }
}
BENCHMARK(BM_ModelConnect)->UseManualTime()->Unit(benchmark::kMicrosecond)->Repetitions(3);

// The same opening without the model: TCP connect to the phone and LinkSession::open.
void BM_BareOpening(benchmark::State& state) {
    SimulatedPhone phone;
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
    store.put(peerOf(phone));
    phone.remember(computer.id());
    for (auto _ : state) {
        test::LoopbackListener listener;
        const auto start = Clock::now();
        auto transport = std::make_shared<TcpTransport>("127.0.0.1", listener.port());
        transport->connect(60);
        auto served = phone.serveAsync(std::make_shared<TcpTransport>(listener.accept()));
        auto session = LinkSession::open(SecureChannel::connectAsClient(transport), computer, store,
                                         std::nullopt, false, nullptr);
        const auto end = Clock::now();
        state.SetIterationTime(seconds(start, end));
        session->close();
        transport->close();
        served.get();
    }
}
BENCHMARK(BM_BareOpening)->UseManualTime()->Unit(benchmark::kMicrosecond)->Repetitions(3);

class ModelReporter : public MedianReporter {
  public:
    void printSummary() const override {
        const double model = time("BM_ModelConnect/");
        const double bare = time("BM_BareOpening/");
        std::printf("\nConnect to connected on loopback: through the model %.0f us, bare opening %.0f us",
                    model, bare);
        if (bare > 0) std::printf(" (the model adds %.0f%%)", 100 * (model - bare) / bare);
        std::printf("\n");
    }
};

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    return velmora::runBenchmarks<velmora::ModelReporter>(argc, argv);
}
