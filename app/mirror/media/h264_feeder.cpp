#include "app/mirror/media/h264_feeder.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "app/mirror/media/annex_b.h"

namespace velmora {
namespace {

constexpr std::size_t kHeaderSize = 9;  // flag and presentation time
constexpr int kIdr = 5, kSei = 6, kSps = 7, kPps = 8, kDelimiter = 9;

std::int64_t readPts(ByteView packet) {
    std::uint64_t pts = 0;
    for (std::size_t i = 1; i < kHeaderSize; ++i)
        pts = (pts << 8) | packet[i];
    return static_cast<std::int64_t>(pts);
}

// One allocation, one copy of each unit.
Bytes avccSample(const std::vector<ByteView>& units) {
    std::size_t size = 0;
    for (const ByteView unit : units)
        size += 4 + unit.size();
    Bytes sample;
    sample.reserve(size);
    for (const ByteView unit : units) {
        const auto n = static_cast<std::uint32_t>(unit.size());
        sample.insert(sample.end(), {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                                     static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
        sample.insert(sample.end(), unit.begin(), unit.end());
    }
    return sample;
}

}  // namespace

H264Feeder::H264Feeder(VideoSink& sink, const Clock& clock)
    : sink_(sink), clock_(clock), statSince_(clock.now()) {}

void H264Feeder::feed(ByteView packet) {
    if (packet.size() < kHeaderSize + 1) return;
    const std::uint8_t flag = packet[0];
    const std::vector<ByteView> units = AnnexB::split(packet.subspan(kHeaderSize));
    bool askKeyframe = false;
    {
        std::lock_guard guard(lock_);
        statBytes_ += static_cast<std::int64_t>(packet.size());
        if (flag != 0) ++statFrames_;

        bool newSets = false;
        std::vector<ByteView> frames;
        for (const ByteView unit : units) {
            const int type = AnnexB::nalType(unit);
            if (type == kSei || type == kDelimiter) continue;
            if (type == kSps || type == kPps) {
                (type == kSps ? sps_ : pps_) = Bytes(unit.begin(), unit.end());
                newSets = true;
                continue;
            }
            frames.push_back(unit);
        }
        if (newSets && sps_ && pps_) updateFormat(*sps_, *pps_);
        if (!format_ || frames.empty()) return;

        const bool key = flag == 1 || std::any_of(frames.begin(), frames.end(),
                                                  [](ByteView u) { return AnnexB::nalType(u) == kIdr; });
        if (key) waitingKey_ = false;
        if (waitingKey_) return;
        if (!sink_.enqueue({avccSample(frames), readPts(packet), key, format_})) {
            // The sink failed to decode or fell behind and dropped what it held: nothing but a key frame
            // helps now, so stop feeding until one comes and ask the phone for it.
            waitingKey_ = true;
            askKeyframe = true;
        }
    }
    if (askKeyframe && onNeedKeyframe) onNeedKeyframe();
}

void H264Feeder::updateFormat(Bytes sps, Bytes pps) {
    if (format_ && format_->sps == sps && format_->pps == pps) return;
    auto candidate = std::make_shared<const H264Format>(H264Format{std::move(sps), std::move(pps)});
    if (!sink_.accepts(*candidate)) return;
    format_ = std::move(candidate);
    waitingKey_ = true;
}

void H264Feeder::reset() {
    {
        std::lock_guard guard(lock_);
        sps_.reset();
        pps_.reset();
        format_.reset();
        waitingKey_ = true;
        shownFirst_ = false;
    }
    sink_.clear();
}

H264Feeder::Stats H264Feeder::takeStats() {
    std::lock_guard guard(lock_);
    const double now = clock_.now();
    const double elapsed = std::max(now - statSince_, 0.001);
    const Stats stats{static_cast<double>(statFrames_) / elapsed,
                      static_cast<double>(statBytes_) * 8 / elapsed / 1'000'000};
    statFrames_ = 0;
    statBytes_ = 0;
    statSince_ = now;
    return stats;
}

void H264Feeder::frameShown() {
    {
        std::lock_guard guard(lock_);
        if (shownFirst_) return;
        shownFirst_ = true;
    }
    if (onFirstFrame) onFirstFrame();
}

}  // namespace velmora
