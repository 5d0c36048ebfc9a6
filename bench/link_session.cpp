// The cost of opening a session with a known phone and of a control-message round trip, over loopback
// TCP against the simulated phone, beside the raw P-256 operations the opening is made of.

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "core/channel/secure_channel.h"
#include "core/crypto/cxp_crypto.h"
#include "core/crypto/p256_private_key.h"
#include "core/session/link_session.h"
#include "median_reporter.h"
#include "support/session_harness.h"

namespace velmora {
namespace {

// A phone the computer already knows, and a computer the phone already knows: the "ready" road.
struct KnownPair {
    KnownPair() {
        store.put(peerOf(phone));
        phone.remember(computer.id());
    }
    SimulatedPhone phone;
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
};

const LinkSession::Prompt kNoPrompt = [](const Peer&, const std::string&) { return false; };

// Hellos, key agreement, both signed "auth" messages and "ready", timed from the computer's side; the TCP
// connect is outside the measured time.
void BM_OpenKnownSession(benchmark::State& state) {
    KnownPair pair;
    const auto link = static_cast<LinkKind>(state.range(0));
    for (auto _ : state) {
        LinkEnds ends = makeLink(link);
        auto phoneSide = pair.phone.serveAsync(ends.phone);
        const auto start = std::chrono::steady_clock::now();
        auto session = LinkSession::open(SecureChannel::connectAsClient(ends.computer), pair.computer,
                                         pair.store, std::nullopt, false, kNoPrompt);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        session->close();
        phoneSide.get();
    }
    state.SetLabel(linkName(link));
}
BENCHMARK(BM_OpenKnownSession)
    ->Arg(static_cast<int>(LinkKind::loopbackTcp))
    ->Arg(static_cast<int>(LinkKind::socketPair))
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(3);

// The P-256 work of one opening, both sides: two ephemeral keys, two agreements, two signatures and two
// checks. The difference to BM_OpenKnownSession is framing, sealing, JSON and the loopback round trips.
void BM_OpenP256Work(benchmark::State& state) {
    const P256PrivateKey computerKey = P256PrivateKey::generate();
    const P256PrivateKey phoneKey = P256PrivateKey::generate();
    const Bytes transcript(32, 0x11);
    for (auto _ : state) {
        const P256PrivateKey a = P256PrivateKey::generate();
        const P256PrivateKey b = P256PrivateKey::generate();
        benchmark::DoNotOptimize(CXPCrypto::ecdh(a, b.publicX963()));
        benchmark::DoNotOptimize(CXPCrypto::ecdh(b, a.publicX963()));
        const Bytes phoneSig = phoneKey.sign(transcript);
        const Bytes computerSig = computerKey.sign(transcript);
        benchmark::DoNotOptimize(CXPCrypto::verify(phoneKey.publicX963(), transcript, phoneSig));
        benchmark::DoNotOptimize(CXPCrypto::verify(computerKey.publicX963(), transcript, computerSig));
    }
}
// Medians of three runs throughout, so that a burst of other work on the machine does not decide a ratio.
BENCHMARK(BM_OpenP256Work)->Unit(benchmark::kMicrosecond)->Repetitions(3);

void BM_P256Generate(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(P256PrivateKey::generate());
}
BENCHMARK(BM_P256Generate)->Unit(benchmark::kMicrosecond)->Repetitions(3);

void BM_P256Ecdh(benchmark::State& state) {
    const P256PrivateKey own = P256PrivateKey::generate();
    const Bytes peer = P256PrivateKey::generate().publicX963();
    for (auto _ : state)
        benchmark::DoNotOptimize(CXPCrypto::ecdh(own, peer));
}
BENCHMARK(BM_P256Ecdh)->Unit(benchmark::kMicrosecond)->Repetitions(3);

void BM_P256Sign(benchmark::State& state) {
    const P256PrivateKey key = P256PrivateKey::generate();
    const Bytes message = LinkSession::authSignedBytes(LinkSession::roleComputer, Bytes(32, 0x22));
    for (auto _ : state)
        benchmark::DoNotOptimize(key.sign(message));
}
BENCHMARK(BM_P256Sign)->Unit(benchmark::kMicrosecond)->Repetitions(3);

void BM_P256Verify(benchmark::State& state) {
    const P256PrivateKey key = P256PrivateKey::generate();
    const Bytes message = LinkSession::authSignedBytes(LinkSession::rolePhone, Bytes(32, 0x22));
    const Bytes signature = key.sign(message);
    for (auto _ : state)
        benchmark::DoNotOptimize(CXPCrypto::verify(key.publicX963(), message, signature));
}
BENCHMARK(BM_P256Verify)->Unit(benchmark::kMicrosecond)->Repetitions(3);

// Counts the phone's pongs; the benchmark thread waits for each one.
class PongCounter : public SessionDelegate {
  public:
    void didReceiveControl(LinkSession&, const nlohmann::json&) override {
        {
            std::lock_guard lock(mutex_);
            ++pongs_;
        }
        arrived_.notify_one();
    }
    void didReceiveVideo(LinkSession&, ByteView) override {}
    void didReceiveFile(LinkSession&, ByteView) override {}
    void sessionDidClose(LinkSession&, std::exception_ptr) override {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        arrived_.notify_one();
    }
    // False when the session ended first.
    bool waitFor(long count) {
        std::unique_lock lock(mutex_);
        arrived_.wait(lock, [&] { return pongs_ >= count || closed_; });
        return pongs_ >= count;
    }

