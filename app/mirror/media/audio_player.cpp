#include "app/mirror/media/audio_player.h"

#include <algorithm>
#include <utility>

namespace velmora {
namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr float kSampleScale = 1.0f / 32768.0f;
// A device that stopped on its own is opened again at most this often, while packets keep coming.
constexpr double kReopenInterval = 1.0;

}  // namespace

AudioPlayer::AudioPlayer(AudioOutput& output, Executor& ctl) : output_(output), ctl_(ctl) {}

void AudioPlayer::feed(ByteView packet) {
    AudioBuffer buffer;
    bool play = false;
    std::int64_t generation = 0;
    {
        std::lock_guard guard(shared_->lock);
        if (!shared_->format || packet.size() < kHeaderSize + 1) return;
        const int channels = shared_->channels;
        const std::size_t frames = (packet.size() - kHeaderSize) / (2 * static_cast<std::size_t>(channels));
        if (frames == 0 || shared_->pending >= kMaxInFlight) return;
        buffer.channels = channels;
        buffer.samples.resize(frames * static_cast<std::size_t>(channels));
        const std::uint8_t* in = packet.data() + kHeaderSize;
        for (float& sample : buffer.samples) {
            sample = static_cast<float>(static_cast<std::int16_t>(in[0] | (in[1] << 8))) * kSampleScale;
            in += 2;
        }
        ++shared_->pending;
        if (shared_->pending >= kPreroll && !shared_->primed) {
            shared_->primed = true;
            play = true;
        }
        generation = shared_->generation;
    }
    ctl_.post([this, buffer = std::move(buffer), play, generation]() mutable {
        schedule(std::move(buffer), play, generation);
    });
}

void AudioPlayer::schedule(AudioBuffer buffer, bool play, std::int64_t generation) {
    std::optional<Format> reopen;
    {
        std::lock_guard guard(shared_->lock);
        if (shared_->generation != generation) return;
        if (!output_.isRunning()) {
            // The device stopped on its own. The buffer will never play, so it must not stay counted (six
            // such would silence the rest of the run); and the device is opened again, now and then.
            shared_->pending = std::max<std::int64_t>(0, shared_->pending - 1);
            const double now = ctl_.now();
            if (shared_->format && now - shared_->lastReopen >= kReopenInterval) {
                shared_->lastReopen = now;
                reopen = shared_->format;
            }
        }
    }
    if (reopen) {
        // Until it opens, packets keep being converted and discarded, and it is tried again later.
        output_.close();
        output_.open(reopen->rate, reopen->channels);
        std::lock_guard guard(shared_->lock);
        shared_->pending = 0;
        shared_->primed = false;
        ++shared_->generation;
        return;
    }
    if (!output_.isRunning()) return;
    output_.schedule(std::move(buffer),
                     [weak = std::weak_ptr(shared_), generation] { played(weak, generation); });
    if (play) output_.play();
}

void AudioPlayer::played(const std::weak_ptr<Shared>& weak, std::int64_t generation) {
    const auto shared = weak.lock();
    if (!shared) return;
    std::lock_guard guard(shared->lock);
    if (shared->generation == generation) shared->pending = std::max<std::int64_t>(0, shared->pending - 1);
}

void AudioPlayer::start(double rate, int channels) {
    ctl_.post([this, rate, channels] {
        {
            std::lock_guard guard(shared_->lock);
            if (shared_->format && shared_->format->rate == rate && shared_->channels == channels &&
                output_.isRunning())
                return;
        }
        stopNow();
        configure(rate, channels);
    });
}

void AudioPlayer::configure(double rate, int channels) {
    if (channels <= 0 || !output_.open(rate, channels)) return;
    std::lock_guard guard(shared_->lock);
    shared_->format = Format{rate, channels};
    shared_->channels = channels;
    shared_->pending = 0;
    shared_->primed = false;
    ++shared_->generation;
}

void AudioPlayer::stop() {
    ctl_.post([this] { stopNow(); });
}

void AudioPlayer::stopNow() {
    bool wasOpen = false;
    {
        std::lock_guard guard(shared_->lock);
        wasOpen = shared_->format.has_value();
        shared_->format.reset();
        shared_->pending = 0;
        shared_->primed = false;
        ++shared_->generation;
    }
    if (wasOpen) output_.close();
}

}  // namespace velmora
