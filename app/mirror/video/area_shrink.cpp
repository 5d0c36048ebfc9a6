#include "app/mirror/video/area_shrink.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <string>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VELMORA_SHRINK_X86 1
#endif

namespace velmora {
namespace {

constexpr int kOne = 256;  // the weights of one output sample sum to this
constexpr int kWindow = 16;
constexpr int kLanes = 8;

// Output sample i covers [i·n, (i+1)·n) in units where input sample j covers [j·m, (j+1)·m): the overlaps are
// whole numbers, and each weight its overlap's share of n. Rounding leaves the sum a little off 256; the
// largest weight takes the difference.
template <typename Span>
std::vector<Span> spans(int n, int m) {
    std::vector<Span> out(static_cast<std::size_t>(m));
    for (int i = 0; i < m; ++i) {
        Span& s = out[static_cast<std::size_t>(i)];
        const std::int64_t begin = static_cast<std::int64_t>(i) * n, end = begin + n;
        s.first = static_cast<int>(begin / m);
        s.count = static_cast<int>((end - 1) / m) - s.first + 1;
        int sum = 0, largest = 0;
        for (int k = 0; k < s.count; ++k) {
            const std::int64_t j = s.first + k;
            const std::int64_t overlap = std::min((j + 1) * m, end) - std::max(j * m, begin);
            s.weights[k] = static_cast<std::uint16_t>((overlap * kOne + n / 2) / n);
            sum += s.weights[k];
            if (s.weights[k] > s.weights[largest]) largest = k;
        }
        s.weights[largest] = static_cast<std::uint16_t>(s.weights[largest] + kOne - sum);
    }
    return out;
}

#if VELMORA_SHRINK_X86
bool hasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

bool hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// Blends N rows into one, 16 (SSE2) or 32 (AVX2) bytes at a time, the weights held in registers; returns how
// far it got (the rest of the row is left to the plain code).
template <int N>
int blendSse2(const std::uint8_t* const* rows, const std::uint16_t* weights, std::uint8_t* out, int width) {
    __m128i w[static_cast<std::size_t>(N)];
    for (int k = 0; k < N; ++k)
        w[k] = _mm_set1_epi16(static_cast<std::int16_t>(weights[k]));
    const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi16(kOne / 2);
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        __m128i low = half, high = half;
        for (int k = 0; k < N; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + x));
            low = _mm_add_epi16(low, _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), w[k]));
            high = _mm_add_epi16(high, _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), w[k]));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_packus_epi16(_mm_srli_epi16(low, 8), _mm_srli_epi16(high, 8)));
    }
    return x;
}

template <int N>
__attribute__((target("avx2"))) int blendAvx2(const std::uint8_t* const* rows, const std::uint16_t* weights,
                                              std::uint8_t* out, int width) {
    __m256i w[static_cast<std::size_t>(N)];
    for (int k = 0; k < N; ++k)
        w[k] = _mm256_set1_epi16(static_cast<std::int16_t>(weights[k]));
    const __m256i zero = _mm256_setzero_si256(), half = _mm256_set1_epi16(kOne / 2);
    int x = 0;
    // Unpacking and packing both work within each 16-byte half, so the bytes come back in order.
    for (; x + 32 <= width; x += 32) {
        __m256i low = half, high = half;
        for (int k = 0; k < N; ++k) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k] + x));
            low = _mm256_add_epi16(low, _mm256_mullo_epi16(_mm256_unpacklo_epi8(v, zero), w[k]));
            high = _mm256_add_epi16(high, _mm256_mullo_epi16(_mm256_unpackhi_epi8(v, zero), w[k]));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            _mm256_packus_epi16(_mm256_srli_epi16(low, 8), _mm256_srli_epi16(high, 8)));
    }
    return x;
}

using Blend = int (*)(const std::uint8_t* const*, const std::uint16_t*, std::uint8_t*, int);
constexpr Blend kBlendSse2[] = {blendSse2<1>, blendSse2<2>, blendSse2<3>, blendSse2<4>,
                                blendSse2<5>, blendSse2<6>, blendSse2<7>, blendSse2<8>};
