#include "lines/window_masks.h"

#include <cassert>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define VELUNT_HAVE_SSE2 1
#endif
// With GCC or Clang on x86-64 an AVX2 variant is chosen at run time where
// the processor has it; the build itself stays for any x86-64.
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define VELUNT_HAVE_AVX2_VARIANT 1
#endif

#if defined(__GNUC__)
#define VELUNT_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define VELUNT_ALWAYS_INLINE inline
#endif

namespace velunt {
namespace {

// One bit per byte of a 64-byte window for each byte value the reader
// looks for.
struct ByteMasks {
    std::uint64_t cr = 0, lf = 0, space = 0, zero = 0, digit = 0;
};

inline ByteMasks byteMasksScalar(const char* p) {
    ByteMasks m;
    for (int i = 0; i < 64; ++i) {
        m.cr |= static_cast<std::uint64_t>(p[i] == '\r') << i;
        m.lf |= static_cast<std::uint64_t>(p[i] == '\n') << i;
        m.space |= static_cast<std::uint64_t>(p[i] == ' ') << i;
        m.zero |= static_cast<std::uint64_t>(p[i] == '0') << i;
        m.digit |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[i] - '0') < 10) << i;
    }
    return m;
}

#ifdef VELUNT_HAVE_SSE2
inline ByteMasks byteMasksSse2(const char* p) {
    ByteMasks m;
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i nine = _mm_set1_epi8(9);
    const auto bits = [](__m128i hits) {
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(hits)));
    };
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        m.cr |= bits(_mm_cmpeq_epi8(v, cr)) << (16 * i);
        m.lf |= bits(_mm_cmpeq_epi8(v, lf)) << (16 * i);
        m.space |= bits(_mm_cmpeq_epi8(v, space)) << (16 * i);
        m.zero |= bits(_mm_cmpeq_epi8(v, zero)) << (16 * i);
        // A digit: its distance above "0" is at most 9, unsigned.
        const __m128i above = _mm_sub_epi8(v, zero);
        m.digit |= bits(_mm_cmpeq_epi8(_mm_min_epu8(above, nine), above)) << (16 * i);
    }
    return m;
}
#endif

#ifdef VELUNT_HAVE_AVX2_VARIANT
__attribute__((target("avx2"))) inline ByteMasks byteMasksAvx2(const char* p) {
    ByteMasks m;
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i space = _mm256_set1_epi8(' ');
    const __m256i zero = _mm256_set1_epi8('0');
    const __m256i nine = _mm256_set1_epi8(9);
    const auto bits = [](__m256i hits) __attribute__((target("avx2"))) {
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(hits)));
    };
    for (int i = 0; i < 2; ++i) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * i));
        m.cr |= bits(_mm256_cmpeq_epi8(v, cr)) << (32 * i);
        m.lf |= bits(_mm256_cmpeq_epi8(v, lf)) << (32 * i);
        m.space |= bits(_mm256_cmpeq_epi8(v, space)) << (32 * i);
        m.zero |= bits(_mm256_cmpeq_epi8(v, zero)) << (32 * i);
        const __m256i above = _mm256_sub_epi8(v, zero);
        m.digit |= bits(_mm256_cmpeq_epi8(_mm256_min_epu8(above, nine), above)) << (32 * i);
    }
    return m;
}

bool hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

// Bytes past the end of the data in the last window do not count.
inline ByteMasks keepValid(ByteMasks m, size_t valid) {
    if (valid < 64) {
        const std::uint64_t keep = (std::uint64_t{1} << valid) - 1;
        m.cr &= keep, m.lf &= keep, m.space &= keep, m.zero &= keep, m.digit &= keep;
    }
    return m;
}

// Bit i of the result is bit i + k of the 128 bits `next`:`low`.
inline std::uint64_t shiftIn(std::uint64_t low, std::uint64_t next, int k) {
    return (low >> k) | (next << (64 - k));
}

// What one window carries over to the next.
struct WindowCarry {
    std::uint64_t previousCr;             // a CR in the last byte of the window before
    std::uint64_t previousTerminatorEnd;  // a line ends at that byte
    CodeLineMasks previousStarts;         // code lines that began in the window before
};

// KeyShape as masks: all ones where every key has a space (or a "0").
struct KeyMasks {
    std::uint64_t space[3] = {};
    std::uint64_t zero[3] = {};
};

// Bits at line starts moved to the line ends `length` bytes later.
inline std::uint64_t startsToEnds(std::uint64_t starts, std::uint64_t previousStarts, int length) {
    return (starts << length) | (previousStarts >> (64 - length));
}

