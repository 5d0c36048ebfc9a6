#pragma once

// The yardstick of the video benchmarks: libavcodec alone, per picture, the packets' Annex B bodies through
// one single-threaded decoder.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "tests/mirror/h264_stream.h"

namespace velmora {

// Seconds on the wall clock; a benchmark that counts CPU time passes its own clock.
inline double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline void bareDecodePerPicture(benchmark::State& state, const std::vector<testing::PhonePacket>& packets,
                                 double (*seconds)() = wallSeconds) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    for (auto _ : state) {
        AVCodecContext* ctx = avcodec_alloc_context3(codec);
        ctx->thread_count = 1;
        ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;
        avcodec_open2(ctx, codec, nullptr);
        const double start = seconds();
        for (const auto& p : packets) {
            av_new_packet(packet, static_cast<int>(p.bytes.size() - 9));  // past the 9-byte record header
            std::copy(p.bytes.begin() + 9, p.bytes.end(), packet->data);
            avcodec_send_packet(ctx, packet);
            av_packet_unref(packet);
            while (avcodec_receive_frame(ctx, frame) == 0)
                av_frame_unref(frame);
        }
        state.SetIterationTime((seconds() - start) / static_cast<double>(packets.size()));
        avcodec_free_context(&ctx);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
}

}  // namespace velmora
