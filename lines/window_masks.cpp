#include "lines/window_masks.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "base/always_inline.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define VELUNT_HAVE_SSE2 1
#endif
// With GCC or Clang on x86-64 an AVX2 variant is chosen at run time where
// the processor has it; the build itself stays for any x86-64.
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define VELUNT_HAVE_AVX2_VARIANT 1
// Vectors pass only between functions inlined into one another, so their
// calling convention does not matter.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace velunt {
namespace {

// The byte masks of a run of windows, one word per window and kind of byte
// (bit i: byte i of the window is a CR, an LF ...). Slot kThis holds the
// first window of the run, kThis - 1 the window before it, and the slot
// after the run's last window the window after it, so that every window's
// neighbours are plain loads.
struct WindowWords {
    static constexpr int kRun = 32, kThis = 1;
    std::uint64_t cr[kRun + 2], lf[kRun + 2], space[kRun + 2], zero[kRun + 2], digit[kRun + 2];

    // Bytes past the end of the data in the last window do not count.
    void keepValid(int slot, size_t valid) {
        const std::uint64_t keep = (std::uint64_t{1} << valid) - 1;
        for (std::uint64_t* kind : {cr, lf, space, zero, digit}) kind[slot] &= keep;
    }
};

// W: the mask word of one window (std::uint64_t), or those of the windows
// from a slot on, one per lane.
template <typename W>
VELUNT_ALWAYS_INLINE W lanes(const std::uint64_t* slot) {
    W v;
    std::memcpy(&v, slot, sizeof v);
    return v;
}
template <typename W>
VELUNT_ALWAYS_INLINE void store(std::uint64_t* to, const W& v) {
    std::memcpy(to, &v, sizeof v);
}

// The masks of `windows` whole windows from `p` into the slots from `slot`
// on, with one compare per kind of byte over each Chunk of a window. The
// digits only where the code lines are wanted.
template <typename Chunk, bool kDigits>
VELUNT_ALWAYS_INLINE void loadWords(WindowWords& words, int slot, const char* p, int windows) {
    for (int w = slot; w < slot + windows; ++w, p += 64) {
        for (int at = 0; at < 64; at += Chunk::kBytes) {
            const Chunk chunk(p + at);
            // The chunk's bits go straight to their bytes of the words (x86
            // is little-endian where a chunk is less than a window).
            const auto put = [w, at](std::uint64_t* kind, std::uint64_t bits) {
                std::memcpy(reinterpret_cast<char*>(kind + w) + at / 8, &bits, Chunk::kBytes / 8);
            };
            put(words.cr, chunk.equal('\r'));
            put(words.lf, chunk.equal('\n'));
            put(words.space, chunk.equal(' '));
            put(words.zero, chunk.equal('0'));
            if constexpr (kDigits) put(words.digit, chunk.digits());
        }
    }
}

// A whole window a byte at a time: the reference every other chunk is
// tested against.
struct PlainChunk {
    static constexpr int kBytes = 64;
    const char* p;
    explicit PlainChunk(const char* bytes) : p(bytes) {}
    template <typename Is>
    std::uint64_t bitsWhere(Is is) const {
        std::uint64_t bits = 0;
        for (int i = 0; i < 64; ++i) bits |= static_cast<std::uint64_t>(is(p[i])) << i;
        return bits;
    }
    std::uint64_t equal(char c) const {
        return bitsWhere([c](char byte) { return byte == c; });
    }
    std::uint64_t digits() const {
        return bitsWhere([](char byte) { return static_cast<unsigned char>(byte - '0') < 10; });
    }
};

#ifdef VELUNT_HAVE_SSE2
struct Sse2Chunk {
    static constexpr int kBytes = 16;
    __m128i v;
    explicit Sse2Chunk(const char* p) : v(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))) {}
    static std::uint64_t bits(__m128i hits) {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
    }
    std::uint64_t equal(char c) const { return bits(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))); }
    // A digit: its distance above "0" is at most 9, unsigned.
    std::uint64_t digits() const {
        const __m128i above = _mm_sub_epi8(v, _mm_set1_epi8('0'));
        return bits(_mm_cmpeq_epi8(_mm_min_epu8(above, _mm_set1_epi8(9)), above));
    }
};
#endif

#ifdef VELUNT_HAVE_AVX2_VARIANT
// The mask words of four windows, one per lane.
using FourWords = std::uint64_t __attribute__((vector_size(32)));

bool hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// The chunk's functions are built for AVX2; the entry point below is
// flattened, so they are inlined there, into code built for AVX2 too.
#define VELUNT_AVX2 __attribute__((target("avx2")))