constexpr Blend kBlendAvx2[] = {blendAvx2<1>, blendAvx2<2>, blendAvx2<3>, blendAvx2<4>,
                                blendAvx2<5>, blendAvx2<6>, blendAvx2<7>, blendAvx2<8>};
#endif

}  // namespace

bool PlaneShrinker::supports(int srcWidth, int srcHeight, int dstWidth, int dstHeight) {
    return dstWidth > 0 && dstHeight > 0 && dstWidth <= srcWidth && dstHeight <= srcHeight &&
           srcWidth <= static_cast<std::int64_t>(dstWidth) * kMaxRatio &&
           srcHeight <= static_cast<std::int64_t>(dstHeight) * kMaxRatio;
}

PlaneShrinker::PlaneShrinker(int srcWidth, int srcHeight, int dstWidth, int dstHeight)
    : srcWidth_(srcWidth), srcHeight_(srcHeight), dstWidth_(dstWidth), dstHeight_(dstHeight) {
    if (!supports(srcWidth, srcHeight, dstWidth, dstHeight))
        throw std::invalid_argument("redução de plano não suportada: " + std::to_string(srcWidth) + "x" +
                                    std::to_string(srcHeight) + " para " + std::to_string(dstWidth) + "x" +
                                    std::to_string(dstHeight));
    rows_ = spans<Span>(srcHeight, dstHeight);
    columns_ = spans<Span>(srcWidth, dstWidth);
    for (const Span& s : columns_)
        taps_ = std::max(taps_, s.count);

    // Greedy blocks: as many neighbouring outputs (up to 8) as draw only on the 16 bytes from the first's.
    std::vector<int> starts;
    for (int x = 0; x < dstWidth;) {
        Block block{columns_[static_cast<std::size_t>(x)].first, 0};
        while (block.count < kLanes && x + block.count < dstWidth) {
            const Span& s = columns_[static_cast<std::size_t>(x + block.count)];
            if (s.first + s.count - block.src > kWindow) break;
            ++block.count;
        }
        blocks_.push_back(block);
        starts.push_back(x);
        x += block.count;
    }
    // Blocks go in pairs, one per half of a 32-byte register; an odd one out gets an empty partner.
    if (blocks_.size() % 2 != 0) {
        blocks_.push_back({blocks_.back().src, 0});
        starts.push_back(dstWidth);
    }
    // Tables per pair, per tap: both blocks' 16 shuffle bytes, then both blocks' 8 weights.
    for (std::size_t pair = 0; pair < blocks_.size(); pair += 2)
        for (int k = 0; k < taps_; ++k)
            for (std::size_t half = 0; half < 2; ++half) {
                const Block& block = blocks_[pair + half];
                for (int lane = 0; lane < kLanes; ++lane) {
                    const Span* s = lane < block.count
                                        ? &columns_[static_cast<std::size_t>(starts[pair + half] + lane)]
                                        : nullptr;
                    const bool used = s && k < s->count;
                    shuffles_.push_back(used ? static_cast<std::uint8_t>(s->first + k - block.src) : 0x80);
                    shuffles_.push_back(0x80);  // the lane's high byte is zero
                    lanes_.push_back(used ? static_cast<std::int16_t>(s->weights[k]) : 0);
                }
            }
    blended_.assign(static_cast<std::size_t>(srcWidth) + kWindow, 0);
}

void PlaneShrinker::run(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, bool simd) {
    for (int y = 0; y < dstHeight_; ++y) {
        blendRows(src, srcStride, rows_[static_cast<std::size_t>(y)], simd);
        shrinkRow(dst + static_cast<std::ptrdiff_t>(y) * dstStride, simd);
    }
}

