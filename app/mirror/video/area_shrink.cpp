#include "app/mirror/video/area_shrink.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VELMORA_SHRINK_X86 1
#endif

namespace velmora {
namespace {

// The weights of one output sample sum to this: 7 bits, so that a pair of weights times a pair of bytes
// fits the signed 16-bit sums of the multiply-add instruction (255 × 128 < 32768).
constexpr int kOne = 128;
constexpr int kShift = 7;
constexpr int kWindow = 16;
constexpr int kLanes = 8;
constexpr int kWideWindow = 64;  // the 512-bit byte permute's reach
constexpr int kWideLanes = 32;

// Output sample i covers [i·n, (i+1)·n) in units where input sample j covers [j·m, (j+1)·m): the overlaps are
// whole numbers, and each weight its overlap's share of n. Rounding leaves the sum a little off 128; the
// largest weight takes the difference, and no weight of a shrink reaches 128 (it is a signed byte).
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
        if (s.count > 1 && s.weights[largest] >= kOne) {
            --s.weights[largest];
            ++s.weights[largest == 0 ? 1 : 0];
        }
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

bool hasAvx512() {
    static const bool has = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
    return has;
}

// Rows go in pairs: the bytes of both interleaved, times both weights, summed in one multiply-add.
struct RowPairs {
    const std::uint8_t* rows[PlaneShrinker::kMaxPairs * 2];
    std::int16_t
        weights[PlaneShrinker::kMaxPairs];  // low byte the first row's weight, high byte the second's
};

// Blends P pairs of rows into one, 16 (SSSE3) or 32 (AVX2) bytes at a time, the weights held in registers;
// returns how far it got (the rest of the row is left to the plain code).
template <int P>
__attribute__((target("ssse3"))) int blendSsse3(const RowPairs& in, int from, std::uint8_t* out, int width) {
    __m128i w[static_cast<std::size_t>(P)];
    for (int q = 0; q < P; ++q)
        w[q] = _mm_set1_epi16(in.weights[q]);
    const __m128i half = _mm_set1_epi16(kOne / 2);
    int x = from;
    for (; x + 16 <= width; x += 16) {
        __m128i low = half, high = half;
        for (int q = 0; q < P; ++q) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in.rows[2 * q] + x));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in.rows[2 * q + 1] + x));
            low = _mm_add_epi16(low, _mm_maddubs_epi16(_mm_unpacklo_epi8(a, b), w[q]));
            high = _mm_add_epi16(high, _mm_maddubs_epi16(_mm_unpackhi_epi8(a, b), w[q]));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_packus_epi16(_mm_srli_epi16(low, kShift), _mm_srli_epi16(high, kShift)));
    }
    return x;
}

template <int P>
__attribute__((target("avx2"))) int blendAvx2(const RowPairs& in, int from, std::uint8_t* out, int width) {
    __m256i w[static_cast<std::size_t>(P)];
    for (int q = 0; q < P; ++q)
        w[q] = _mm256_set1_epi16(in.weights[q]);
    const __m256i half = _mm256_set1_epi16(kOne / 2);
    int x = from;
    // Unpacking and packing both work within each 16-byte half, so the bytes come back in order.
    for (; x + 32 <= width; x += 32) {
        __m256i low = half, high = half;
        for (int q = 0; q < P; ++q) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in.rows[2 * q] + x));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in.rows[2 * q + 1] + x));
            low = _mm256_add_epi16(low, _mm256_maddubs_epi16(_mm256_unpacklo_epi8(a, b), w[q]));
            high = _mm256_add_epi16(high, _mm256_maddubs_epi16(_mm256_unpackhi_epi8(a, b), w[q]));
        }
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(out + x),
            _mm256_packus_epi16(_mm256_srli_epi16(low, kShift), _mm256_srli_epi16(high, kShift)));
    }
    return x;
}

using Blend = int (*)(const RowPairs&, int, std::uint8_t*, int);
constexpr Blend kBlendSsse3[] = {blendSsse3<1>, blendSsse3<2>, blendSsse3<3>, blendSsse3<4>};
constexpr Blend kBlendAvx2[] = {blendAvx2<1>, blendAvx2<2>, blendAvx2<3>, blendAvx2<4>};
#endif

