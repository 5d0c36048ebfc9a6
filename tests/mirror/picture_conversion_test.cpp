// Decoded pictures to the view's pixels: the area shrink's bytes (vector and plain code alike, within bounds,
// thin lines kept) and the colours that come out for known YUV values in each range and matrix, at the
// stream's size, shrunk, at odd sizes, and through the libswscale road for other pixel formats.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>

#include "app/mirror/video/area_shrink.h"
#include "app/mirror/video/picture_converter.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace velmora {
namespace {

struct Plane {
    int width, height, stride;
    std::vector<std::uint8_t> bytes;
    Plane(int w, int h, int pad = 0)
        : width(w), height(h), stride(w + pad), bytes(static_cast<std::size_t>(stride) * h) {}
    std::uint8_t& at(int x, int y) { return bytes[static_cast<std::size_t>(y * stride + x)]; }
};

// What area averaging gives, in exact arithmetic.
double reference(Plane& src, int dw, int dh, int x, int y) {
    const double rx = static_cast<double>(src.width) / dw, ry = static_cast<double>(src.height) / dh;
    double sum = 0;
    for (int j = static_cast<int>(y * ry); j < src.height && j < (y + 1) * ry; ++j)
        for (int i = static_cast<int>(x * rx); i < src.width && i < (x + 1) * rx; ++i) {
            const double w = std::min(i + 1.0, (x + 1) * rx) - std::max(double(i), x * rx);
            const double h = std::min(j + 1.0, (y + 1) * ry) - std::max(double(j), y * ry);
            sum += w * h * src.at(i, j);
        }
    return sum / (rx * ry);
}

// Random bytes through every road (each vector code the processor has), at sizes that end in each remainder
// of the 16- and 32-byte steps, at the largest shrink and at none on one axis: the vector code gives the
// plain code's bytes, both stay within 3 steps of exact averaging (7-bit weights, up to 8 of them per axis),
// and nothing is written past the last row's slack.
TEST(AreaShrink, VectorAndPlainCodeGiveTheSameAveragesAndStayInBounds) {
    const struct {
        int sw, sh, dw, dh;
    } cases[] = {
        {720, 1600, 450, 1000}, {1080, 2400, 450, 1000}, {360, 800, 225, 500}, {17, 9, 3, 2},
        {33, 31, 32, 30},       {64, 64, 64, 16},        {70, 70, 10, 10},     {1, 1, 1, 1},
        {301, 7, 43, 1},        {49, 50, 7, 50},         {100, 3, 99, 3},      {1440, 3200, 451, 1002}};
    std::mt19937 random(7);
    for (const auto& c : cases) {
        Plane src(c.sw, c.sh, 5);
        for (auto& b : src.bytes)
            b = static_cast<std::uint8_t>(random());
        const int stride = c.dw + 3;
        const std::size_t used =
            static_cast<std::size_t>(stride) * (c.dh - 1) + c.dw + PlaneShrinker::kDstSlack;
        std::vector<std::uint8_t> plain(used + 64, 0xA5);
        PlaneShrinker shrinker(c.sw, c.sh, c.dw, c.dh);
        shrinker.run(src.bytes.data(), src.stride, plain.data(), stride, PlaneShrinker::Code::plain);
        for (const auto code :
             {PlaneShrinker::Code::ssse3, PlaneShrinker::Code::avx2, PlaneShrinker::Code::avx512}) {
            std::vector<std::uint8_t> fast(used + 64, 0xA5);
            shrinker.run(src.bytes.data(), src.stride, fast.data(), stride, code);
            const std::string name = std::to_string(c.sw) + "x" + std::to_string(c.sh) + " to " +
                                     std::to_string(c.dw) + "x" + std::to_string(c.dh) + ", code " +
                                     std::to_string(static_cast<int>(code));
            int worst = 0;
            for (int y = 0; y < c.dh; ++y)
                for (int x = 0; x < c.dw; ++x) {
                    const auto i = static_cast<std::size_t>(y * stride + x);
                    ASSERT_EQ(fast[i], plain[i]) << name << " at " << x << "," << y;
                    const double want = reference(src, c.dw, c.dh, x, y);
                    worst = std::max(worst, static_cast<int>(std::lround(std::abs(fast[i] - want) * 100)));
                }
            EXPECT_LE(worst, 300) << name << ": off exact averaging by " << worst / 100.0;
            for (std::size_t i = used; i < fast.size(); ++i)
                ASSERT_EQ(fast[i], 0xA5) << name << ": written " << i - used << " bytes past the slack";
        }
    }
}

// Flat areas keep their exact value (weights sum to exactly one), and a line one sample wide, light on
// dark, stays visible after the shrink wherever it falls: averaged into its neighbours, never dropped.
TEST(AreaShrink, FlatAreasKeepTheirValueAndThinLinesStayVisible) {
    for (const int value : {0, 1, 16, 128, 235, 254, 255}) {
        Plane src(1080, 24, 0);
        std::fill(src.bytes.begin(), src.bytes.end(), static_cast<std::uint8_t>(value));
        std::vector<std::uint8_t> out(450 * 10 + PlaneShrinker::kDstSlack);
        PlaneShrinker(1080, 24, 450, 10).run(src.bytes.data(), src.stride, out.data(), 450);
        for (int i = 0; i < 450 * 10; ++i)
            ASSERT_EQ(out[static_cast<std::size_t>(i)], value) << "value " << value << " at " << i;
    }
    for (const int sourceWidth : {720, 1080, 1440}) {
        const double ratio = sourceWidth / 450.0;
        for (int column = 100; column < 140; ++column) {  // every phase of the line against the output grid
            Plane src(sourceWidth, 2, 0);
            std::fill(src.bytes.begin(), src.bytes.end(), 16);
            src.at(column, 0) = src.at(column, 1) = 235;
            std::vector<std::uint8_t> out(450 + PlaneShrinker::kDstSlack);
            PlaneShrinker(sourceWidth, 2, 450, 1).run(src.bytes.data(), src.stride, out.data(), 450);
            const int brightest = *std::max_element(out.begin(), out.begin() + 450);
            // At least the share of the line in the output sample holding most of it: half of 1/ratio.
            EXPECT_GE(brightest - 16, static_cast<int>(219 / ratio / 2) - 1)
                << sourceWidth << " wide, line at " << column;
        }
    }
}

TEST(AreaShrink, SizesItDoesNotDoAreRefused) {
    const struct {
        int sw, sh, dw, dh;
    } refused[] = {{10, 10, 11, 10}, {10, 10, 10, 11}, {10, 10, 0, 5},  {10, 10, 5, -1},
                   {0, 0, 0, 0},     {71, 10, 10, 10}, {10, 71, 10, 10}};
    for (const auto& c : refused) {
        EXPECT_FALSE(PlaneShrinker::supports(c.sw, c.sh, c.dw, c.dh)) << c.sw << "x" << c.sh;
        EXPECT_THROW(PlaneShrinker(c.sw, c.sh, c.dw, c.dh), std::invalid_argument) << c.sw << "x" << c.sh;
    }
    EXPECT_TRUE(PlaneShrinker::supports(70, 70, 10, 10));
}

struct Picture {
    AVFrame* frame = av_frame_alloc();
    Picture(int width, int height, AVPixelFormat format, int y, int u, int v) {
        frame->width = width, frame->height = height, frame->format = format;
        if (av_frame_get_buffer(frame, 0) < 0) throw std::runtime_error("no picture");
        const bool half = format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
        const int values[3] = {y, u, v};
        for (int p = 0; p < 3; ++p) {
            const int rows = p && half ? (height + 1) / 2 : height;
            std::memset(frame->data[p], values[p], static_cast<std::size_t>(frame->linesize[p]) * rows);
        }
    }
    ~Picture() { av_frame_free(&frame); }
};

std::uint32_t pixel(const VideoFrame& f, int x, int y) {
    std::uint32_t p = 0;
    std::memcpy(
        &p, f.pixels.data() + static_cast<std::size_t>(y) * f.stride + static_cast<std::size_t>(x) * 4, 4);
    return p;
}

// Known colours in each range and matrix, as a phone's encoder writes them, come out as the colour meant
// (within rounding), as 0xFFRRGGBB words, at the stream's size, shrunk and at odd sizes; other pixel
// formats take libswscale's road to the same colours. A wrong matrix or range is off by 20 or more.
TEST(PictureConversion, KnownColoursInEachRangeAndMatrixComeOutAsMeant) {
    const auto limited = AVCOL_RANGE_MPEG, full = AVCOL_RANGE_JPEG, unnamed = AVCOL_RANGE_UNSPECIFIED;
    const struct {
        const char* name;
        AVPixelFormat format;
        AVColorRange range;
        AVColorSpace matrix;
        int y, u, v;
        std::uint32_t rgb;
        int off = 4;
    } cases[] = {
        {"red, 601 limited", AV_PIX_FMT_YUV420P, limited, AVCOL_SPC_SMPTE170M, 81, 90, 240, 0xFF0000},
        {"green, 601 limited", AV_PIX_FMT_YUV420P, limited, AVCOL_SPC_SMPTE170M, 145, 54, 34, 0x00FF00},
        {"blue, 601 limited", AV_PIX_FMT_YUV420P, limited, AVCOL_SPC_SMPTE170M, 41, 240, 110, 0x0000FF},
        {"grey, unnamed matrix and range", AV_PIX_FMT_YUV420P, unnamed, AVCOL_SPC_UNSPECIFIED, 126, 128, 128,
         0x808080},
        {"black, limited", AV_PIX_FMT_YUV420P, limited, AVCOL_SPC_BT470BG, 16, 128, 128, 0x000000},
        {"white, limited", AV_PIX_FMT_YUV420P, limited, AVCOL_SPC_BT470BG, 235, 128, 128, 0xFFFFFF},
        {"red, 601 full (yuvj)", AV_PIX_FMT_YUVJ420P, unnamed, AVCOL_SPC_UNSPECIFIED, 76, 85, 255, 0xFF0000},
        {"blue, 601 full (flag)", AV_PIX_FMT_YUV420P, full, AVCOL_SPC_SMPTE170M, 29, 255, 107, 0x0000FF},
        {"grey, full", AV_PIX_FMT_YUVJ420P, full, AVCOL_SPC_UNSPECIFIED, 128, 128, 128, 0x808080},
        {"red, 709 limited", AV_PIX_FMT_YUV420P, limited, AVCOL_SPC_BT709, 63, 102, 240, 0xFF0000},
        // libyuv's vector code holds BT.709's blue factor for limited range (2.11) in 7 bits (2.0): deep
        // greens get up to 11 steps of blue.
        {"green, 709 limited", AV_PIX_FMT_YUV420P, limited, AVCOL_SPC_BT709, 173, 42, 26, 0x00FF00, 12},
        {"red, 709 full", AV_PIX_FMT_YUV420P, full, AVCOL_SPC_BT709, 54, 99, 255, 0xFF0000},
        {"red, 601 limited, 4:4:4", AV_PIX_FMT_YUV444P, limited, AVCOL_SPC_SMPTE170M, 81, 90, 240, 0xFF0000},
        {"green, 709 limited, 4:4:4", AV_PIX_FMT_YUV444P, limited, AVCOL_SPC_BT709, 173, 42, 26, 0x00FF00},
        {"blue, 601 full, 4:2:2", AV_PIX_FMT_YUVJ422P, unnamed, AVCOL_SPC_UNSPECIFIED, 29, 255, 107,
         0x0000FF},
    };
    const struct {
        int sw, sh, dw, dh;
    } sizes[] = {{64, 48, 64, 48}, {64, 48, 40, 30},     {63, 47, 31, 23},
                 {63, 47, 63, 47}, {720, 160, 450, 100}, {40, 30, 80, 60}};
    PictureConverter converter;
    VideoFrame out;
    for (const auto& c : cases)
        for (const auto& s : sizes) {
            Picture in(s.sw, s.sh, c.format, c.y, c.u, c.v);
            in.frame->color_range = c.range;
            in.frame->colorspace = c.matrix;
            const std::string name = std::string(c.name) + " " + std::to_string(s.sw) + "x" +
                                     std::to_string(s.sh) + " to " + std::to_string(s.dw) + "x" +
                                     std::to_string(s.dh);
            ASSERT_TRUE(converter.convert(*in.frame, s.dw, s.dh, out)) << name;
            ASSERT_EQ(out.width, s.dw) << name;
            ASSERT_EQ(out.height, s.dh) << name;
            EXPECT_EQ(out.stride % PictureConverter::kRowAlign, 0) << name;
            ASSERT_GE(out.pixels.size(), static_cast<std::size_t>(out.stride) * s.dh) << name;
            for (const auto& [x, y] :
                 {std::pair{0, 0}, {s.dw - 1, 0}, {s.dw / 2, s.dh / 2}, {s.dw - 1, s.dh - 1}}) {
                const std::uint32_t got = pixel(out, x, y);
                EXPECT_EQ(got >> 24, 0xFFu) << name;
                for (const int shift : {16, 8, 0}) {
                    const int want = static_cast<int>((c.rgb >> shift) & 0xFF);
                    const int have = static_cast<int>((got >> shift) & 0xFF);
                    EXPECT_NEAR(have, want, c.off)
                        << name << " at " << x << "," << y << ": " << std::hex << got;
                }
            }
        }
}

// A picture that cannot be converted says so instead of handing on garbage.
TEST(PictureConversion, NoSizeIsRefused) {
    PictureConverter converter;
    VideoFrame out;
    Picture in(16, 16, AV_PIX_FMT_YUV420P, 16, 128, 128);
    for (const auto& [w, h] : {std::pair{0, 16}, {16, 0}, {-4, 8}})
        EXPECT_FALSE(converter.convert(*in.frame, w, h, out)) << w << "x" << h;
    EXPECT_TRUE(converter.convert(*in.frame, 16, 16, out));
}

}  // namespace
}  // namespace velmora
