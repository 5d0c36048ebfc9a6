#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/bytes.h"
#include "support/simulated_phone.h"

namespace velmora::companion {

struct AudioFormat {
    int rate = 48000;
    int channels = 2;
};

struct MirrorParams {
    int width = 720, height = 1600;  // even
    int fps = 30;
    int bitrate = 4000000;
    std::optional<AudioFormat> audio;  // sound too, as 16-bit PCM
};

struct MirrorStats {
    std::uint64_t frames = 0, keyFrames = 0, audioPackets = 0;
    std::uint64_t ticks = 0;  // periods of the frame rate gone by, stalled ones too
    bool running = false;
    std::string encoder;  // the libavcodec encoder's name once a stream ran
};

// The wire forms of the screen stream. Video: flag (1 key frame, 2 other frame), presentation time in µs as
// 8 bytes big-endian, then the Annex B body. Sound: 8 header bytes (the same time stamp), then interleaved
// signed 16-bit little-endian samples.
Bytes videoPacket(bool key, std::int64_t ptsUs, ByteView annexB);
Bytes audioPacket(std::int64_t ptsUs, const std::int16_t* samples, std::size_t count);

// The phone's screen and sound while mirroring: a thread draws the moving test picture at the stream's
// frame rate, encodes it to H.264 and sends it on channel 1, and sends a 440 Hz tone on channel 2 in 20 ms
// packets. Threads: every member from any thread; the stream's own thread only sends.
class MirrorStream {
  public:
    MirrorStream() = default;
    ~MirrorStream() { stop(); }
    MirrorStream(const MirrorStream&) = delete;
    MirrorStream& operator=(const MirrorStream&) = delete;

    // Ends any running stream, then starts one on `link`. Throws std::runtime_error when no encoder opens
    // (the phone then answers "mirror.error" "encoder").
    void start(std::shared_ptr<PhoneLink> link, const MirrorParams& params);
    // Ends the stream and waits for its thread; nothing is sent after it returns.
    void stop();
    void requestKeyFrame() { keyWanted_.store(true); }
    // A stalled stream keeps its thread but sends nothing (a phone whose encoder hangs).
    void setStalled(bool stalled) { stalled_.store(stalled); }
    bool running() const;
    MirrorStats stats() const;

  private:
    struct Encoding;
    void run(std::shared_ptr<PhoneLink> link, MirrorParams params, std::shared_ptr<Encoding> encoding);
    void stopLocked();  // stop() with `controlMutex_` held

    std::mutex controlMutex_;   // one start() or stop() at a time; the stream's thread never takes it
    mutable std::mutex mutex_;  // guards stopping_, thread_, encoderName_
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
    std::string encoderName_;
    std::atomic<bool> keyWanted_{false}, stalled_{false}, running_{false};
    std::atomic<std::uint64_t> frames_{0}, keyFrames_{0}, audioPackets_{0}, ticks_{0};
};

}  // namespace velmora::companion