struct Avx2Chunk {
    static constexpr int kBytes = 32;
    __m256i v;
    VELUNT_AVX2 explicit Avx2Chunk(const char* p)
        : v(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))) {}
    VELUNT_AVX2 static std::uint64_t bits(__m256i hits) {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(hits));
    }
    VELUNT_AVX2 std::uint64_t equal(char c) const {
        return bits(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(c)));
    }
    // A digit: moved down by "0" + 128, it is one of the ten lowest signed bytes.
    VELUNT_AVX2 std::uint64_t digits() const {
        const __m256i shifted = _mm256_add_epi8(v, _mm256_set1_epi8(static_cast<char>(-'0' - 128)));
        return bits(_mm256_cmpgt_epi8(_mm256_set1_epi8(-128 + 10), shifted));
    }
};

// AVX2's window loop with the bytes compared 64 at a time, where the
// processor has AVX-512BW: a compare gives a window's mask word directly.
#define VELUNT_AVX512 __attribute__((target("avx2,avx512f,avx512bw")))

bool hasAvx512() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return has;
}

struct Avx512Chunk {
    static constexpr int kBytes = 64;
    __m512i v;
    VELUNT_AVX512 explicit Avx512Chunk(const char* p) : v(_mm512_loadu_si512(p)) {}
    VELUNT_AVX512 std::uint64_t equal(char c) const {
        return _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(c));
    }
    // A digit: its distance above "0" is below 10, unsigned.
    VELUNT_AVX512 std::uint64_t digits() const {
        return _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, _mm512_set1_epi8('0')),
                                      _mm512_set1_epi8(10));
    }
};

// Lane i is lane i - 1 of `v`, lane 0 the last lane of `before`.
VELUNT_ALWAYS_INLINE FourWords lanesUp(const FourWords& v, const FourWords& before) {
    return __builtin_shufflevector(v, before, 7, 0, 1, 2);
}

VELUNT_ALWAYS_INLINE std::uint64_t lastLane(const FourWords& v) { return v[3]; }

// The code-line ends of four windows, one vector per kind, and their
// parities stored as the four windows' CodeLineMasks: pairs of kinds
// interleaved, then halves put together.
VELUNT_ALWAYS_INLINE void storeCodeLines(CodeLineMasks* to, const FourWords (&ends)[4],
                                         const FourWords& parity) {
    const FourWords evenAB = __builtin_shufflevector(ends[0], ends[1], 0, 4, 2, 6);
    const FourWords oddAB = __builtin_shufflevector(ends[0], ends[1], 1, 5, 3, 7);
    const FourWords evenCD = __builtin_shufflevector(ends[2], ends[3], 0, 4, 2, 6);
    const FourWords oddCD = __builtin_shufflevector(ends[2], ends[3], 1, 5, 3, 7);
    store(&to[0].standard, __builtin_shufflevector(evenAB, evenCD, 0, 1, 4, 5));
    store(&to[1].standard, __builtin_shufflevector(oddAB, oddCD, 0, 1, 4, 5));
    store(&to[2].standard, __builtin_shufflevector(evenAB, evenCD, 2, 3, 6, 7));
    store(&to[3].standard, __builtin_shufflevector(oddAB, oddCD, 2, 3, 6, 7));
    to[0].lineEndParity = parity[0], to[1].lineEndParity = parity[1];
    to[2].lineEndParity = parity[2], to[3].lineEndParity = parity[3];
}
#endif

// The same for one window.
VELUNT_ALWAYS_INLINE std::uint64_t lanesUp(std::uint64_t, std::uint64_t before) { return before; }
VELUNT_ALWAYS_INLINE std::uint64_t lastLane(std::uint64_t v) { return v; }
VELUNT_ALWAYS_INLINE void storeCodeLines(CodeLineMasks* to, const std::uint64_t (&ends)[4],
                                         std::uint64_t parity) {
    *to = {ends[0], ends[1], ends[2], ends[3], parity};
}

// Bit i of the result is bit i + k of the 128 bits `next`:`low`.
template <typename W>
VELUNT_ALWAYS_INLINE W shiftIn(const W& low, const W& next, int k) {
    return (low >> k) | (next << (64 - k));
}

// KeyShape as masks: all ones where a key may have any byte (no space, or
// no "0", shared by every key there).
template <typename W>
struct AnyByte {
    W space[3], zero[3];
    explicit AnyByte(const KeyShape& shape) {
        for (int j = 0; j < 3; ++j) {
            space[j] = W{} + (shape.space[j] ? 0 : ~std::uint64_t{0});
            zero[j] = W{} + (shape.zero[j] ? 0 : ~std::uint64_t{0});
        }
    }
};

struct MaskArrays {
    std::uint64_t *lineEnds, *objectStarts, *keyCandidates;
    CodeLineMasks* codeLines;
};

