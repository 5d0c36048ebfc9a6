#pragma once

#include <functional>
#include <vector>

namespace velmora {

// One packet's sound as 32-bit float samples, interleaved (frame 0 channel 0, frame 0 channel 1, ...).
struct AudioBuffer {
    int channels = 0;
    std::vector<float> samples;
    std::size_t frames() const {
        return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0;
    }
};

// The sound device the player writes to. The player calls it from its one control thread only; onPlayed
// may run on any thread, once the buffer has been handed to the device whole.
class AudioOutput {
  public:
    virtual ~AudioOutput() = default;
    // Opens the device for float samples at `rate` Hz and `channels` channels; false when it cannot.
    virtual bool open(double rate, int channels) = 0;
    virtual void close() = 0;
    // False once closed, or when the device stopped on its own (unplugged, server gone).
    virtual bool isRunning() = 0;
    // Queues a buffer behind the ones already queued; nothing is heard before play().
    virtual void schedule(AudioBuffer buffer, std::function<void()> onPlayed) = 0;
    virtual void play() = 0;
};

}  // namespace velmora
