#pragma once

#include <cstdint>
#include <vector>

namespace velmora {

// Shrinks one 8-bit picture plane by area averaging: each output sample is the mean of the input area it
// covers, a partly covered input sample counting for the part covered. A line one input sample wide thus
// stays visible, averaged into its neighbours, instead of falling between the samples taken. Weights are
// 7-bit fractions summing to exactly 128, so a flat area keeps its exact value.
//
// Rows are first blended down to the output's height, then each blended row is shrunk across with a byte
// shuffle per pair of taps over 16 input bytes at a time (a permute over 64 with AVX-512 VBMI); either pass
// multiplies and adds two inputs' bytes by their weights in one instruction. Vector code (SSSE3, AVX2,
// AVX-512, as far as the processor has them) and the plain code give the same bytes.
//
// Threads: one thread at a time (run() uses scratch rows of the object).
class PlaneShrinker {
  public:
    // The largest shrink on either axis: beyond it an output sample covers more inputs than the shuffle
    // reaches.
    static constexpr int kMaxRatio = 7;
    static constexpr int kMaxPairs = (kMaxRatio + 2) / 2;  // pairs of inputs one output covers at most

    // Whether this shrink is one the class does: positive sizes, no axis growing, none shrinking by more than
    // kMaxRatio.
    static bool supports(int srcWidth, int srcHeight, int dstWidth, int dstHeight);

    // Throws std::invalid_argument when !supports(...).
    PlaneShrinker(int srcWidth, int srcHeight, int dstWidth, int dstHeight);

    // The code used at most: each gives the same bytes; the processor's best up to this one is taken.
    enum class Code { plain, ssse3, avx2, avx512, best };

    // Reads srcHeight rows of srcWidth bytes at `src`, writes dstHeight rows of dstWidth bytes at `dst`. The
    // write may run into a row's padding and up to kDstSlack bytes past the end of the last row.
    static constexpr int kDstSlack = 32;
    void run(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride,
             Code code = Code::best);
    // The same for `count` output rows from row `first` (clipped to the plane), written from `dst` on: a band
    // of the picture, so that a caller can convert it while it is still in the cache. `src` is the whole
    // plane's first row.
    void runRows(int first, int count, const std::uint8_t* src, int srcStride, std::uint8_t* dst,
                 int dstStride, Code code = Code::best);

    // How many output rows from the top draw only on the first `srcRows` input rows: those a caller can
    // shrink while the rows below are still being decoded.
    int rowsReadyFrom(int srcRows) const;

    int srcWidth() const { return srcWidth_; }
    int srcHeight() const { return srcHeight_; }
    int dstWidth() const { return dstWidth_; }
    int dstHeight() const { return dstHeight_; }

  private:
    // The input samples one output sample covers: `count` from `first`, weighted.
    struct Span {
        int first = 0;
        int count = 0;
        std::uint16_t weights[kMaxRatio + 1] = {};
    };
    // Up to 8 neighbouring output samples across, all drawn from the 16 input bytes at `src`: per tap, the
    // shuffle that puts each one's input into the low byte of its 16-bit lane, and the lanes' weights.
    struct Block {
        int src = 0;
        int count = 0;
    };

    std::vector<Block> group(int window, int lanes, std::vector<int>& starts) const;
    void blendRows(const std::uint8_t* src, int srcStride, const Span& span, std::uint8_t* out,
                   Code code) const;
    void shrinkRow(const std::uint8_t* in, std::uint8_t* dst, Code code) const;
    void shrinkRowSsse3(const std::uint8_t* in, std::uint8_t* dst) const;
    void shrinkRowAvx2(const std::uint8_t* in, std::uint8_t* dst) const;
    void shrinkRowAvx512(const std::uint8_t* in, std::uint8_t* dst) const;

    int srcWidth_, srcHeight_, dstWidth_, dstHeight_;
    std::vector<Span> rows_;     // per output row
    std::vector<Span> columns_;  // per output column
    int taps_ = 1;               // the most input columns one output column covers
    std::vector<Block> blocks_;
    std::vector<std::uint8_t> shuffles_;  // per pair of blocks, per pair of taps: shuffles, then weights
    std::vector<Block> wideBlocks_;       // up to 32 outputs from 64 input bytes each
    std::vector<std::uint8_t> wide_;      // per wide block, per pair of taps: 64 indices, then 64 weights
    std::vector<std::uint8_t>
        blended_;  // two input-wide rows blended down, each with room for a 64-byte read
};

}  // namespace velmora