  private:
    std::mutex mutex_;  // guards pongs_ and closed_
    std::condition_variable arrived_;
    long pongs_ = 0;
    bool closed_ = false;
};

// A "ping" sent by the computer and the phone's "pong" back through the receive loop.
void BM_ControlRoundTrip(benchmark::State& state) {
    KnownPair pair;
    const auto link = static_cast<LinkKind>(state.range(0));
    LinkEnds ends = makeLink(link);
    auto phoneSide = pair.phone.serveAsync(ends.phone);
    auto session = LinkSession::open(SecureChannel::connectAsClient(ends.computer), pair.computer, pair.store,
                                     std::nullopt, false, kNoPrompt);
    PongCounter pongs;
    std::thread loop([&] { session->run(pongs); });
    long sent = 0;
    for (auto _ : state) {
        session->sendControl({{"t", "ping"}, {"seq", ++sent}});
        if (!pongs.waitFor(sent)) {
            state.SkipWithError("the session ended");
            break;
        }
    }
    session->close();
    loop.join();
    phoneSide.get();
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(linkName(link));
}
// Wall-clock time, so that round trips per second count the waiting too.
BENCHMARK(BM_ControlRoundTrip)
    ->Arg(static_cast<int>(LinkKind::loopbackTcp))
    ->Arg(static_cast<int>(LinkKind::socketPair))
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(3);

// Prints the opening beside its P-256 floor after the table.
class OpeningReporter : public MedianReporter {
  public:
    void printSummary() const override {
        const double tcp = time("BM_OpenKnownSession/" + arg(LinkKind::loopbackTcp));
        const double pair = time("BM_OpenKnownSession/" + arg(LinkKind::socketPair));
        const double work = time("BM_OpenP256Work/");
        std::printf("\nOpening a session with a known phone (hellos, both auths, ready), computer's wait:\n");
        std::printf("  loopback TCP %.0f us, socketpair %.0f us\n", tcp, pair);
        if (work > 0 && tcp > 0) {
            std::printf("  P-256 work of one opening, both sides: %.0f us = %.0f%% of the loopback opening\n",
                        work, 100 * work / tcp);
        }
        std::printf("  one of each: key pair %.1f us, agreement %.1f us, signature %.1f us, check %.1f us\n",
                    time("BM_P256Generate/"), time("BM_P256Ecdh/"), time("BM_P256Sign/"),
                    time("BM_P256Verify/"));
        std::printf("Control-message round trips: loopback TCP %.0f/s, socketpair %.0f/s\n",
                    counter("BM_ControlRoundTrip/" + arg(LinkKind::loopbackTcp), "items_per_second"),
                    counter("BM_ControlRoundTrip/" + arg(LinkKind::socketPair), "items_per_second"));
    }

  private:
    static std::string arg(LinkKind kind) { return std::to_string(static_cast<int>(kind)); }
};

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    return velmora::runBenchmarks<velmora::OpeningReporter>(argc, argv);
}