// The best code the processor runs, up to `wanted`.
PlaneShrinker::Code level(PlaneShrinker::Code wanted) {
    using Code = PlaneShrinker::Code;
#if VELMORA_SHRINK_X86
    const Code best = hasAvx512()  ? Code::avx512
                      : hasAvx2()  ? Code::avx2
                      : hasSsse3() ? Code::ssse3
                                   : Code::plain;
    return std::min(wanted, best);
#else
    (void)wanted;
    return Code::plain;
#endif
}

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

    // What lane `lane` of a block starting at output `start` reads for `tap`: the input's place from the
    // block's first byte, and its weight; a lane or tap beyond the output's reads `none` with weight 0.
    const auto read = [&](const Block& block, int start, int lane, int tap, std::uint8_t none) {
        const Span* s = lane < block.count ? &columns_[static_cast<std::size_t>(start + lane)] : nullptr;
        const bool used = s && tap < s->count;
        return std::pair{used ? static_cast<std::uint8_t>(s->first + tap - block.src) : none,
                         used ? static_cast<std::uint8_t>(s->weights[tap]) : std::uint8_t{0}};
    };

    std::vector<int> starts;
    blocks_ = group(kWindow, kLanes, starts);
    // Blocks go in pairs, one per half of a 32-byte register; an odd one out gets an empty partner.
    if (blocks_.size() % 2 != 0) {
        blocks_.push_back({blocks_.back().src, 0});
        starts.push_back(dstWidth);
    }
    // Tables per block pair, per pair of taps: both blocks' 16 shuffle bytes (each lane's two input bytes
    // side by side; 0x80 gives a zero byte), then both blocks' 16 weight bytes.
    for (std::size_t pair = 0; pair < blocks_.size(); pair += 2)
        for (int k = 0; k < taps_; k += 2)
            for (const bool weights : {false, true})
                for (std::size_t half = 0; half < 2; ++half)
                    for (int lane = 0; lane < kLanes; ++lane)
                        for (int tap = k; tap < k + 2; ++tap) {
                            const auto [index, weight] =
                                read(blocks_[pair + half], starts[pair + half], lane, tap, 0x80);
                            shuffles_.push_back(weights ? weight : index);
                        }

    // The same for the 512-bit code: blocks of up to 32 outputs from 64 input bytes, per pair of taps 64
    // indices, then 64 weights. The permute has no zeroing index: an unused lane reads byte 0 with weight 0.
    std::vector<int> wideStarts;
    wideBlocks_ = group(kWideWindow, kWideLanes, wideStarts);
    for (std::size_t b = 0; b < wideBlocks_.size(); ++b)
        for (int k = 0; k < taps_; k += 2)
            for (const bool weights : {false, true})
                for (int lane = 0; lane < kWideLanes; ++lane)
                    for (int tap = k; tap < k + 2; ++tap) {
                        const auto [index, weight] = read(wideBlocks_[b], wideStarts[b], lane, tap, 0);
                        wide_.push_back(weights ? weight : index);
                    }
    blended_.assign(2 * (static_cast<std::size_t>(srcWidth) + kWideWindow), 0);
}

// Greedy blocks: as many neighbouring outputs (up to `lanes`) as draw only on the `window` bytes from the
// first one's first input.
std::vector<PlaneShrinker::Block> PlaneShrinker::group(int window, int lanes,
                                                       std::vector<int>& starts) const {
    std::vector<Block> blocks;
    for (int x = 0; x < dstWidth_;) {
        Block block{columns_[static_cast<std::size_t>(x)].first, 0};
        while (block.count < lanes && x + block.count < dstWidth_) {
            const Span& s = columns_[static_cast<std::size_t>(x + block.count)];
            if (s.first + s.count - block.src > window) break;
            ++block.count;
        }
        blocks.push_back(block);
        starts.push_back(x);
        x += block.count;
    }
    return blocks;
}

void PlaneShrinker::run(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride, Code code) {
    runRows(0, dstHeight_, src, srcStride, dst, dstStride, code);
}