void PlaneShrinker::blendRows(const std::uint8_t* src, int srcStride, const Span& span, bool simd) {
    const std::uint8_t* rows[kMaxRatio + 1];
    for (int k = 0; k < span.count; ++k)
        rows[k] = src + static_cast<std::ptrdiff_t>(span.first + k) * srcStride;
    std::uint8_t* out = blended_.data();
    int x = 0;
#if VELMORA_SHRINK_X86
    if (simd) {
        const auto n = static_cast<std::size_t>(span.count - 1);
        x = hasAvx2() ? kBlendAvx2[n](rows, span.weights, out, srcWidth_) : 0;
        const std::uint8_t* rest[kMaxRatio + 1];
        for (int k = 0; k < span.count; ++k)
            rest[k] = rows[k] + x;
        x += kBlendSse2[n](rest, span.weights, out + x, srcWidth_ - x);
    }
#endif
    for (; x < srcWidth_; ++x) {
        unsigned sum = kOne / 2;
        for (int k = 0; k < span.count; ++k)
            sum += span.weights[k] * unsigned{rows[k][x]};
        out[x] = static_cast<std::uint8_t>(sum >> 8);
    }
}

#if VELMORA_SHRINK_X86
// Per block: one 16-byte read, then per tap a shuffle into 16-bit lanes and a multiply-add by the lanes'
// weights; 8 bytes are stored, of which the block's own count are kept (the next block writes over the rest).
__attribute__((target("ssse3"))) void PlaneShrinker::shrinkRowSsse3(std::uint8_t* out) const {
    const __m128i half = _mm_set1_epi16(kOne / 2);
    const std::uint8_t* in = blended_.data();
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        const Block& block = blocks_[b];
        const std::size_t table = (b / 2) * static_cast<std::size_t>(taps_), second = b % 2;
        const std::uint8_t* shuffles = shuffles_.data() + table * 2 * kWindow + second * kWindow;
        const std::int16_t* lanes = lanes_.data() + table * 2 * kLanes + second * kLanes;
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + block.src));
        __m128i sum = half;
        for (int k = 0; k < taps_; ++k) {
            const __m128i shuffle = _mm_loadu_si128(reinterpret_cast<const __m128i*>(shuffles));
            const __m128i weights = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes));
            sum = _mm_add_epi16(sum, _mm_mullo_epi16(_mm_shuffle_epi8(v, shuffle), weights));
            shuffles += 2 * kWindow;
            lanes += 2 * kLanes;
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out),
                         _mm_packus_epi16(_mm_srli_epi16(sum, 8), _mm_setzero_si128()));
        out += block.count;
    }
}

// The same, two blocks at once, one in each half of the register.
__attribute__((target("avx2"))) void PlaneShrinker::shrinkRowAvx2(std::uint8_t* out) const {
    const __m256i half = _mm256_set1_epi16(kOne / 2);
    const std::uint8_t* in = blended_.data();
    const std::uint8_t* shuffles = shuffles_.data();
    const std::int16_t* lanes = lanes_.data();
    for (std::size_t b = 0; b < blocks_.size(); b += 2) {
        const Block& first = blocks_[b];
        const Block& second = blocks_[b + 1];
        const __m256i v = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + first.src))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + second.src)), 1);
        __m256i sum = half;
        for (int k = 0; k < taps_; ++k) {
            const __m256i shuffle = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shuffles));
            const __m256i weights = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes));
            sum = _mm256_add_epi16(sum, _mm256_mullo_epi16(_mm256_shuffle_epi8(v, shuffle), weights));
            shuffles += 2 * kWindow;
            lanes += 2 * kLanes;
        }
        const __m256i bytes = _mm256_packus_epi16(_mm256_srli_epi16(sum, 8), _mm256_setzero_si256());
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
        out += first.count;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_extracti128_si256(bytes, 1));
        out += second.count;
    }
}
#endif

void PlaneShrinker::shrinkRow(std::uint8_t* dst, bool simd) const {
#if VELMORA_SHRINK_X86
    if (simd && hasAvx2()) return shrinkRowAvx2(dst);
    if (simd && hasSsse3()) return shrinkRowSsse3(dst);
#endif
    (void)simd;
    for (int x = 0; x < dstWidth_; ++x) {
        const Span& s = columns_[static_cast<std::size_t>(x)];
        unsigned sum = kOne / 2;
        for (int k = 0; k < s.count; ++k)
            sum += s.weights[k] * unsigned{blended_[static_cast<std::size_t>(s.first + k)]};
        dst[x] = static_cast<std::uint8_t>(sum >> 8);
    }
}

}  // namespace velmora
