// The audio player against an output in memory, its control queue driven by hand: conversion, pre-roll,
// the in-flight bound, generations, and a device that stops on its own.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/mirror/media/audio_player.h"
#include "core/exec/manual_executor.h"

namespace velmora {
namespace {

struct MemoryOutput final : AudioOutput {
    bool open(double r, int c) override {
        ++opens;
        if (refuse) return false;
        rate = r;
        channels = c;
        running = true;
        return true;
    }
    void close() override { running = false; }
    bool isRunning() override { return running; }
    void schedule(AudioBuffer buffer, std::function<void()> onPlayed) override {
        buffers.push_back(std::move(buffer));
        completions.push_back(std::move(onPlayed));
    }
    void play() override { playing = true; }
    void playOne() {
        completions.front()();
        completions.erase(completions.begin());
    }

    bool refuse = false, running = false, playing = false;
    int opens = 0, channels = 0;
    double rate = 0;
    std::vector<AudioBuffer> buffers;
    std::vector<std::function<void()>> completions;
};

struct Rig {
    Rig() {
        player.start(48000, 2);
        ctl.runPending();
    }
    void feed(const Bytes& packet, int times = 1) {
        for (int i = 0; i < times; ++i)
            player.feed(packet);
        ctl.runPending();
    }
    MemoryOutput out;
    ManualExecutor ctl;
    AudioPlayer player{out, ctl};
};

Bytes pcm(Bytes samples) {
    samples.insert(samples.begin(), 8, 0xEE);
    return samples;
}

TEST(AudioPlayer, ConvertsWholeFramesOfLittleEndianSamples) {
    struct Case {
        int channels;
        Bytes packet;
        std::vector<float> samples;  // empty: dropped
    };
    const std::vector<Case> cases{
        {1, Bytes(8, 0), {}},
        {1, pcm({0x01}), {}},
        {1, pcm({0x00, 0x80}), {-1.0f}},
        {2, pcm({0xFF, 0x7F, 0x00, 0x00, 0x77}), {32767.0f / 32768.0f, 0.0f}},
        {2, pcm({0x00, 0x40, 0x00, 0xC0, 0x00, 0x80, 0xFF, 0x7F}), {0.5f, -0.5f, -1.0f, 0.999969482421875f}},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.player.start(44100, c.channels);
        rig.ctl.runPending();
        rig.feed(c.packet);
        if (c.samples.empty()) {
            EXPECT_TRUE(rig.out.buffers.empty());
            continue;
        }
        ASSERT_EQ(rig.out.buffers.size(), 1u);
        EXPECT_EQ(rig.out.buffers[0].channels, c.channels);
        EXPECT_EQ(rig.out.buffers[0].samples, c.samples);
    }
}

TEST(AudioPlayer, PrerollsThreeAndKeepsAtMostSixInFlight) {
    Rig rig;
    const Bytes packet = pcm(Bytes(400, 0));
    rig.feed(packet, 2);
    EXPECT_FALSE(rig.out.playing);
    rig.feed(packet);
    EXPECT_TRUE(rig.out.playing);
    rig.feed(packet, 5);  // three more fit, two are dropped
    EXPECT_EQ(rig.out.buffers.size(), 6u);
    rig.out.playOne();
    rig.feed(packet, 2);
    EXPECT_EQ(rig.out.buffers.size(), 7u);
}

TEST(AudioPlayer, WorkFromAnEarlierConfigurationIsNeverPlayed) {
    Rig rig;
    const Bytes packet = pcm(Bytes(400, 0));
    rig.feed(packet, 6);
    rig.player.start(48000, 2);  // same values while running: undisturbed
    rig.ctl.runPending();
    EXPECT_EQ(rig.out.opens, 1);

    rig.player.feed(packet);  // converted, but its scheduling runs after the reconfiguration
    rig.player.start(44100, 1);
    rig.ctl.runPending();
    EXPECT_EQ(rig.out.buffers.size(), 6u);
    EXPECT_EQ(rig.out.opens, 2);
    rig.out.playOne();  // an old completion does not lower the new count
    rig.out.playing = false;
    rig.feed(packet, 2);
    EXPECT_FALSE(rig.out.playing);  // a new pre-roll
    rig.feed(packet, 5);
    EXPECT_TRUE(rig.out.playing);
    EXPECT_EQ(rig.out.buffers.size(), 12u);

    rig.player.feed(packet);
    rig.player.stop();
    rig.ctl.runPending();
    rig.feed(packet);
    EXPECT_EQ(rig.out.buffers.size(), 12u);
    EXPECT_FALSE(rig.out.running);
}

TEST(AudioPlayer, ADeviceThatStopsOnItsOwnIsOpenedAgainAndTheSoundComesBack) {
    Rig rig;
    const Bytes packet = pcm(Bytes(400, 0));
    rig.feed(packet, 3);
    rig.out.running = false;  // unplugged
    rig.out.playing = false;
    rig.out.refuse = true;
    rig.feed(packet, 10);  // every buffer discarded and counted down; one reopen tried
    EXPECT_EQ(rig.out.opens, 2);
    EXPECT_EQ(rig.out.buffers.size(), 3u);

    rig.out.refuse = false;  // plugged back in
    rig.ctl.advance(1.0);
    rig.feed(packet);
    EXPECT_EQ(rig.out.opens, 3);
    EXPECT_TRUE(rig.out.running);
    rig.feed(packet, 3);
    EXPECT_EQ(rig.out.buffers.size(), 6u);
    EXPECT_TRUE(rig.out.playing);
}

TEST(AudioPlayer, AFailedStartLeavesThePlayerStopped) {
    MemoryOutput out;
    out.refuse = true;
    ManualExecutor ctl;
    AudioPlayer player(out, ctl);
    player.feed(pcm(Bytes(4, 0)));
    player.start(48000, 2);
    ctl.runPending();
    player.feed(pcm(Bytes(4, 0)));
    ctl.runPending();
    EXPECT_TRUE(out.buffers.empty());
}

}  // namespace
}  // namespace velmora
