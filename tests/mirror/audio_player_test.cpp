// The audio player against an output in memory, its control queue driven by hand: conversion, pre-roll,
// the in-flight bound, generations, and a device that stops on its own.

#include <gtest/gtest.h>

#include "app/mirror/media/audio_player.h"
#include "core/exec/manual_executor.h"

namespace velmora {
namespace {

// An output in memory and the player in front of it.
struct Rig final : AudioOutput {
    explicit Rig(int channels = 2) { start(48000, channels); }
    bool open(double, int) override { return ++opens, running = !refuse; }
    void close() override { running = false; }
    bool isRunning() override { return running; }
    void schedule(AudioBuffer buffer, std::function<void()> onPlayed) override {
        buffers.push_back(std::move(buffer)), completions.push_back(std::move(onPlayed));
    }
    void play() override { playing = true; }
    void start(double rate, int channels) { player.start(rate, channels), ctl.runPending(); }
    void feed(const Bytes& packet, int times = 1) {
        for (int i = 0; i < times; ++i)
            player.feed(packet);
        ctl.runPending();
    }
    void playOne() { completions.front()(), completions.erase(completions.begin()); }
    bool refuse = false, running = false, playing = false;
    int opens = 0;
    std::vector<AudioBuffer> buffers;
    std::vector<std::function<void()>> completions;
    ManualExecutor ctl;
    AudioPlayer player{*this, ctl};
};

// A packet: the 8-byte header the computer does not read, then the sample bytes.
Bytes pcm(Bytes samples) {
    return samples.insert(samples.begin(), 8, 0xEE), samples;
}
const Bytes kPacket = pcm(Bytes(400, 0));

TEST(AudioPlayer, ConvertsWholeFramesOfLittleEndianSamples) {
    const std::vector<std::tuple<int, Bytes, std::vector<float>>> cases{
        {1, Bytes(8, 0), {}},  // empty: dropped
        {1, pcm({0x01}), {}},
        {0, pcm({0x00, 0x80}), {}},  // no channels: the output is never opened
        {1, pcm({0x00, 0x80}), {-1.0f}},
        {2, pcm({0xFF, 0x7F, 0x00, 0x00, 0x77}), {32767.0f / 32768.0f, 0.0f}},
        {2, pcm({0x00, 0x40, 0x00, 0xC0, 0x00, 0x80, 0xFF, 0x7F}), {0.5f, -0.5f, -1.0f, 32767.0f / 32768.0f}},
    };
    for (const auto& [channels, packet, samples] : cases) {
        Rig rig(channels);
        rig.feed(packet);
        ASSERT_EQ(rig.buffers.size(), samples.empty() ? 0u : 1u) << channels;
        for (const AudioBuffer& buffer : rig.buffers)
            EXPECT_EQ(buffer.samples, samples);
    }
}

TEST(AudioPlayer, PrerollsThreeKeepsAtMostSixInFlightAndNeverPlaysAnOlderGeneration) {
    Rig rig;
    rig.feed(kPacket, 2);
    EXPECT_FALSE(rig.playing);
    rig.feed(kPacket);
    EXPECT_TRUE(rig.playing);
    rig.feed(kPacket, 5);  // three more fit, two are dropped
    EXPECT_EQ(rig.buffers.size(), 6u);
    rig.playOne(), rig.feed(kPacket, 2);
    rig.start(48000, 2);  // the same values while running: undisturbed
    EXPECT_TRUE(rig.buffers.size() == 7u && rig.opens == 1) << rig.buffers.size() << " " << rig.opens;

    rig.start(44100, 1), rig.playing = false, rig.feed(kPacket, 2);
    EXPECT_FALSE(rig.playing);  // a new pre-roll
    rig.playOne();              // an old completion does not lower the new count
    rig.feed(kPacket, 5);
    EXPECT_TRUE(rig.playing && rig.buffers.size() == 13u) << rig.buffers.size();
    rig.player.stop(), rig.ctl.runPending(), rig.feed(kPacket);
    EXPECT_TRUE(rig.buffers.size() == 13u && !rig.running) << rig.buffers.size();
}

TEST(AudioPlayer, ADeviceThatStopsOnItsOwnIsOpenedAgainAndTheSoundComesBack) {
    Rig rig;
    rig.feed(kPacket, 3);
    rig.running = rig.playing = false, rig.refuse = true;  // unplugged
    rig.feed(kPacket, 10);  // every buffer discarded and counted down; one reopen tried
    EXPECT_TRUE(rig.opens == 2 && rig.buffers.size() == 3u) << rig.opens << " " << rig.buffers.size();
    rig.refuse = false, rig.ctl.advance(1.0);  // plugged back in
    rig.feed(kPacket);
    EXPECT_EQ(rig.opens, 3);
    rig.feed(kPacket, 3);
    EXPECT_TRUE(rig.playing && rig.buffers.size() == 6u) << rig.buffers.size();
}

}  // namespace
}  // namespace velmora