// The masks of one window from the byte masks of it and of the next.
template <bool kWithCodeLines>
VELUNT_ALWAYS_INLINE void combineWindow(const ByteMasks& current, const ByteMasks& next,
                                        const KeyMasks& keys, WindowCarry& carry,
                                        std::uint64_t& lineEnds, std::uint64_t& objectStarts,
                                        std::uint64_t& keyCandidates, CodeLineMasks& codeLines) {
    // Line ends: each CR, and each LF that does not follow a CR.
    lineEnds = current.cr | (current.lf & ~((current.cr << 1) | carry.previousCr));
    carry.previousCr = current.cr >> 63;
    // The last byte of each line end (the LF of a CR LF pair), and so the
    // first byte of each line.
    const std::uint64_t lfAfter = shiftIn(current.lf, next.lf, 1);
    const std::uint64_t terminatorEnd = current.lf | (current.cr & ~lfAfter);
    const std::uint64_t lineStart = (terminatorEnd << 1) | carry.previousTerminatorEnd;
    carry.previousTerminatorEnd = terminatorEnd >> 63;
    // Lines of three bytes; those that are exactly "  0"; and those that
    // have the bytes all keys share.
    const std::uint64_t threeByteLines =
        lineStart & shiftIn(current.cr | current.lf, next.cr | next.lf, 3);
    const std::uint64_t spaceAt[3] = {current.space, shiftIn(current.space, next.space, 1),
                                      shiftIn(current.space, next.space, 2)};
    const std::uint64_t zeroAt[3] = {current.zero, shiftIn(current.zero, next.zero, 1),
                                     shiftIn(current.zero, next.zero, 2)};
    objectStarts = threeByteLines & spaceAt[0] & spaceAt[1] & zeroAt[2];
    keyCandidates = threeByteLines;
    for (int j = 0; j < 3; ++j)
        keyCandidates &= (~keys.space[j] | spaceAt[j]) & (~keys.zero[j] | zeroAt[j]);
    if constexpr (kWithCodeLines) {
        const std::uint64_t terminator = current.cr | current.lf;
        const std::uint64_t nextTerminator = next.cr | next.lf;
        const std::uint64_t digitAt[3] = {current.digit, shiftIn(current.digit, next.digit, 1),
                                          shiftIn(current.digit, next.digit, 2)};
        const std::uint64_t oneByteLines = lineStart & shiftIn(terminator, nextTerminator, 1);
        const std::uint64_t twoByteLines = lineStart & shiftIn(terminator, nextTerminator, 2);
        CodeLineMasks starts;
        // "  0", " 10", "100": a digit last; a digit in the middle after a
        // space or a digit, or two spaces before it.
        starts.standard = threeByteLines & digitAt[2] &
                          ((digitAt[1] & (spaceAt[0] | digitAt[0])) | (spaceAt[1] & spaceAt[0]));
        starts.oneDigit = oneByteLines & digitAt[0];
        starts.twoDigits = twoByteLines & digitAt[0] & digitAt[1];
        starts.zero = oneByteLines & zeroAt[0];
        const CodeLineMasks& before = carry.previousStarts;
        codeLines.standard = startsToEnds(starts.standard, before.standard, 3);
        codeLines.oneDigit = startsToEnds(starts.oneDigit, before.oneDigit, 1);
        codeLines.twoDigits = startsToEnds(starts.twoDigits, before.twoDigits, 2);
        codeLines.zero = startsToEnds(starts.zero, before.zero, 1);
        carry.previousStarts = starts;
    }
}

// The window loop, the same for every variant. It is inlined into each
// variant's entry point below, so that it, and the byte-mask function with
// it, is compiled for that entry point's instruction set.
template <ByteMasks (*kByteMasks)(const char*), bool kWithCodeLines>
VELUNT_ALWAYS_INLINE void windowLoop(const char* block, size_t length, bool lineStartsAtBlock,
                                     const KeyMasks& keys, std::uint64_t* lineEnds,
                                     std::uint64_t* objectStarts, std::uint64_t* keyCandidates,
                                     CodeLineMasks* codeLines) {
    const size_t windows = (length + 63) / 64;
    const KeyMasks shape = keys;  // a local copy: no store below can change it
    WindowCarry carry{0, lineStartsAtBlock ? 1u : 0u, {}};
    ByteMasks current = keepValid(kByteMasks(block), length);
    for (size_t w = 0; w < windows; ++w) {
        ByteMasks next;
        if (w + 1 < windows)
            next = keepValid(kByteMasks(block + (w + 1) * 64), length - (w + 1) * 64);
        std::uint64_t ends, starts, candidates;
        CodeLineMasks codes;
        combineWindow<kWithCodeLines>(current, next, shape, carry, ends, starts, candidates, codes);
        lineEnds[w] = ends;
        objectStarts[w] = starts;
        keyCandidates[w] = candidates;
        if constexpr (kWithCodeLines) codeLines[w] = codes;
        current = next;
    }
}

