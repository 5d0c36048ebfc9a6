// Connect-to-connected through the whole application model (automatic road, a known phone on the cable,
// loopback TCP to the simulated phone), beside the bare opening of a session measured in the same run: the
// model's own overhead is their ratio, printed beside its limit.
//
// The model's main executor here wakes the instant a worker posts (a condition variable), so what is timed
// is the model's work and its thread hops, not a test harness's polling.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>

#include "core/channel/secure_channel.h"
#include "core/exec/manual_executor.h"
#include "core/session/link_session.h"
#include "median_reporter.h"
#include "support/model_harness.h"
#include "support/session_harness.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kOverheadLimit = 1.2;  // connecting through the model at most 1.2 times the bare opening

double seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// The model's main thread for the benchmark: tasks run on the thread in runUntil(), which sleeps until a
// post arrives and runs it at once. The clock stands still (no timer is due while connecting).
class WakingExecutor final : public Executor {
  public:
    void post(Task task) override {
        inner_.post(std::move(task));
        notify();
    }
    TimerHandle postAfter(double delaySeconds, Task task) override {
        auto handle = inner_.postAfter(delaySeconds, std::move(task));
        notify();
        return handle;
    }
    double now() const override { return inner_.now(); }
    // Runs what is posted until `done`; false when nothing came for a minute.
    bool runUntil(const std::function<bool()>& done) {
        for (;;) {
            std::uint64_t seen = 0;
            {
                std::lock_guard lock(mutex_);
                seen = posts_;
            }
            inner_.runPending();
            if (done()) return true;
            std::unique_lock lock(mutex_);
            if (!posted_.wait_for(lock, std::chrono::minutes(1), [&] { return posts_ != seen; }))
                return false;
        }
    }

    // Runs what is posted until nothing more comes for a while: the start-up's own work (the gateway read,
    // the sources starting) is over before the timing begins.
    void settle() {
        for (;;) {
            std::uint64_t seen = 0;
            {
                std::lock_guard lock(mutex_);
                seen = posts_;
            }
            inner_.runPending();
            std::unique_lock lock(mutex_);
            if (!posted_.wait_for(lock, std::chrono::milliseconds(100), [&] { return posts_ != seen; }))
                return;
        }
    }

  private:
    void notify() {
        {
            std::lock_guard lock(mutex_);
            ++posts_;
        }
        posted_.notify_one();
    }
    ManualExecutor inner_;
    std::mutex mutex_;  // guards posts_
    std::condition_variable posted_;
    std::uint64_t posts_ = 0;
};

// From the cable phone's appearance to the published connected state: planning, the attempt's thread, TCP
// connect, hellos, both auths, "caps", and the hop back to main. Absent when it did not connect.
std::optional<double> modelConnect() {
    test::ModelHarness h;
    h.pairBothSides();
    h.settings->setValue("usbKnown", nlohmann::json::array({"R58N123"}));
    const auto main = std::make_shared<WakingExecutor>();
    ModelPorts ports = h.ports();
    ports.main = main;
    h.model = AppModel::create(std::move(ports), false);
    AppModel& model = *h.model;
    main->settle();
    DiscoveredPhone cable;
    cable.id = "usb:R58N123";
    cable.name = "Nimbo 7";
    cable.endpoint = TcpEndpoint{"127.0.0.1", 40001};
    const auto start = Clock::now();
    h.usb->publish({cable});
    const bool ok = main->runUntil([&] { return model.state().state.kind() == ConnState::Kind::connected; });
    const auto end = Clock::now();
    model.shutdown();
    return ok ? std::optional(seconds(start, end)) : std::nullopt;
}

// The same opening without the model, built as any connecting program must be: the same harness, phone and
// peer store, TCP connect and LinkSession::open on a thread of their own, and the result handed back to the
// waking main thread. What the model adds over this (planning, its attempt machinery, the published
// state) is its overhead.
std::optional<double> bareOpening() {
    test::ModelHarness h;
    h.pairBothSides();
    FilePeerStore store(h.dir.path() / "peers.json");
    const auto main = std::make_shared<WakingExecutor>();
    std::shared_ptr<LinkSession> session;
    std::shared_ptr<TcpTransport> transport;
    bool opened = false;
    const auto start = Clock::now();
    std::thread attempt([&] {
        transport = std::make_shared<TcpTransport>("127.0.0.1", h.transports->port.load());
        transport->connect(60);
        std::shared_ptr<LinkSession> made = LinkSession::open(
            SecureChannel::connectAsClient(transport), h.computer, store, std::nullopt, false, nullptr);
        main->post([&, made] { session = made, opened = true; });
    });
    const bool ok = main->runUntil([&] { return opened; });
    const auto end = Clock::now();
    attempt.join();
    if (session) session->close();
    if (transport) transport->close();
    return ok ? std::optional(seconds(start, end)) : std::nullopt;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::ranges::sort(values);
    return values[values.size() / 2];
}

// The two in turns, so that both meet the same load on a shared machine; each counter is the median of its
// kind, and the iteration's time is the pair's.
void BM_ModelOverhead(benchmark::State& state) {
    std::vector<double> model, bare;
    for (auto _ : state) {
        const auto m = modelConnect();
        const auto b = bareOpening();
        if (!m || !b) {
            state.SkipWithError("no connection");
            break;
        }
        model.push_back(*m), bare.push_back(*b);
        state.SetIterationTime(*m + *b);
    }
    state.counters["model_us"] = median(model) * 1e6;
    state.counters["bare_us"] = median(bare) * 1e6;
}
BENCHMARK(BM_ModelOverhead)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(60);

class ModelReporter : public MedianReporter {
  public:
    void printSummary() const override {
        const double model = counter("BM_ModelOverhead/", "model_us");
        const double bare = counter("BM_ModelOverhead/", "bare_us");
        std::printf(
            "\nConnect to connected on loopback (medians): through the model %.0f us, bare opening %.0f us\n",
            model, bare);
        if (bare <= 0 || model <= 0) return;
        const double ratio = model / bare;
        std::printf("model overhead: %.2fx the bare opening (limit %.2fx): %s\n", ratio, kOverheadLimit,
                    ratio <= kOverheadLimit ? "within" : "OVER");
    }
};

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    return velmora::runBenchmarks<velmora::ModelReporter>(argc, argv);
}