// The masks of the windows from slot `at` on (window `w` on in `out`): the
// one formula every variant computes, for one window or for one per lane.
// `before`: per kind of code line, its starts in the windows before, the
// window just before in the last lane; the starts of these windows on return.
template <typename W, bool kCodes>
VELUNT_ALWAYS_INLINE void combine(const WindowWords& words, int at, const AnyByte<W>& any,
                                  W (&before)[4], const MaskArrays& out, size_t w) {
    // A line ends at each CR and at each LF that does not follow a CR; it
    // starts after each LF and after each CR that no LF follows.
    const W cr = lanes<W>(words.cr + at), lf = lanes<W>(words.lf + at);
    const W crBefore = (cr << 1) | (lanes<W>(words.cr + at - 1) >> 63);
    const W lfBefore = (lf << 1) | (lanes<W>(words.lf + at - 1) >> 63);
    const W lineEnds = cr | (lf & ~crBefore);
    store(out.lineEnds + w, lineEnds);
    const W lineStart = lfBefore | (crBefore & ~lf);
    const W terminator = cr | lf;
    const W nextTerminator = lanes<W>(words.cr + at + 1) | lanes<W>(words.lf + at + 1);
    // Lines of three bytes; those that are exactly "  0"; and those that
    // have the bytes all keys share.
    const W threeByteLines = lineStart & shiftIn(terminator, nextTerminator, 3);
    const W space = lanes<W>(words.space + at), nextSpace = lanes<W>(words.space + at + 1);
    const W zero = lanes<W>(words.zero + at), nextZero = lanes<W>(words.zero + at + 1);
    const W spaceAt[3] = {space, shiftIn(space, nextSpace, 1), shiftIn(space, nextSpace, 2)};
    const W zeroAt[3] = {zero, shiftIn(zero, nextZero, 1), shiftIn(zero, nextZero, 2)};
    store(out.objectStarts + w, threeByteLines & spaceAt[0] & spaceAt[1] & zeroAt[2]);
    W candidates = threeByteLines;
    for (int j = 0; j < 3; ++j)
        candidates &= (any.space[j] | spaceAt[j]) & (any.zero[j] | zeroAt[j]);
    store(out.keyCandidates + w, candidates);
    if constexpr (kCodes) {
        const W digit = lanes<W>(words.digit + at), nextDigit = lanes<W>(words.digit + at + 1);
        const W digitAt[3] = {digit, shiftIn(digit, nextDigit, 1), shiftIn(digit, nextDigit, 2)};
        const W oneByteLines = lineStart & shiftIn(terminator, nextTerminator, 1);
        const W twoByteLines = lineStart & shiftIn(terminator, nextTerminator, 2);
        // Where the code lines start, in the order of CodeLineMasks. "  0",
        // " 10", "100": a digit last; a digit in the middle after a space or
        // a digit, or two spaces before it.
        const W starts[4] = {
            threeByteLines & digitAt[2] &
                ((digitAt[1] & (spaceAt[0] | digitAt[0])) | (spaceAt[1] & spaceAt[0])),
            oneByteLines & digitAt[0], twoByteLines & digitAt[0] & digitAt[1],
            oneByteLines & zeroAt[0]};
        // Each kind moved to its line ends by its length, the starts of the
        // window before each coming in from below.
        constexpr int kLengths[4] = {3, 1, 2, 1};
        W ends[4];
        for (int k = 0; k < 4; ++k) {
            ends[k] =
                (starts[k] << kLengths[k]) | (lanesUp(starts[k], before[k]) >> (64 - kLengths[k]));
            before[k] = starts[k];
        }
        W parity = lineEnds;
        for (int shift = 1; shift < 64; shift *= 2) parity ^= parity << shift;
        storeCodeLines(out.codeLines + w, ends, parity);
    }
}

