// Throughput of the record layer against the two raw costs it is made of, and the time of a handshake, all on
// loopback in one run. The channel's figure is printed as a ratio of the slower raw one.

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>

#include "core/channel/secure_channel.h"
#include "core/crypto/cxp_crypto.h"
#include "core/transport/tcp_transport.h"
#include "median_reporter.h"
#include "tests/core/loopback.h"

namespace velmora {
namespace {

// Every throughput iteration moves one batch of this many bytes, so the work in flight is the same for each
// payload size and the hand-over at the end of a batch costs nothing measurable.
constexpr std::size_t batchBytes = 32 * 1024 * 1024;

std::size_t recordsPerBatch(std::size_t payload) {
    return batchBytes / payload;
}

// A connected loopback TCP pair of transports.
struct LoopbackPair {
    test::LoopbackListener listener;
    std::shared_ptr<TcpTransport> client = std::make_shared<TcpTransport>("127.0.0.1", listener.port());
    std::shared_ptr<TcpTransport> server;
    LoopbackPair() {
        client->connect(5);
        server = std::make_shared<TcpTransport>(listener.accept());
    }
};

// A thread that runs one receiving batch on request, so the sender can time whole batches end to end.
class BatchReceiver {
  public:
    explicit BatchReceiver(std::function<void()> receiveOne) : receiveOne_(std::move(receiveOne)) {}
    ~BatchReceiver() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void start(std::size_t count) {
        std::lock_guard lock(mutex_);
        pending_ = count;
        cv_.notify_all();
    }
    void waitDone() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return pending_ == 0; });
    }

  private:
    void run() {
        for (;;) {
            std::size_t count;
            {
                std::unique_lock lock(mutex_);
                cv_.wait(lock, [&] { return stop_ || pending_ > 0; });
                if (stop_) return;
                count = pending_;
            }
            for (std::size_t i = 0; i < count; ++i)
                receiveOne_();
            {
                std::lock_guard lock(mutex_);
                pending_ = 0;
            }
            cv_.notify_all();
        }
    }

    std::function<void()> receiveOne_;
    std::mutex mutex_;  // guards pending_, stop_
    std::condition_variable cv_;
    std::size_t pending_ = 0;
    bool stop_ = false;
    std::thread thread_{[this] { run(); }};
};

void RawSeal(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const Bytes key = CXPCrypto::randomBytes(32);
    const Bytes plaintext(size + 1, 0x5a);  // the channel byte and the payload, as a record seals them
    std::uint64_t counter = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < recordsPerBatch(size); ++i) {
            Bytes sealed = CXPCrypto::seal(key, SecureChannel::recordNonce(counter++), plaintext);
            benchmark::DoNotOptimize(sealed.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * recordsPerBatch(size) * size));
}

void RawTcp(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    LoopbackPair pair;
    const Bytes payload(size, 0x5a);
    BatchReceiver receiver([&] { benchmark::DoNotOptimize(pair.server->readExactly(size).data()); });
    for (auto _ : state) {
        receiver.start(recordsPerBatch(size));
        for (std::size_t i = 0; i < recordsPerBatch(size); ++i)
            pair.client->write(payload);
        receiver.waitDone();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * recordsPerBatch(size) * size));
}

struct ChannelPair {
    LoopbackPair pair;
    std::unique_ptr<SecureChannel> client;
    std::unique_ptr<SecureChannel> server;
    ChannelPair() {
        std::thread accept([&] { server = SecureChannel::acceptAsServer(pair.server); });
        client = SecureChannel::connectAsClient(pair.client);
        accept.join();
        client->setPreAuth(false);
        server->setPreAuth(false);
    }
};

void Channel(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    ChannelPair channels;
    const Bytes payload(size, 0x5a);
    // One frame for every record, as the session's receive loop keeps.
    Frame frame;
    BatchReceiver receiver([&] {
        channels.server->receive(frame);
        benchmark::DoNotOptimize(frame.payload.data());
    });
    for (auto _ : state) {
        receiver.start(recordsPerBatch(size));
        for (std::size_t i = 0; i < recordsPerBatch(size); ++i)
            channels.client->send(Ch::video, payload);
        receiver.waitDone();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * recordsPerBatch(size) * size));
}

// The computer's side of a whole handshake: TCP connect, both hellos, agreement and key schedule. The
// responder runs on its own thread, as the phone would.
void Handshake(benchmark::State& state) {
    test::LoopbackListener listener;
    std::atomic<bool> stop{false};
    std::thread responder([&] {
        while (!stop.load()) {
            auto transport = std::make_shared<TcpTransport>(listener.accept());
            try {
                benchmark::DoNotOptimize(SecureChannel::acceptAsServer(transport).get());
            } catch (const std::exception&) {
                // The last, empty connection that ends the loop.
            }
        }
    });
    for (auto _ : state) {
        auto transport = std::make_shared<TcpTransport>("127.0.0.1", listener.port());
        transport->connect(5);
        benchmark::DoNotOptimize(SecureChannel::connectAsClient(transport).get());
    }
    stop.store(true);
    {
        TcpTransport wake("127.0.0.1", listener.port());
        wake.connect(5);
    }
    responder.join();
}

constexpr std::int64_t kib64 = 64 * 1024;
constexpr std::int64_t mib1 = 1024 * 1024;

// Medians of three runs, so that a burst of other work on the machine does not decide a ratio.
BENCHMARK(RawSeal)->Arg(kib64)->Arg(mib1)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(RawTcp)->Arg(kib64)->Arg(mib1)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(Channel)->Arg(kib64)->Arg(mib1)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(3);
BENCHMARK(Handshake)->UseRealTime()->Unit(benchmark::kMicrosecond)->Repetitions(3);

// Prints the ratios after the table.
class RatioReporter : public MedianReporter {
  public:
    void printSummary() const override {
        std::printf(
            "\nSecureChannel send->receive throughput / slower of (AES-256-GCM seal, loopback TCP):\n");
        for (const char* size : {"65536", "1048576"}) {
            const double seal = throughput("RawSeal", size), tcp = throughput("RawTcp", size),
                         channel = throughput("Channel", size);
            if (seal <= 0 || tcp <= 0 || channel <= 0) continue;
            const double slower = std::min(seal, tcp);
            std::printf(
                "  %7s-byte payloads: channel %7.0f MiB/s, seal %7.0f MiB/s, tcp %7.0f MiB/s -> ratio "
                "%.2f%s\n",
                size, channel / mib1, seal / mib1, tcp / mib1, channel / slower,
                std::string(size) == "1048576" ? " (limit at least 0.70)" : "");
        }
        const double handshakeMicros = time("Handshake/");
        if (handshakeMicros > 0) {
            std::printf("Whole handshake on loopback (TCP connect, hellos, agreement, keys): %.0f us\n",
                        handshakeMicros);
        }
    }

  private:
    double throughput(const std::string& name, const std::string& size) const {
        return counter(name + "/" + size, "bytes_per_second");
    }
};

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
    return velmora::runBenchmarks<velmora::RatioReporter>(argc, argv);
}