void PlaneShrinker::runRows(int first, int count, const std::uint8_t* src, int srcStride, std::uint8_t* dst,
                            int dstStride, Code code) {
    code = level(code);
    first = std::clamp(first, 0, dstHeight_);
    const int end = std::clamp(first + count, first, dstHeight_);
    const auto rowOut = [&](int y) { return dst + static_cast<std::ptrdiff_t>(y - first) * dstStride; };
    const auto span = [&](int y) -> const Span& { return rows_[static_cast<std::size_t>(y)]; };
    if (dstWidth_ == srcWidth_) {
        // Nothing to shrink across: rows are blended straight into place.
        for (int y = first; y < end; ++y)
            blendRows(src, srcStride, span(y), rowOut(y), code);
        return;
    }
    // Two blended rows in turn: the next row is blended before the last one is shrunk, so the shrink's
    // unaligned reads do not wait on the blend's stores just made to the same bytes.
    const std::size_t size = blended_.size() / 2;
    const auto buffer = [&](int y) { return blended_.data() + (static_cast<std::size_t>(y) % 2) * size; };
    if (first < end) blendRows(src, srcStride, span(first), buffer(first), code);
    for (int y = first; y < end; ++y) {
        if (y + 1 < end) blendRows(src, srcStride, span(y + 1), buffer(y + 1), code);
        shrinkRow(buffer(y), rowOut(y), code);
    }
}

int PlaneShrinker::rowsReadyFrom(int srcRows) const {
    // Output rows draw on input rows in order, so the rows within reach are a prefix.
    const auto past = std::partition_point(rows_.begin(), rows_.end(),
                                           [srcRows](const Span& s) { return s.first + s.count <= srcRows; });
    return static_cast<int>(past - rows_.begin());
}

void PlaneShrinker::blendRows(const std::uint8_t* src, int srcStride, const Span& span, std::uint8_t* out,
                              Code code) const {
    const std::uint8_t* rows[kMaxRatio + 1];
    for (int k = 0; k < span.count; ++k)
        rows[k] = src + static_cast<std::ptrdiff_t>(span.first + k) * srcStride;
    if (span.count == 1) {
        std::memcpy(out, rows[0], static_cast<std::size_t>(srcWidth_));
        return;
    }
    int x = 0;
#if VELMORA_SHRINK_X86
    if (code >= Code::ssse3) {
        RowPairs pairs{};
        const int count = (span.count + 1) / 2;
        for (int q = 0; q < count; ++q) {
            const int second = 2 * q + 1 < span.count ? 2 * q + 1 : 2 * q;  // its weight is 0 then
            pairs.rows[2 * q] = rows[2 * q];
            pairs.rows[2 * q + 1] = rows[second];
            const int w0 = span.weights[2 * q], w1 = second != 2 * q ? span.weights[second] : 0;
            pairs.weights[q] = static_cast<std::int16_t>(w0 | (w1 << 8));
        }
        const auto n = static_cast<std::size_t>(count - 1);
        const int step = code >= Code::avx2 ? 32 : 16;
        const Blend blend = code >= Code::avx2 ? kBlendAvx2[n] : kBlendSsse3[n];
        x = blend(pairs, 0, out, srcWidth_);
        // The rest of the row: one more step ending at its last byte, over bytes already blended (each
        // column's result depends on that column alone).
        if (x < srcWidth_ && srcWidth_ >= step) x = blend(pairs, srcWidth_ - step, out, srcWidth_);
        if (x < srcWidth_) x = kBlendSsse3[n](pairs, x, out, srcWidth_);
        if (x < srcWidth_ && srcWidth_ >= 16) x = kBlendSsse3[n](pairs, srcWidth_ - 16, out, srcWidth_);
    }
#endif
    for (; x < srcWidth_; ++x) {
        unsigned sum = kOne / 2;
        for (int k = 0; k < span.count; ++k)
            sum += span.weights[k] * unsigned{rows[k][x]};
        out[x] = static_cast<std::uint8_t>(sum >> kShift);
    }
}

