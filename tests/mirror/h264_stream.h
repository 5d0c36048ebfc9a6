#pragma once

// Real H.264 for the video tests and the benchmark: moving pictures encoded with libx264, packetised as the
// phone sends them (flag 1 key / 2 not, 8-byte big-endian microseconds, Annex B body with the parameter sets
// in band before each key frame).

#include <functional>
#include <stdexcept>
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

// `frames` pictures of width×height at 60 fps, a key frame every `keyInterval` pictures; `paint` draws
// picture i into the frame's YUV 4:2:0 planes (unless given: a pattern that moves with i).
inline std::vector<PhonePacket> encodeH264(int width, int height, int frames, int keyInterval,
                                           const std::function<void(AVFrame&, int)>& paint = {}) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    AVCodecContext* ctx = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (!ctx) throw std::runtime_error("libavcodec has no libx264 encoder");
    ctx->width = width, ctx->height = height, ctx->pix_fmt = AV_PIX_FMT_YUV420P, ctx->time_base = {1, 60};
    ctx->gop_size = keyInterval, ctx->thread_count = 1;
    av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
    av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
    av_opt_set(ctx->priv_data, "x264-params", "scenecut=0", 0);
    if (avcodec_open2(ctx, codec, nullptr) < 0) throw std::runtime_error("libx264 did not open");
    AVFrame* frame = av_frame_alloc();
    frame->format = ctx->pix_fmt, frame->width = width, frame->height = height;
    av_frame_get_buffer(frame, 0);
    AVPacket* packet = av_packet_alloc();
    std::vector<PhonePacket> out;
    for (int i = 0; i <= frames; ++i) {
        if (i < frames) {
            av_frame_make_writable(frame);
            if (paint) paint(*frame, i);
            for (int plane = 0; plane < 3 && !paint; ++plane)
                for (int y = 0; y < (plane ? height / 2 : height); ++y)
                    for (int x = 0; x < (plane ? width / 2 : width); ++x)
                        frame->data[plane][y * frame->linesize[plane] + x] =
                            static_cast<std::uint8_t>(plane * 64 + (plane == 1 ? y : x + y) + i * 3);
            frame->pts = i;
        }
        avcodec_send_frame(ctx, i < frames ? frame : nullptr);  // the last round drains the encoder
        while (avcodec_receive_packet(ctx, packet) == 0) {
            PhonePacket& p = out.emplace_back();
            p.key = (packet->flags & AV_PKT_FLAG_KEY) != 0, p.ptsMicros = packet->pts * 1'000'000 / 60;
            p.bytes.push_back(p.key ? 1 : 2);
            for (int shift = 56; shift >= 0; shift -= 8)
                p.bytes.push_back(
                    static_cast<std::uint8_t>(static_cast<std::uint64_t>(p.ptsMicros) >> shift));
            p.bytes.insert(p.bytes.end(), packet->data, packet->data + packet->size);
            av_packet_unref(packet);
        }
    }
    av_packet_free(&packet), av_frame_free(&frame), avcodec_free_context(&ctx);
    return out;
}

}  // namespace velmora::testing
