#include "support/companion/test_picture.h"

#include <algorithm>
#include <array>
#include <string>

namespace velmora::companion {
namespace {

struct Yuv {
    std::uint8_t y, u, v;
};

constexpr Yuv fromRgb(int r, int g, int b) {
    return {static_cast<std::uint8_t>(16 + (66 * r + 129 * g + 25 * b + 128) / 256),
            static_cast<std::uint8_t>(128 + (-38 * r - 74 * g + 112 * b + 128) / 256),
            static_cast<std::uint8_t>(128 + (112 * r - 94 * g - 18 * b + 128) / 256)};
}

constexpr std::array<Yuv, 7> kBars = {fromRgb(192, 192, 192), fromRgb(192, 192, 0), fromRgb(0, 192, 192),
                                      fromRgb(0, 192, 0),     fromRgb(192, 0, 192), fromRgb(192, 0, 0),
                                      fromRgb(0, 0, 192)};
constexpr Yuv kBackground = fromRgb(24, 28, 40);
constexpr Yuv kInk = fromRgb(250, 250, 250);
constexpr Yuv kSweep = fromRgb(255, 140, 0);

void fill(Yuv420& p, int x0, int y0, int x1, int y1, Yuv c) {
    x0 = std::clamp(x0, 0, p.width) & ~1;
    x1 = std::clamp(x1, 0, p.width) & ~1;
    y0 = std::clamp(y0, 0, p.height) & ~1;
    y1 = std::clamp(y1, 0, p.height) & ~1;
    for (int yy = y0; yy < y1; ++yy)
        std::fill_n(p.y.begin() + static_cast<std::ptrdiff_t>(yy) * p.width + x0, x1 - x0, c.y);
    const int cw = p.width / 2;
    for (int yy = y0 / 2; yy < y1 / 2; ++yy) {
        std::fill_n(p.u.begin() + static_cast<std::ptrdiff_t>(yy) * cw + x0 / 2, (x1 - x0) / 2, c.u);
        std::fill_n(p.v.begin() + static_cast<std::ptrdiff_t>(yy) * cw + x0 / 2, (x1 - x0) / 2, c.v);
    }
}

// Seven segments a..g of the digits 0-9, a bit per segment (a = bit 0).
constexpr std::array<std::uint8_t, 10> kSegments = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                                    0x6D, 0x7D, 0x07, 0x7F, 0x6F};

// One character of `text` (digits and ':' '.') at (x, y), `s` the stroke; returns the advance.
int drawChar(Yuv420& p, int x, int y, int s, char c) {
    const int w = s * 5, h = s * 9;
    if (c == ':' || c == '.') {
        if (c == ':') fill(p, x + s, y + s * 2, x + s * 2, y + s * 3, kInk);
        fill(p, x + s, y + h - s * 2, x + s * 2, y + h - s, kInk);
        return s * 3;
    }
    if (c < '0' || c > '9') return w + s;
    const std::uint8_t on = kSegments[static_cast<std::size_t>(c - '0')];
    const int mid = y + h / 2 - s / 2;
    const std::array<std::array<int, 4>, 7> segs = {{{x, y, x + w, y + s},
                                                     {x + w - s, y, x + w, mid + s},
                                                     {x + w - s, mid, x + w, y + h},
                                                     {x, y + h - s, x + w, y + h},
                                                     {x, mid, x + s, y + h},
                                                     {x, y, x + s, mid + s},
                                                     {x, mid, x + w, mid + s}}};
    for (std::size_t i = 0; i < segs.size(); ++i)
        if (on & (1u << i)) fill(p, segs[i][0], segs[i][1], segs[i][2], segs[i][3], kInk);
    return w + s * 2;
}

void drawText(Yuv420& p, int x, int y, int s, const std::string& text) {
    for (const char c : text)
        x += drawChar(p, x, y, s, c);
}

std::string twoDigits(std::uint64_t n) {
    return std::string(1, static_cast<char>('0' + n / 10 % 10)) + static_cast<char>('0' + n % 10);
}

}  // namespace

Yuv420::Yuv420(int w, int h)
    : width(w),
      height(h),
      y(static_cast<std::size_t>(w) * h),
      u(static_cast<std::size_t>(w / 2) * (h / 2)),
      v(static_cast<std::size_t>(w / 2) * (h / 2)) {}

int sweepX(int width, std::uint64_t frame) {
    const int bar = std::max(8, width / 12) & ~1;
    const int span = std::max(2, width - bar);
    return static_cast<int>((frame * 8) % static_cast<std::uint64_t>(span)) & ~1;
}

void drawTestPicture(Yuv420& p, std::uint64_t frame, std::uint64_t elapsedMs) {
    fill(p, 0, 0, p.width, p.height, kBackground);
    const int barsBottom = p.height / 4;
    for (std::size_t i = 0; i < kBars.size(); ++i) {
        const int x0 = static_cast<int>(i) * p.width / static_cast<int>(kBars.size());
        const int x1 = static_cast<int>(i + 1) * p.width / static_cast<int>(kBars.size());
        fill(p, x0, 0, x1, barsBottom, kBars[i]);
    }
    // The sweep: a bar that moves 8 px a frame across the middle band.
    const int bar = std::max(8, p.width / 12) & ~1;
    const int sx = sweepX(p.width, frame);
    fill(p, sx, barsBottom, sx + bar, p.height * 3 / 4, kSweep);

    const int stroke = std::max(2, p.width / 60);
    const std::uint64_t s = elapsedMs / 1000;
    const std::string clock = twoDigits(s / 60) + ":" + twoDigits(s % 60) + "." +
                              std::string(1, static_cast<char>('0' + elapsedMs / 100 % 10));
    drawText(p, stroke * 2, barsBottom + stroke * 4, stroke, clock);
    std::string counter = std::to_string(frame);
    counter.insert(0, counter.size() < 6 ? 6 - counter.size() : 0, '0');
    drawText(p, stroke * 2, barsBottom + stroke * 16, stroke, counter);
}

}  // namespace velmora::companion
