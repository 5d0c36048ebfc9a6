#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "app/mirror/media/audio_output.h"
#include "core/bytes.h"
#include "core/exec/executor.h"

namespace velmora {

// Plays the phone's sound (channel 2): each packet is an 8-byte header the computer does not read, then
// interleaved signed 16-bit little-endian samples at the rate and channel count of the last start().
// Playback begins with the third buffer (a pre-roll), at most six buffers are ever in flight (more are
// dropped whole before conversion), and every start and stop raises a generation so that work from an older
// configuration is dropped instead of played. One per process.
//
// Threads: feed() runs on the session's receive thread and converts there; start() and stop() return at
// once; every output call runs on `ctl`, in the order posted; completions come from the output's thread.
// The shared state's mutex is never held across an output call.
class AudioPlayer {
  public:
    static constexpr std::int64_t kMaxInFlight = 6;
    static constexpr std::int64_t kPreroll = 3;

    AudioPlayer(AudioOutput& output, Executor& ctl);

    void start(double rate, int channels);
    void stop();
    void feed(ByteView packet);

  private:
    struct Format {
        double rate;
        int channels;
    };
    // Outlives the player for completions still to come from the output.
    struct Shared {
        std::mutex lock;  // guards every field below
        std::optional<Format> format;
        int channels = 2;
        std::int64_t pending = 0;
        bool primed = false;
        std::int64_t generation = 0;
        double lastReopen = -1e9;
    };

    void stopNow();
    void configure(double rate, int channels);
    void schedule(AudioBuffer buffer, bool play, std::int64_t generation);
    static void played(const std::weak_ptr<Shared>& shared, std::int64_t generation);

    AudioOutput& output_;
    Executor& ctl_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace velmora
