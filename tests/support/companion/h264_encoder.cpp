#include "support/companion/h264_encoder.h"

#include <cstring>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

namespace velmora::companion {

void H264Encoder::Free::operator()(AVCodecContext* c) const {
    avcodec_free_context(&c);
}
void H264Encoder::Free::operator()(AVFrame* f) const {
    av_frame_free(&f);
}
void H264Encoder::Free::operator()(AVPacket* p) const {
    av_packet_free(&p);
}

H264Encoder::H264Encoder(int width, int height, int fps, int bitrate) {
    av_log_set_level(AV_LOG_ERROR);  // the encoder's statistics at every close are noise here
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!codec) throw std::runtime_error("nenhum codificador H.264 nesta libavcodec");
    name_ = codec->name;
    context_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!context_ || !frame_ || !packet_) throw std::runtime_error("sem memória para o codificador");
    AVCodecContext* c = context_.get();
    c->width = width;
    c->height = height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = {1, 1000000};
    c->framerate = {fps, 1};
    c->bit_rate = bitrate;
    c->gop_size = fps * 4;  // a key frame every few seconds besides the requested ones
    c->max_b_frames = 0;
    c->thread_count = 2;
    c->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (name_ == "libx264") {
        av_opt_set(c->priv_data, "preset", "ultrafast", 0);
        av_opt_set(c->priv_data, "tune", "zerolatency", 0);
        av_opt_set(c->priv_data, "profile", "baseline", 0);
        av_opt_set(c->priv_data, "forced-idr", "1", 0);
        av_opt_set(c->priv_data, "x264-params", "repeat-headers=1:annexb=1", 0);
    }
    if (avcodec_open2(c, codec, nullptr) < 0)
        throw std::runtime_error("o codificador " + name_ + " não abriu");
    frame_->format = c->pix_fmt;
    frame_->width = width;
    frame_->height = height;
    if (av_frame_get_buffer(frame_.get(), 0) < 0) throw std::runtime_error("sem memória para o quadro");
}

H264Encoder::~H264Encoder() = default;

std::vector<EncodedPicture> H264Encoder::encode(const Yuv420& picture, bool key, std::int64_t ptsUs) {
    AVFrame* f = frame_.get();
    if (av_frame_make_writable(f) < 0) throw std::runtime_error("quadro do codificador ocupado");
    const std::uint8_t* planes[3] = {picture.y.data(), picture.u.data(), picture.v.data()};
    const int widths[3] = {picture.width, picture.width / 2, picture.width / 2};
    const int heights[3] = {picture.height, picture.height / 2, picture.height / 2};
    for (int i = 0; i < 3; ++i)
        for (int row = 0; row < heights[i]; ++row)
            std::memcpy(f->data[i] + static_cast<std::ptrdiff_t>(row) * f->linesize[i],
                        planes[i] + static_cast<std::ptrdiff_t>(row) * widths[i],
                        static_cast<std::size_t>(widths[i]));
    f->pts = ptsUs;
    f->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    f->key_frame = key ? 1 : 0;
    if (avcodec_send_frame(context_.get(), f) < 0) throw std::runtime_error("o codificador recusou o quadro");
    std::vector<EncodedPicture> out;
    while (avcodec_receive_packet(context_.get(), packet_.get()) == 0) {
        const AVPacket* p = packet_.get();
        out.push_back({Bytes(p->data, p->data + p->size), (p->flags & AV_PKT_FLAG_KEY) != 0, p->pts});
        av_packet_unref(packet_.get());
    }
    return out;
}

}  // namespace velmora::companion
