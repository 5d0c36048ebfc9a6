#pragma once

// Real H.264 streams for the video tests and the benchmark: moving test pictures encoded with libavcodec's
// libx264 encoder, packetised as the phone sends them on channel 1 (flag, 8-byte big-endian microseconds,
// Annex B body with the parameter sets in band before each key frame).

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/bytes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

namespace velmora::testing {

struct PhonePacket {
    Bytes bytes;
    bool key = false;
    std::int64_t ptsMicros = 0;
};

// `frames` pictures of width×height at 60 fps, a key frame every `keyInterval` pictures.
inline std::vector<PhonePacket> encodeH264(int width, int height, int frames, int keyInterval) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) throw std::runtime_error("libavcodec has no libx264 encoder");
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->width = width;
    ctx->height = height;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = {1, 60};
    ctx->gop_size = keyInterval;
    ctx->max_b_frames = 0;
    ctx->thread_count = 1;
    av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
    av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
    av_opt_set(ctx->priv_data, "x264-params", "scenecut=0", 0);
    if (avcodec_open2(ctx, codec, nullptr) < 0) throw std::runtime_error("libx264 did not open");
    AVFrame* frame = av_frame_alloc();
    frame->format = ctx->pix_fmt;
    frame->width = width;
    frame->height = height;
    av_frame_get_buffer(frame, 0);
    AVPacket* packet = av_packet_alloc();
    std::vector<PhonePacket> out;
    auto drain = [&] {
        while (avcodec_receive_packet(ctx, packet) == 0) {
            PhonePacket p;
            p.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            p.ptsMicros = packet->pts * 1'000'000 / 60;
            p.bytes.push_back(p.key ? 1 : 2);
            for (int shift = 56; shift >= 0; shift -= 8)
                p.bytes.push_back(
                    static_cast<std::uint8_t>(static_cast<std::uint64_t>(p.ptsMicros) >> shift));
            p.bytes.insert(p.bytes.end(), packet->data, packet->data + packet->size);
            out.push_back(std::move(p));
            av_packet_unref(packet);
        }
    };
    for (int i = 0; i < frames; ++i) {
        av_frame_make_writable(frame);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                frame->data[0][y * frame->linesize[0] + x] = static_cast<std::uint8_t>(x + y + i * 3);
        for (int y = 0; y < height / 2; ++y)
            for (int x = 0; x < width / 2; ++x) {
                frame->data[1][y * frame->linesize[1] + x] = static_cast<std::uint8_t>(128 + y + i * 2);
                frame->data[2][y * frame->linesize[2] + x] = static_cast<std::uint8_t>(64 + x + i);
            }
        frame->pts = i;
        avcodec_send_frame(ctx, frame);
        drain();
    }
    avcodec_send_frame(ctx, nullptr);
    drain();
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return out;
}

}  // namespace velmora::testing