// The window loop, the same for every variant: runs of windows loaded with
// Chunk, combined W at a time and the rest one by one. Inlined into each
// variant's entry point below, so that it is compiled for that entry
// point's instruction set.
template <typename W, typename Chunk, bool kCodes>
VELUNT_ALWAYS_INLINE void windowLoop(const char* block, size_t length, bool lineStartsAtBlock,
                                     const KeyShape& shape, const MaskArrays& out) {
    constexpr int kThis = WindowWords::kThis, kLanes = sizeof(W) / 8;
    const size_t windows = (length + 63) / 64;
    if (windows == 0) return;
    const AnyByte<W> any(shape);
    const AnyByte<std::uint64_t> anyOne(shape);
    WindowWords words{};
    // The line start at the block goes in as an LF before it.
    words.cr[kThis - 1] = 0;
    words.lf[kThis - 1] = lineStartsAtBlock ? std::uint64_t{1} << 63 : 0;
    const auto load = [&](int slot, size_t first, size_t count) {
        loadWords<Chunk, kCodes>(words, slot, block + first * 64, static_cast<int>(count));
        if (first + count == windows && length % 64 != 0)
            words.keepValid(slot + static_cast<int>(count) - 1, length % 64);
    };
    load(kThis, 0, 1);
    const MaskArrays to = out;  // a local copy: no store below changes it
    W before[4] = {};
    for (size_t w = 0; w < windows;) {
        const int n = static_cast<int>(std::min<size_t>(WindowWords::kRun, windows - w));
        // The run's windows after its first, and the window after the run.
        const size_t after = std::min<size_t>(n, windows - w - 1);
        load(kThis + 1, w + 1, after);
        if (static_cast<int>(after) < n) words.keepValid(kThis + n, 0);
        int g = 0;
        for (; g + kLanes <= n; g += kLanes)
            combine<W, kCodes>(words, kThis + g, any, before, to, w + g);
        // Only the block's last run may leave windows that fill no W.
        if (g < n) {
            std::uint64_t lastBefore[4];
            for (int k = 0; k < 4; ++k) lastBefore[k] = lastLane(before[k]);
            for (; g < n; ++g)
                combine<std::uint64_t, kCodes>(words, kThis + g, anyOne, lastBefore, to, w + g);
        }
        for (std::uint64_t* kind : {words.cr, words.lf, words.space, words.zero, words.digit})
            kind[kThis - 1] = kind[kThis + n - 1], kind[kThis] = kind[kThis + n];
        w += static_cast<size_t>(n);
    }
}

// Each variant runs the loop with and without the code-line masks, so that
// a reader that does not pair group codes pays nothing for them.
template <typename W, typename Chunk>
VELUNT_ALWAYS_INLINE void masksWith(const char* block, size_t length, bool lineStartsAtBlock,
                                    const KeyShape& shape, const MaskArrays& out) {
    if (out.codeLines) {
        windowLoop<W, Chunk, true>(block, length, lineStartsAtBlock, shape, out);
    } else {
        windowLoop<W, Chunk, false>(block, length, lineStartsAtBlock, shape, out);
    }
}

#ifdef VELUNT_HAVE_AVX2_VARIANT
__attribute__((target("avx2"), flatten)) void masksAvx2(const char* block, size_t length,
                                                        bool lineStarts, const KeyShape& shape,
                                                        const MaskArrays& out) {
    masksWith<FourWords, Avx2Chunk>(block, length, lineStarts, shape, out);
}
VELUNT_AVX512 __attribute__((flatten)) void masksAvx512(const char* block, size_t length,
                                                        bool lineStarts, const KeyShape& shape,
                                                        const MaskArrays& out) {
    masksWith<FourWords, Avx512Chunk>(block, length, lineStarts, shape, out);
}
#undef VELUNT_AVX2
#undef VELUNT_AVX512
#endif

}  // namespace

std::vector<MaskVariant> AvailableMaskVariants() {
    std::vector<MaskVariant> variants = {MaskVariant::Scalar};
#ifdef VELUNT_HAVE_SSE2
    variants.push_back(MaskVariant::Sse2);
#endif
#ifdef VELUNT_HAVE_AVX2_VARIANT
    if (hasAvx2()) variants.push_back(MaskVariant::Avx2);
    if (hasAvx2() && hasAvx512()) variants.push_back(MaskVariant::Avx512);
#endif
    return variants;
}

MaskVariant BestMaskVariant() {
    const MaskVariant best = AvailableMaskVariants().back();
#ifdef VELUNT_CAP_MASK_VARIANT  // bench builds that measure a plainer variant
    return std::min(best, MaskVariant::VELUNT_CAP_MASK_VARIANT);
#else
    return best;
#endif
}

void ComputeWindowMasks(MaskVariant variant, const char* bytes, size_t length,
                        bool lineStartsAtBlock, const KeyShape& shape, std::uint64_t* lineEnds,
                        std::uint64_t* objectStarts, std::uint64_t* keyCandidates,
                        CodeLineMasks* codeLines) {
    const MaskArrays out{lineEnds, objectStarts, keyCandidates, codeLines};
    switch (variant) {
#ifdef VELUNT_HAVE_AVX2_VARIANT
        case MaskVariant::Avx2:
            assert(hasAvx2());
            return masksAvx2(bytes, length, lineStartsAtBlock, shape, out);
        case MaskVariant::Avx512:
            assert(hasAvx2() && hasAvx512());
            return masksAvx512(bytes, length, lineStartsAtBlock, shape, out);
#endif
#ifdef VELUNT_HAVE_SSE2
        case MaskVariant::Sse2:
            return masksWith<std::uint64_t, Sse2Chunk>(bytes, length, lineStartsAtBlock, shape,
                                                       out);
#endif
        default:  // Scalar, the only variant every build has
            return masksWith<std::uint64_t, PlainChunk>(bytes, length, lineStartsAtBlock, shape,
                                                        out);
    }
}

}  // namespace velunt
