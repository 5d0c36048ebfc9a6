#include "support/companion/mirror_stream.h"

#include <chrono>
#include <cmath>
#include <numbers>
#include <vector>

#include "support/companion/h264_encoder.h"
#include "support/companion/test_picture.h"

namespace velmora::companion {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kAudioPacketMs = 20;
constexpr double kToneHz = 440.0;

void putTime(Bytes& out, std::int64_t ptsUs) {
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(ptsUs) >> shift));
}

}  // namespace

Bytes videoPacket(bool key, std::int64_t ptsUs, ByteView annexB) {
    Bytes out;
    out.reserve(9 + annexB.size());
    out.push_back(key ? 1 : 2);
    putTime(out, ptsUs);
    out.insert(out.end(), annexB.begin(), annexB.end());
    return out;
}

Bytes audioPacket(std::int64_t ptsUs, const std::int16_t* samples, std::size_t count) {
    Bytes out;
    out.reserve(8 + count * 2);
    putTime(out, ptsUs);
    for (std::size_t i = 0; i < count; ++i) {
        const auto s = static_cast<std::uint16_t>(samples[i]);
        out.push_back(static_cast<std::uint8_t>(s & 0xFF));
        out.push_back(static_cast<std::uint8_t>(s >> 8));
    }
    return out;
}

struct MirrorStream::Encoding {
    H264Encoder encoder;
    Yuv420 picture;
    Encoding(const MirrorParams& p)
        : encoder(p.width, p.height, p.fps, p.bitrate), picture(p.width, p.height) {}
};

void MirrorStream::start(std::shared_ptr<PhoneLink> link, const MirrorParams& params) {
    std::lock_guard control(controlMutex_);
    stopLocked();
    auto encoding = std::make_shared<Encoding>(params);  // throws before any thread exists
    std::lock_guard lock(mutex_);
    stopping_ = false;
    encoderName_ = encoding->encoder.name();
    keyWanted_.store(true);
    running_.store(true);
    thread_ = std::thread([this, link = std::move(link), params, encoding] { run(link, params, encoding); });
}

void MirrorStream::stop() {
    std::lock_guard control(controlMutex_);
    stopLocked();
}

void MirrorStream::stopLocked() {
    std::thread ending;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        ending = std::move(thread_);
    }
    wake_.notify_all();
    if (ending.joinable()) ending.join();
    running_.store(false);
}

bool MirrorStream::running() const {
    return running_.load();
}

MirrorStats MirrorStream::stats() const {
    std::lock_guard lock(mutex_);
    return {frames_.load(), keyFrames_.load(), audioPackets_.load(),
            ticks_.load(),  running_.load(),   encoderName_};
}

void MirrorStream::run(std::shared_ptr<PhoneLink> link, MirrorParams params,
                       std::shared_ptr<Encoding> encoding) {
    struct Ended {
        std::atomic<bool>& running;
        ~Ended() { running.store(false); }
    } ended{running_};
    const auto begin = Clock::now();
    const auto period = std::chrono::microseconds(1000000 / std::max(1, params.fps));
    std::uint64_t frame = 0;
    std::int64_t audioFramesSent = 0;
    double phase = 0;
    std::vector<std::int16_t> samples;
    for (auto next = begin + period;; next += period) {
        {
            std::unique_lock lock(mutex_);
            if (wake_.wait_until(lock, next, [&] { return stopping_; })) break;
        }
        const auto elapsedUs =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begin).count();
        if (Clock::now() - next > period * 4) next = Clock::now();  // a slow machine skips, never bursts
        ticks_.fetch_add(1);
        if (stalled_.load()) {
            if (params.audio) audioFramesSent = elapsedUs * params.audio->rate / 1000000;
            continue;
        }
        drawTestPicture(encoding->picture, frame, static_cast<std::uint64_t>(elapsedUs / 1000));
        const bool key = keyWanted_.exchange(false);
        for (const EncodedPicture& out : encoding->encoder.encode(encoding->picture, key, elapsedUs)) {
            if (!link->send(Ch::video, videoPacket(out.key, out.ptsUs, out.annexB))) return;
            frames_.fetch_add(1);
            if (out.key) keyFrames_.fetch_add(1);
        }
        ++frame;
        if (!params.audio) continue;
        const AudioFormat a = *params.audio;
        const std::int64_t perPacket = a.rate * kAudioPacketMs / 1000;
        while ((audioFramesSent + perPacket) * 1000000 <= elapsedUs * a.rate) {
            samples.resize(static_cast<std::size_t>(perPacket * a.channels));
            for (std::int64_t f = 0; f < perPacket; ++f) {
                const auto s = static_cast<std::int16_t>(std::sin(phase) * 6000);
                phase += 2 * std::numbers::pi * kToneHz / a.rate;
                for (int c = 0; c < a.channels; ++c)
                    samples[static_cast<std::size_t>(f * a.channels + c)] = s;
            }
            phase = std::fmod(phase, 2 * std::numbers::pi);
            const std::int64_t pts = audioFramesSent * 1000000 / a.rate;
            if (!link->send(Ch::audio, audioPacket(pts, samples.data(), samples.size()))) return;
            audioPackets_.fetch_add(1);
            audioFramesSent += perPacket;
        }
    }
}

}  // namespace velmora::companion