#if VELMORA_SHRINK_X86
// Per block: one 16-byte read, then per pair of taps a shuffle that sets each lane's two input bytes side by
// side and a multiply-add by their weights; 8 bytes are stored, of which the block's own count are kept (the
// next block writes over the rest).
__attribute__((target("ssse3"))) void PlaneShrinker::shrinkRowSsse3(const std::uint8_t* in,
                                                                    std::uint8_t* out) const {
    const __m128i half = _mm_set1_epi16(kOne / 2);
    const std::size_t pairs = static_cast<std::size_t>(taps_ + 1) / 2;
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        const Block& block = blocks_[b];
        const std::uint8_t* table = shuffles_.data() + (b / 2) * pairs * 4 * kWindow + (b % 2) * kWindow;
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + block.src));
        __m128i sum = half;
        for (std::size_t q = 0; q < pairs; ++q, table += 4 * kWindow) {
            const __m128i shuffle = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table));
            const __m128i weights = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 2 * kWindow));
            sum = _mm_add_epi16(sum, _mm_maddubs_epi16(_mm_shuffle_epi8(v, shuffle), weights));
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out),
                         _mm_packus_epi16(_mm_srli_epi16(sum, kShift), _mm_setzero_si128()));
        out += block.count;
    }
}

// The same, two blocks at once, one in each half of the register.
__attribute__((target("avx2"))) void PlaneShrinker::shrinkRowAvx2(const std::uint8_t* in,
                                                                  std::uint8_t* out) const {
    const __m256i half = _mm256_set1_epi16(kOne / 2);
    const std::uint8_t* table = shuffles_.data();
    const int pairs = (taps_ + 1) / 2;
    for (std::size_t b = 0; b < blocks_.size(); b += 2) {
        const Block& first = blocks_[b];
        const Block& second = blocks_[b + 1];
        const __m256i v = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + first.src))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + second.src)), 1);
        __m256i sum = half;
        for (int q = 0; q < pairs; ++q, table += 4 * kWindow) {
            const __m256i shuffle = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(table));
            const __m256i weights = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(table + 2 * kWindow));
            sum = _mm256_add_epi16(sum, _mm256_maddubs_epi16(_mm256_shuffle_epi8(v, shuffle), weights));
        }
        const __m256i bytes = _mm256_packus_epi16(_mm256_srli_epi16(sum, kShift), _mm256_setzero_si256());
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
        out += first.count;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_extracti128_si256(bytes, 1));
        out += second.count;
    }
}

// Up to 32 outputs at once: one 64-byte read, then per pair of taps a byte permute across all 64 bytes and
// a multiply-add; 32 bytes are stored, of which the block's own count are kept.
__attribute__((target("avx512bw,avx512vbmi"))) void PlaneShrinker::shrinkRowAvx512(const std::uint8_t* in,
                                                                                   std::uint8_t* out) const {
    // The masked forms, all lanes on: the plain ones start from an undefined register GCC 12 warns about.
    constexpr __mmask64 kAll64 = ~__mmask64{0};
    constexpr __mmask32 kAll32 = ~__mmask32{0};
    const __m512i half = _mm512_set1_epi16(kOne / 2);
    const std::uint8_t* table = wide_.data();
    const int pairs = (taps_ + 1) / 2;
    for (const Block& block : wideBlocks_) {
        const __m512i v = _mm512_loadu_si512(in + block.src);
        __m512i sum = half;
        for (int q = 0; q < pairs; ++q, table += 2 * kWideWindow) {
            const __m512i index = _mm512_loadu_si512(table);
            const __m512i weights = _mm512_loadu_si512(table + kWideWindow);
            sum = _mm512_add_epi16(
                sum, _mm512_maddubs_epi16(_mm512_maskz_permutexvar_epi8(kAll64, index, v), weights));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                            _mm512_maskz_cvtepi16_epi8(kAll32, _mm512_srli_epi16(sum, kShift)));
        out += block.count;
    }
}
#endif

void PlaneShrinker::shrinkRow(const std::uint8_t* in, std::uint8_t* dst, Code code) const {
#if VELMORA_SHRINK_X86
    if (code == Code::avx512) return shrinkRowAvx512(in, dst);
    if (code == Code::avx2) return shrinkRowAvx2(in, dst);
    if (code == Code::ssse3) return shrinkRowSsse3(in, dst);
#endif
    for (int x = 0; x < dstWidth_; ++x) {
        const Span& s = columns_[static_cast<std::size_t>(x)];
        unsigned sum = kOne / 2;
        for (int k = 0; k < s.count; ++k)
            sum += s.weights[k] * unsigned{in[s.first + k]};
        dst[x] = static_cast<std::uint8_t>(sum >> kShift);
    }
}

}  // namespace velmora
