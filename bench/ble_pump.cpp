// Throughput of the L2CAP stream pump over a SEQPACKET socketpair, beside a bare blocking copy loop over the
// same kind of socket in the same run: the pump's thread, buffers and back-pressure should cost little.

#include <benchmark/benchmark.h>
#include <sys/socket.h>

#include <cstdio>
#include <thread>

#include "app/links/ble/l2cap_pump.h"
#include "median_reporter.h"

namespace velmora {
namespace {

constexpr std::size_t kTotal = 32 << 20;  // bytes per iteration
constexpr std::size_t kWrite = 65536;     // what the record layer hands over at once, at most
constexpr std::size_t kPacket = 8192;

std::pair<UniqueFd, UniqueFd> seqpacketPair() {
    int fds[2] = {-1, -1};
    ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds);
    return {UniqueFd(fds[0]), UniqueFd(fds[1])};
}

// Reads packets from `fd` until `total` bytes came.
void drainPeer(int fd, std::size_t total) {
    Bytes packet(65536);
    for (std::size_t got = 0; got < total;) {
        const ssize_t n = ::recv(fd, packet.data(), packet.size(), 0);
        if (n <= 0) return;
        got += static_cast<std::size_t>(n);
    }
}

void BM_PumpSend(benchmark::State& state) {
    const Bytes block(kWrite, 0x5a);
    for (auto _ : state) {
        auto [ours, peer] = seqpacketPair();
        auto pump = std::make_shared<L2capPump>(std::move(ours));
        pump->start();
        std::thread reader([fd = peer.get()] { drainPeer(fd, kTotal); });
        for (std::size_t sent = 0; sent < kTotal; sent += kWrite)
            pump->write(block);
        reader.join();
        pump->close(nullptr);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_PumpSend)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(3);

// The floor: the same bytes as blocking sends of 8192-byte packets from the caller's own thread.
void BM_BareCopy(benchmark::State& state) {
    const Bytes block(kPacket, 0x5a);
    for (auto _ : state) {
        auto [ours, peer] = seqpacketPair();
        std::thread reader([fd = peer.get()] { drainPeer(fd, kTotal); });
        for (std::size_t sent = 0; sent < kTotal; sent += kPacket)
            ::send(ours.get(), block.data(), block.size(), MSG_NOSIGNAL);
        reader.join();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_BareCopy)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(3);

class PumpReporter : public MedianReporter {
  public:
    void printSummary() const override {
        const double pump = counter("BM_PumpSend/", "bytes_per_second");
        const double bare = counter("BM_BareCopy/", "bytes_per_second");
        if (pump <= 0 || bare <= 0) return;
        std::printf(
            "\nL2CAP pump over a SEQPACKET socketpair: %.0f MB/s, bare copy loop %.0f MB/s, ratio %.2f "
            "(limit: at least 0.70)\n",
            pump / 1e6, bare / 1e6, pump / bare);
    }
};

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    return velmora::runBenchmarks<velmora::PumpReporter>(argc, argv);
}
