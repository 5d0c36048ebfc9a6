// A phone screen with fine print, one-pixel rules and colour bars, as the decoder hands it over (4:2:0,
// limited range, BT.601), shrunk to a 450-pixel-wide view and painted: every rule still shows, the bars keep
// their colours and the text stays legible. Kept as build/artifacts/mirror/picture-shrunk.png (and the
// picture at the phone's size as picture-phone.png, to compare).
#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QtTest/QTest>
#include <cmath>
#include <cstring>

#include "app/mirror/video/picture_converter.h"
#include "app/mirror/window/mirror_view.h"
#include "core/exec/manual_executor.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace velmora {
namespace {

constexpr int kPhoneWidth = 720, kPhoneHeight = 1600, kViewWidth = 450, kViewHeight = 1000;
constexpr int kRuleTop = 1100, kRuleCount = 24, kRuleGap = 7;  // vertical one-pixel rules, 7 pixels apart
const QRgb kBars[] = {qRgb(235, 30, 30), qRgb(30, 200, 60), qRgb(40, 70, 230), qRgb(128, 128, 128)};

QImage phoneScreen() {
    QImage image(kPhoneWidth, kPhoneHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (int i = 0; i < 4; ++i)
        p.fillRect(i * 180, 0, 180, 300, QColor(kBars[i]));
    p.setPen(Qt::black);
    QFont font = p.font();
    font.setPixelSize(22);
    p.setFont(font);
    for (int line = 0; line < 20; ++line)
        p.drawText(24, 360 + line * 34,
                   QString("Linha %1: o rápido cão marrom salta 0123456789").arg(line + 1));
    // One-pixel rules at every phase against the shrunk grid, and a one-pixel horizontal rule.
    for (int i = 0; i < kRuleCount; ++i)
        p.drawLine(40 + i * kRuleGap, kRuleTop, 40 + i * kRuleGap, kRuleTop + 200);
    p.drawLine(0, kRuleTop + 300, kPhoneWidth - 1, kRuleTop + 300);
    return image;
}

// The decoder's form of the screen: BT.601 limited range, chroma averaged over 2 × 2.
struct Decoded {
    AVFrame* frame = av_frame_alloc();
    explicit Decoded(const QImage& rgb) {
        frame->width = rgb.width(), frame->height = rgb.height(), frame->format = AV_PIX_FMT_YUV420P;
        frame->color_range = AVCOL_RANGE_MPEG, frame->colorspace = AVCOL_SPC_SMPTE170M;
        if (av_frame_get_buffer(frame, 0) < 0) throw std::runtime_error("no picture");
        const auto round = [](double v) {
            return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
        };
        for (int y = 0; y < rgb.height(); ++y)
            for (int x = 0; x < rgb.width(); ++x) {
                const QRgb c = rgb.pixel(x, y);
                frame->data[0][y * frame->linesize[0] + x] =
                    round(16 + (65.481 * qRed(c) + 128.553 * qGreen(c) + 24.966 * qBlue(c)) / 255);
            }
        for (int y = 0; y < rgb.height() / 2; ++y)
            for (int x = 0; x < rgb.width() / 2; ++x) {
                double r = 0, g = 0, b = 0;
                for (const QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
                    const QRgb c = rgb.pixel(2 * x + d.x(), 2 * y + d.y());
                    r += qRed(c) / 4.0, g += qGreen(c) / 4.0, b += qBlue(c) / 4.0;
                }
                frame->data[1][y * frame->linesize[1] + x] =
                    round(128 + (-37.797 * r - 74.203 * g + 112 * b) / 255);
                frame->data[2][y * frame->linesize[2] + x] =
                    round(128 + (112 * r - 93.786 * g - 18.214 * b) / 255);
            }
    }
    ~Decoded() { av_frame_free(&frame); }
};

int darkness(QRgb c) {
    return 255 - qGray(c);
}

TEST(MirrorPicture, APhoneScreenShrunkForTheViewKeepsItsRulesColoursAndText) {
    const QImage screen = phoneScreen();
    Decoded decoded(screen);
    PictureConverter converter;
    auto full = std::make_shared<VideoFrame>();
    ASSERT_TRUE(converter.convert(*decoded.frame, kPhoneWidth, kPhoneHeight, *full));
    auto whole = std::make_shared<VideoFrame>();
    ASSERT_TRUE(converter.convert(*decoded.frame, kViewWidth, kViewHeight, *whole));
    // What is shown is converted band by band as the decoder hands rows over (12, then 16 at a time), and
    // is the whole conversion's picture.
    auto frame = std::make_shared<VideoFrame>();
    ASSERT_TRUE(converter.begin(*decoded.frame, kViewWidth, kViewHeight, *frame));
    for (int ready = 12; ready < kPhoneHeight; ready += 16)
        converter.rows(*decoded.frame, ready, *frame);
    ASSERT_TRUE(converter.finish(*decoded.frame, *frame));
    ASSERT_EQ(frame->stride, whole->stride);
    for (int y = 0; y < kViewHeight; ++y)
        ASSERT_EQ(
            std::memcmp(frame->pixels.data() + y * frame->stride, whole->pixels.data() + y * whole->stride,
                        static_cast<std::size_t>(kViewWidth) * 4),
            0)
            << "row " << y;

    ManualExecutor executor;
    MirrorView view(executor);
    view.resize(kViewWidth, kViewHeight);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.showFrame(frame);
    view.repaint();
    const QImage shot = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QDir().mkpath(VELMORA_ARTIFACTS_DIR "/mirror");
    EXPECT_TRUE(shot.save(VELMORA_ARTIFACTS_DIR "/mirror/picture-shrunk.png"));
    EXPECT_TRUE(QImage(full->pixels.data(), full->width, full->height, full->stride, QImage::Format_RGB32)
                    .save(VELMORA_ARTIFACTS_DIR "/mirror/picture-phone.png"));

    // The bars: their middles keep the colour meant.
    for (int i = 0; i < 4; ++i) {
        const QRgb got = shot.pixel((i * 180 + 90) * kViewWidth / kPhoneWidth, 100);
        for (const int shift : {16, 8, 0})
            EXPECT_NEAR((got >> shift) & 0xFF, (kBars[i] >> shift) & 0xFF, 6)
                << "bar " << i << " " << std::hex << got;
    }
    // Each one-pixel rule darkens the row it crosses where it falls: at least a quarter of black, never lost
    // between two samples.
    const int y = (kRuleTop + 100) * kViewHeight / kPhoneHeight;
    for (int i = 0; i < kRuleCount; ++i) {
        const double at = (40 + i * kRuleGap + 0.5) * kViewWidth / kPhoneWidth;
        const int x = static_cast<int>(at);
        const int dark = std::max(
            {darkness(shot.pixel(x - 1, y)), darkness(shot.pixel(x, y)), darkness(shot.pixel(x + 1, y))});
        EXPECT_GE(dark, 64) << "rule " << i << " at " << x;
    }
    // And between two rules the white comes back: the rules stay apart instead of merging into a grey band.
    int light = 0;
    for (int x = 40 * kViewWidth / kPhoneWidth; x < (40 + kRuleCount * kRuleGap) * kViewWidth / kPhoneWidth;
         ++x)
        light += darkness(shot.pixel(x, y)) < 32;
    EXPECT_GE(light, kRuleCount / 2);
    // The horizontal rule shows across the whole width.
    const int ruleRow = (kRuleTop + 300) * kViewHeight / kPhoneHeight;
    for (int x = 20; x < kViewWidth - 20; x += 10)
        EXPECT_GE(std::max(darkness(shot.pixel(x, ruleRow)), darkness(shot.pixel(x, ruleRow + 1))), 64) << x;
}

}  // namespace
}  // namespace velmora