// Each entry point runs the loop with and without the code-line masks, so
// that a reader that does not pair group codes pays nothing for them.
#define VELUNT_WINDOW_LOOP(byteMasks)                                                  \
    if (codeLines) {                                                                   \
        windowLoop<byteMasks, true>(block, length, lineStartsAtBlock, keys, lineEnds,  \
                                    objectStarts, keyCandidates, codeLines);           \
    } else {                                                                           \
        windowLoop<byteMasks, false>(block, length, lineStartsAtBlock, keys, lineEnds, \
                                     objectStarts, keyCandidates, codeLines);          \
    }

void windowMasksScalar(const char* block, size_t length, bool lineStartsAtBlock,
                       const KeyMasks& keys, std::uint64_t* lineEnds, std::uint64_t* objectStarts,
                       std::uint64_t* keyCandidates, CodeLineMasks* codeLines) {
    VELUNT_WINDOW_LOOP(byteMasksScalar)
}

#ifdef VELUNT_HAVE_SSE2
void windowMasksSse2(const char* block, size_t length, bool lineStartsAtBlock, const KeyMasks& keys,
                     std::uint64_t* lineEnds, std::uint64_t* objectStarts,
                     std::uint64_t* keyCandidates, CodeLineMasks* codeLines) {
    VELUNT_WINDOW_LOOP(byteMasksSse2)
}
#endif

#ifdef VELUNT_HAVE_AVX2_VARIANT
__attribute__((target("avx2"))) void windowMasksAvx2(const char* block, size_t length,
                                                     bool lineStartsAtBlock, const KeyMasks& keys,
                                                     std::uint64_t* lineEnds,
                                                     std::uint64_t* objectStarts,
                                                     std::uint64_t* keyCandidates,
                                                     CodeLineMasks* codeLines) {
    VELUNT_WINDOW_LOOP(byteMasksAvx2)
}
#endif

#undef VELUNT_WINDOW_LOOP

}  // namespace

std::vector<MaskVariant> AvailableMaskVariants() {
    std::vector<MaskVariant> variants = {MaskVariant::Scalar};
#ifdef VELUNT_HAVE_SSE2
    variants.push_back(MaskVariant::Sse2);
#endif
#ifdef VELUNT_HAVE_AVX2_VARIANT
    if (hasAvx2()) variants.push_back(MaskVariant::Avx2);
#endif
    return variants;
}

MaskVariant BestMaskVariant() {
#ifdef VELUNT_HAVE_AVX2_VARIANT
    if (hasAvx2()) return MaskVariant::Avx2;
#endif
#ifdef VELUNT_HAVE_SSE2
    return MaskVariant::Sse2;
#else
    return MaskVariant::Scalar;
#endif
}

void ComputeWindowMasks(MaskVariant variant, const char* bytes, size_t length,
                        bool lineStartsAtBlock, const KeyShape& shape, std::uint64_t* lineEnds,
                        std::uint64_t* objectStarts, std::uint64_t* keyCandidates,
                        CodeLineMasks* codeLines) {
    KeyMasks keys;
    for (int j = 0; j < 3; ++j) {
        keys.space[j] = shape.space[j] ? ~std::uint64_t{0} : 0;
        keys.zero[j] = shape.zero[j] ? ~std::uint64_t{0} : 0;
    }
    switch (variant) {
#ifdef VELUNT_HAVE_AVX2_VARIANT
        case MaskVariant::Avx2:
            assert(hasAvx2());
            windowMasksAvx2(bytes, length, lineStartsAtBlock, keys, lineEnds, objectStarts,
                            keyCandidates, codeLines);
            return;
#endif
#ifdef VELUNT_HAVE_SSE2
        case MaskVariant::Sse2:
            windowMasksSse2(bytes, length, lineStartsAtBlock, keys, lineEnds, objectStarts,
                            keyCandidates, codeLines);
            return;
#endif
        default:  // Scalar, the only variant every build has
            windowMasksScalar(bytes, length, lineStartsAtBlock, keys, lineEnds, objectStarts,
                              keyCandidates, codeLines);
            return;
    }
}

}  // namespace velunt
