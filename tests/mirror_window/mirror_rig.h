#pragma once

// A mirror window wired to a fake outside (recording port, fake clock, settings in memory) and a phone
// picture that travels the real way: drawn, encoded with libx264, fed through the window's feeder and
// decoder, and painted.

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <cmath>
#include <stdexcept>
#include <utility>
#include <vector>

#include "app/mirror/window/mirror_view.h"
#include "app/mirror/window/mirror_window.h"
#include "core/exec/manual_executor.h"
#include "core/settings/memory_settings.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace velmora::testing {

// Coordinates to nine decimals, so that two routes to the same point compare equal.
inline nlohmann::json rounded(nlohmann::json m) {
    for (auto& [key, value] : m.items())
        if (value.is_number_float()) value = std::round(value.get<double>() * 1e9) / 1e9;
    return m;
}

struct FakePort : MirrorWindowPort {
    std::vector<nlohmann::json> inputs;
    int retries = 0, closes = 0;
    std::optional<MirrorLinkInfo> link;
    std::optional<std::string> clipboard;
    void input(const nlohmann::json& m) override { inputs.push_back(rounded(m)); }
    void retry() override { ++retries; }
    void closed() override { ++closes; }
    std::optional<MirrorLinkInfo> linkInfo() override { return link; }
    std::optional<std::string> pasteText() override { return clipboard; }
    std::vector<nlohmann::json> take() { return std::exchange(inputs, {}); }
};

// A phone's home screen: status bar, a card, a grid of app tiles and a dock, in the picture's pixels.
inline QImage phoneScreen(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, width, height);
    bg.setColorAt(0, QColor(0x2B, 0x5F, 0x8E));
    bg.setColorAt(1, QColor(0xC2, 0x6A, 0x8A));
    p.fillRect(img.rect(), bg);
    const double u = width / 100.0;
    p.setPen(Qt::white);
    QFont f("DejaVu Sans");
    f.setPixelSize(static_cast<int>(3.6 * u));
    p.setFont(f);
    p.drawText(QRectF(5 * u, 1.5 * u, 40 * u, 5 * u), Qt::AlignLeft | Qt::AlignVCenter, "12:45");
    p.drawText(QRectF(55 * u, 1.5 * u, 40 * u, 5 * u), Qt::AlignRight | Qt::AlignVCenter, "87%");
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawRoundedRect(QRectF(6 * u, 14 * u, 88 * u, 30 * u), 5 * u, 5 * u);
    f.setPixelSize(static_cast<int>(12 * u));
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(6 * u, 14 * u, 88 * u, 30 * u), Qt::AlignCenter, "12:45");
    const QColor tiles[] = {QColor(0xF2, 0x99, 0x4A), QColor(0x27, 0xAE, 0x60), QColor(0x2F, 0x80, 0xED),
                            QColor(0xEB, 0x57, 0x57), QColor(0x9B, 0x51, 0xE0)};
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 4; ++col) {
            p.setPen(Qt::NoPen);
            p.setBrush(tiles[(row + col) % 5]);
            p.drawRoundedRect(QRectF((10 + col * 22) * u, (52 + row * 22) * u, 14 * u, 14 * u), 4 * u, 4 * u);
        }
    p.setBrush(QColor(255, 255, 255, 70));
    p.drawRoundedRect(QRectF(5 * u, height - 24 * u, 90 * u, 18 * u), 7 * u, 7 * u);
    return img;
}

// One picture as the phone's packets: a key frame with its parameter sets, flag 1, time 0.
inline std::vector<Bytes> encodePicture(const QImage& picture) {
    const int w = picture.width(), h = picture.height();
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) throw std::runtime_error("no libx264");
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->width = w;
    ctx->height = h;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = {1, 60};
    ctx->max_b_frames = 0;
    ctx->thread_count = 1;
    av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
    av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
    if (avcodec_open2(ctx, codec, nullptr) < 0) throw std::runtime_error("libx264 did not open");
    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = w;
    frame->height = h;
    av_frame_get_buffer(frame, 0);
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    SwsContext* sws = sws_getContext(w, h, AV_PIX_FMT_BGRA, w, h, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr,
                                     nullptr, nullptr);
    const uint8_t* src[] = {rgb.constBits()};
    const int stride[] = {static_cast<int>(rgb.bytesPerLine())};
    sws_scale(sws, src, stride, 0, h, frame->data, frame->linesize);
    sws_freeContext(sws);
    frame->pts = 0;
    avcodec_send_frame(ctx, frame);
    avcodec_send_frame(ctx, nullptr);
    std::vector<Bytes> packets;
    AVPacket* packet = av_packet_alloc();
    while (avcodec_receive_packet(ctx, packet) == 0) {
        Bytes b{1, 0, 0, 0, 0, 0, 0, 0, 0};
        b.insert(b.end(), packet->data, packet->data + packet->size);
        packets.push_back(std::move(b));
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return packets;
}

struct Rig {
    explicit Rig(MirrorWindow::Options options = {.remembersFrame = false, .heightLimit = 10000})
        : window("Telefone de teste", port, clock, &settings, options) {}

    // Feeds the packets and waits until the decoded picture has been painted.
    bool showPicture(const std::vector<Bytes>& packets) {
        for (const Bytes& p : packets)
            window.feeder().feed(p);
        return QTest::qWaitFor(
            [&] {
                window.view().repaint();
                return window.view().hasPicture();
            },
            60000);
    }

    ManualExecutor clock;
    MemorySettings settings;
    FakePort port;
    MirrorWindow window;
};

}  // namespace velmora::testing
