#include "lines/window_masks.h"

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
// `first`: the window to begin with, `carry` what the one before it left.
template <ByteMasks (*kByteMasks)(const char*), bool kWithCodeLines>
VELUNT_ALWAYS_INLINE void windowLoop(const char* block, size_t length, size_t first,
                                     WindowCarry carry, const KeyMasks& keys,
                                     std::uint64_t* lineEnds, std::uint64_t* objectStarts,
                                     std::uint64_t* keyCandidates, CodeLineMasks* codeLines) {
    const size_t windows = (length + 63) / 64;
    if (first >= windows) return;
    const KeyMasks shape = keys;  // a local copy: no store below can change it
    ByteMasks current = keepValid(kByteMasks(block + first * 64), length - first * 64);
    for (size_t w = first; w < windows; ++w) {
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
#define VELUNT_WINDOW_LOOP(byteMasks)                                                       \
    const WindowCarry carry{0, lineStartsAtBlock ? 1u : 0u, {}};                            \
    if (codeLines) {                                                                        \
        windowLoop<byteMasks, true>(block, length, 0, carry, keys, lineEnds, objectStarts,  \
                                    keyCandidates, codeLines);                              \
    } else {                                                                                \
        windowLoop<byteMasks, false>(block, length, 0, carry, keys, lineEnds, objectStarts, \
                                     keyCandidates, codeLines);                             \
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
// The AVX2 variant works on four windows at once: the mask words of windows
// w..w+3 are the four 64-bit lanes of one vector, so that each step of
// combineWindow() is one instruction for all four. The byte masks of a run
// of windows are first stored one word per window, so that the words of the
// windows before and after are plain unaligned loads. The windows it leaves
// (fewer than four, and a last one cut short) go through windowLoop().
#define VELUNT_AVX2 VELUNT_ALWAYS_INLINE __attribute__((target("avx2")))

// The byte masks of up to kRun windows, one word per window and kind of
// byte. Slot kThis is window w; kThis - 1 holds the window before it and
// kThis + n the window after a run of n.
struct WindowWords {
    static constexpr int kRun = 32, kThis = 4;
    alignas(32) std::uint64_t cr[kRun + 8], lf[kRun + 8], space[kRun + 8], zero[kRun + 8],
        digit[kRun + 8];

    void set(int slot, const ByteMasks& m) {
        cr[slot] = m.cr, lf[slot] = m.lf, space[slot] = m.space, zero[slot] = m.zero;
        digit[slot] = m.digit;
    }
};

// Fills slots from `slot` on with the byte masks of `windows` whole windows
// from `p`.
template <bool kDigits>
VELUNT_AVX2 void fillWords(WindowWords& words, int slot, const char* p, int windows) {
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i space = _mm256_set1_epi8(' ');
    const __m256i zero = _mm256_set1_epi8('0');
    // A digit: moved down by "0" + 128, it is one of the ten lowest signed bytes.
    const __m256i digitShift = _mm256_set1_epi8(static_cast<char>(-'0' - 128));
    const __m256i aboveDigits = _mm256_set1_epi8(-128 + 10);
    // The 32 bits of bytes 32 i.. go to half i of the words from `slot` on
    // (the low half of a word first: x86 is little-endian), copied in as
    // bytes since the words are read as std::uint64_t.
    const auto setHalf = [slot](std::uint64_t* kind, int i, int bits) {
        const auto half = static_cast<std::uint32_t>(bits);
        std::memcpy(reinterpret_cast<char*>(kind + slot) + 4 * i, &half, 4);
    };
#pragma GCC unroll 16
    for (int i = 0; i < 2 * windows; ++i) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * i));
        setHalf(words.cr, i, _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, cr)));
        setHalf(words.lf, i, _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, lf)));
        setHalf(words.space, i, _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, space)));
        setHalf(words.zero, i, _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, zero)));
        if constexpr (kDigits) {
            const __m256i shifted = _mm256_add_epi8(v, digitShift);
            setHalf(words.digit, i, _mm256_movemask_epi8(_mm256_cmpgt_epi8(aboveDigits, shifted)));
        }
    }
}

// fillWords() with AVX-512BW, where the processor has it: a compare of 64
// bytes gives a window's mask word directly. Not inlined: it is called once
// per run of windows, from code built for AVX2 alone.
template <bool kDigits>
__attribute__((target("avx2,avx512f,avx512bw"), noinline)) void fillWords512(WindowWords& words,
                                                                             int slot,
                                                                             const char* p,
                                                                             int windows) {
    const __m512i cr = _mm512_set1_epi8('\r');
    const __m512i lf = _mm512_set1_epi8('\n');
    const __m512i space = _mm512_set1_epi8(' ');
    const __m512i zero = _mm512_set1_epi8('0');
    const __m512i ten = _mm512_set1_epi8(10);
    for (int i = 0; i < windows; ++i) {
        const __m512i v = _mm512_loadu_si512(p + 64 * i);
        words.cr[slot + i] = _mm512_cmpeq_epi8_mask(v, cr);
        words.lf[slot + i] = _mm512_cmpeq_epi8_mask(v, lf);
        words.space[slot + i] = _mm512_cmpeq_epi8_mask(v, space);
        words.zero[slot + i] = _mm512_cmpeq_epi8_mask(v, zero);
        // A digit: its distance above "0" is below 10, unsigned.
        if constexpr (kDigits)
            words.digit[slot + i] = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, zero), ten);
    }
}

bool hasAvx512() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return has;
}

// The words of four windows from `slot` on, one per lane.
VELUNT_AVX2 __m256i lanes(const std::uint64_t* slot) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(slot));
}

// shiftIn() per lane.
template <int k>
VELUNT_AVX2 __m256i shiftInLanes(__m256i low, __m256i next) {
    return _mm256_or_si256(_mm256_srli_epi64(low, k), _mm256_slli_epi64(next, 64 - k));
}

// Per lane, bit i is bit i - 1 of the window, bit 0 bit 63 of `previous`.
VELUNT_AVX2 __m256i shiftOneUp(__m256i x, __m256i previous) {
    return _mm256_or_si256(_mm256_slli_epi64(x, 1), _mm256_srli_epi64(previous, 63));
}

// KeyMasks as vectors, inverted: all ones where a key may have any byte.
struct KeyLanes {
    __m256i anySpace[3], anyZero[3];
};

// combineWindow() for the four windows from `slot` on. `starts`: the code
// lines that began in the window before, as one CodeLineMasks; the same of
// the last of the four on return.
template <bool kWithCodeLines>
VELUNT_AVX2 void combineGroup(const WindowWords& words, int slot, const KeyLanes& keys,
                              __m256i& starts, std::uint64_t* lineEnds, std::uint64_t* objectStarts,
                              std::uint64_t* keyCandidates, CodeLineMasks* codeLines) {
    // A line ends at each CR and at each LF that does not follow a CR; it
    // starts after each LF and after each CR that no LF follows.
    const __m256i cr = lanes(words.cr + slot), lf = lanes(words.lf + slot);
    const __m256i crBefore = shiftOneUp(cr, lanes(words.cr + slot - 1));
    const __m256i lfBefore = shiftOneUp(lf, lanes(words.lf + slot - 1));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lineEnds),
                        _mm256_or_si256(cr, _mm256_andnot_si256(crBefore, lf)));
    const __m256i lineStart = _mm256_or_si256(lfBefore, _mm256_andnot_si256(lf, crBefore));

    const __m256i terminator = _mm256_or_si256(cr, lf);
    const __m256i nextTerminator =
        _mm256_or_si256(lanes(words.cr + slot + 1), lanes(words.lf + slot + 1));
    const __m256i threeByteLines =
        _mm256_and_si256(lineStart, shiftInLanes<3>(terminator, nextTerminator));
    const __m256i space = lanes(words.space + slot), nextSpace = lanes(words.space + slot + 1);
    const __m256i zero = lanes(words.zero + slot), nextZero = lanes(words.zero + slot + 1);
    const __m256i spaceAt[3] = {space, shiftInLanes<1>(space, nextSpace),
                                shiftInLanes<2>(space, nextSpace)};
    const __m256i zeroAt[3] = {zero, shiftInLanes<1>(zero, nextZero),
                               shiftInLanes<2>(zero, nextZero)};
    const __m256i objects = _mm256_and_si256(_mm256_and_si256(threeByteLines, spaceAt[0]),
                                             _mm256_and_si256(spaceAt[1], zeroAt[2]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(objectStarts), objects);
    __m256i candidates = threeByteLines;
    for (int j = 0; j < 3; ++j)
        candidates = _mm256_and_si256(
            candidates, _mm256_and_si256(_mm256_or_si256(keys.anySpace[j], spaceAt[j]),
                                         _mm256_or_si256(keys.anyZero[j], zeroAt[j])));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(keyCandidates), candidates);

    if constexpr (kWithCodeLines) {
        const __m256i digit = lanes(words.digit + slot), nextDigit = lanes(words.digit + slot + 1);
        const __m256i digitAt[3] = {digit, shiftInLanes<1>(digit, nextDigit),
                                    shiftInLanes<2>(digit, nextDigit)};
        const __m256i oneByteLines =
            _mm256_and_si256(lineStart, shiftInLanes<1>(terminator, nextTerminator));
        const __m256i twoByteLines =
            _mm256_and_si256(lineStart, shiftInLanes<2>(terminator, nextTerminator));
        // The starts as in combineWindow(), one vector per kind of code line.
        const __m256i middle =
            _mm256_or_si256(_mm256_and_si256(digitAt[1], _mm256_or_si256(spaceAt[0], digitAt[0])),
                            _mm256_and_si256(spaceAt[1], spaceAt[0]));
        const __m256i standard =
            _mm256_and_si256(_mm256_and_si256(threeByteLines, digitAt[2]), middle);
        const __m256i oneDigit = _mm256_and_si256(oneByteLines, digitAt[0]);
        const __m256i twoDigits =
            _mm256_and_si256(_mm256_and_si256(twoByteLines, digitAt[0]), digitAt[1]);
        const __m256i zeroLines = _mm256_and_si256(oneByteLines, zeroAt[0]);
        // Turned into one CodeLineMasks per window (lanes: standard, one
        // digit, two digits, zero), each kind of start is moved to its line
        // end by its own length with variable shifts.
        const __m256i low01 = _mm256_unpacklo_epi64(standard, oneDigit);
        const __m256i high01 = _mm256_unpackhi_epi64(standard, oneDigit);
        const __m256i low23 = _mm256_unpacklo_epi64(twoDigits, zeroLines);
        const __m256i high23 = _mm256_unpackhi_epi64(twoDigits, zeroLines);
        const __m256i windowStarts[4] = {_mm256_permute2x128_si256(low01, low23, 0x20),
                                         _mm256_permute2x128_si256(high01, high23, 0x20),
                                         _mm256_permute2x128_si256(low01, low23, 0x31),
                                         _mm256_permute2x128_si256(high01, high23, 0x31)};
        const __m256i lengths = _mm256_set_epi64x(1, 2, 1, 3);
        const __m256i fromBefore = _mm256_set_epi64x(63, 62, 63, 61);
        for (int i = 0; i < 4; ++i) {
            const __m256i ends = _mm256_or_si256(_mm256_sllv_epi64(windowStarts[i], lengths),
                                                 _mm256_srlv_epi64(starts, fromBefore));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(codeLines + i), ends);
            starts = windowStarts[i];
        }
    }
}

// combineGroup() for a run of `n` windows (a multiple of eight) from
// `slot` on, eight at a time in AVX-512, where the processor has it. GCC's
// vector types rather than the shift and logic intrinsics: GCC 12 warns
// falsely about the latter, and builds the former into the same code. Not
// inlined: it is called once per run, from code built for AVX2 alone.
using EightWords = std::uint64_t __attribute__((vector_size(64)));

#define VELUNT_AVX512 VELUNT_ALWAYS_INLINE __attribute__((target("avx2,avx512f,avx512bw")))

// The words of eight windows from `p` on, one per lane; and back.
VELUNT_AVX512 EightWords eightLanes(const std::uint64_t* p) {
    EightWords v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
VELUNT_AVX512 void storeEight(void* to, EightWords v) { std::memcpy(to, &v, sizeof v); }

// shiftIn() per lane.
VELUNT_AVX512 EightWords shiftInEight(EightWords low, EightWords next, int k) {
    return (low >> k) | (next << (64 - k));
}

// Lane i is lane index[i] of `low`:`high` (lanes 0 to 7 of `low`, then of
// `high`).
VELUNT_AVX512 EightWords pickLanes(EightWords low, EightWords high, EightWords index) {
    return reinterpret_cast<EightWords>(_mm512_maskz_permutex2var_epi64(
        0xFF, reinterpret_cast<__m512i>(low), reinterpret_cast<__m512i>(index),
        reinterpret_cast<__m512i>(high)));
}

template <bool kWithCodeLines>
__attribute__((target("avx2,avx512f,avx512bw"), noinline)) void combineRun512(
    const WindowWords& words, int slot, int n, const KeyMasks& keys, __m256i& starts,
    std::uint64_t* lineEnds, std::uint64_t* objectStarts, std::uint64_t* keyCandidates,
    CodeLineMasks* codeLines) {
    EightWords anySpace[3], anyZero[3];
    for (int j = 0; j < 3; ++j) {
        anySpace[j] = EightWords{} + ~keys.space[j];
        anyZero[j] = EightWords{} + ~keys.zero[j];
    }
    // The code lines that began in the window before, one word per kind.
    std::uint64_t before[4];
    std::memcpy(before, &starts, sizeof before);
    for (int g = 0; g < n; g += 8) {
        const int at = slot + g;
        const EightWords cr = eightLanes(words.cr + at), lf = eightLanes(words.lf + at);
        const EightWords crBefore = (cr << 1) | (eightLanes(words.cr + at - 1) >> 63);
        const EightWords lfBefore = (lf << 1) | (eightLanes(words.lf + at - 1) >> 63);
        storeEight(lineEnds + g, cr | (lf & ~crBefore));
        const EightWords lineStart = lfBefore | (crBefore & ~lf);
        const EightWords terminator = cr | lf;
        const EightWords nextTerminator =
            eightLanes(words.cr + at + 1) | eightLanes(words.lf + at + 1);
        const EightWords threeByteLines = lineStart & shiftInEight(terminator, nextTerminator, 3);
        const EightWords space = eightLanes(words.space + at),
                         nextSpace = eightLanes(words.space + at + 1);
        const EightWords zero = eightLanes(words.zero + at),
                         nextZero = eightLanes(words.zero + at + 1);
        const EightWords spaceAt[3] = {space, shiftInEight(space, nextSpace, 1),
                                       shiftInEight(space, nextSpace, 2)};
        const EightWords zeroAt[3] = {zero, shiftInEight(zero, nextZero, 1),
                                      shiftInEight(zero, nextZero, 2)};
        storeEight(objectStarts + g, threeByteLines & spaceAt[0] & spaceAt[1] & zeroAt[2]);
        EightWords candidates = threeByteLines;
        for (int j = 0; j < 3; ++j)
            candidates &= (anySpace[j] | spaceAt[j]) & (anyZero[j] | zeroAt[j]);
        storeEight(keyCandidates + g, candidates);

        if constexpr (kWithCodeLines) {
            const EightWords digit = eightLanes(words.digit + at);
            const EightWords nextDigit = eightLanes(words.digit + at + 1);
            const EightWords digitAt[3] = {digit, shiftInEight(digit, nextDigit, 1),
                                           shiftInEight(digit, nextDigit, 2)};
            const EightWords oneByteLines = lineStart & shiftInEight(terminator, nextTerminator, 1);
            const EightWords twoByteLines = lineStart & shiftInEight(terminator, nextTerminator, 2);
            // The starts as in combineWindow(), one vector per kind of code line.
            const EightWords kinds[4] = {
                threeByteLines & digitAt[2] &
                    ((digitAt[1] & (spaceAt[0] | digitAt[0])) | (spaceAt[1] & spaceAt[0])),
                oneByteLines & digitAt[0], twoByteLines & digitAt[0] & digitAt[1],
                oneByteLines & zeroAt[0]};
            // Each kind moved to its line ends by its length, the starts of
            // the window before each lane coming in from below.
            constexpr int kLengths[4] = {3, 1, 2, 1};
            EightWords ends[4];
            for (int k = 0; k < 4; ++k) {
                const EightWords previous = pickLanes(kinds[k], EightWords{} + before[k],
                                                      EightWords{8, 0, 1, 2, 3, 4, 5, 6});
                ends[k] = (kinds[k] << kLengths[k]) | (previous >> (64 - kLengths[k]));
                before[k] = kinds[k][7];
            }
            // Turned into one CodeLineMasks per window (standard, one digit,
            // two digits, zero), two windows to a vector.
            const EightWords even = {0, 8, 2, 10, 4, 12, 6, 14}, odd = {1, 9, 3, 11, 5, 13, 7, 15};
            const EightWords standardOne[2] = {pickLanes(ends[0], ends[1], even),
                                               pickLanes(ends[0], ends[1], odd)};
            const EightWords twoZero[2] = {pickLanes(ends[2], ends[3], even),
                                           pickLanes(ends[2], ends[3], odd)};
            for (int half = 0; half < 2; ++half) {
                // Windows 4 half + 0 and + 2, then + 1 and + 3.
                const EightWords pick = {4u * half + 0,  4u * half + 1, 4u * half + 8,
                                         4u * half + 9,  4u * half + 2, 4u * half + 3,
                                         4u * half + 10, 4u * half + 11};
                const EightWords evenWindows = pickLanes(standardOne[0], twoZero[0], pick);
                const EightWords oddWindows = pickLanes(standardOne[1], twoZero[1], pick);
                storeEight(
                    codeLines + g + 4 * half,
                    pickLanes(evenWindows, oddWindows, EightWords{0, 1, 2, 3, 8, 9, 10, 11}));
                storeEight(
                    codeLines + g + 4 * half + 2,
                    pickLanes(evenWindows, oddWindows, EightWords{4, 5, 6, 7, 12, 13, 14, 15}));
            }
        }
    }
    std::memcpy(&starts, before, sizeof before);
}

#undef VELUNT_AVX512

template <bool kWithCodeLines, bool kAvx512>
VELUNT_AVX2 void groupLoop(const char* block, size_t length, bool lineStartsAtBlock,
                           const KeyMasks& keys, std::uint64_t* lineEnds,
                           std::uint64_t* objectStarts, std::uint64_t* keyCandidates,
                           CodeLineMasks* codeLines) {
    static_assert(sizeof(CodeLineMasks) == 32, "one CodeLineMasks is one vector");
    constexpr int kThis = WindowWords::kThis;
    const size_t wholeWindows = length / 64;
    WindowWords words{};
    // The line start at the block goes in as an LF before it.
    words.cr[kThis - 1] = 0;
    words.lf[kThis - 1] = lineStartsAtBlock ? std::uint64_t{1} << 63 : 0;
    __m256i starts = _mm256_setzero_si256();
    size_t w = 0;
    if (wholeWindows >= 4) {
        KeyLanes keyLanes;
        for (int j = 0; j < 3; ++j) {
            keyLanes.anySpace[j] = _mm256_set1_epi64x(static_cast<long long>(~keys.space[j]));
            keyLanes.anyZero[j] = _mm256_set1_epi64x(static_cast<long long>(~keys.zero[j]));
        }
        const auto fill = [&words](int slot, const char* p, int windows)
            __attribute__((target("avx2"))) {
            if constexpr (kAvx512) {
                fillWords512<kWithCodeLines>(words, slot, p, windows);
            } else {
                fillWords<kWithCodeLines>(words, slot, p, windows);
            }
        };
        fill(kThis, block, 1);
        // A run of `n` windows from w: fill in the words of windows w+1 on
        // (`filled` of them; the rest are set already) and combine; then
        // keepLast() makes the last two the window before and window w of
        // the next run.
        const auto run = [&](int n, int filled) __attribute__((target("avx2"))) {
            fill(kThis + 1, block + (w + 1) * 64, filled);
            if constexpr (kAvx512) {
                if (n % 8 == 0) {
                    combineRun512<kWithCodeLines>(words, kThis, n, keys, starts, lineEnds + w,
                                                  objectStarts + w, keyCandidates + w,
                                                  kWithCodeLines ? codeLines + w : nullptr);
                    return;
                }
            }
            for (int g = 0; g < n; g += 4)
                combineGroup<kWithCodeLines>(words, kThis + g, keyLanes, starts, lineEnds + w + g,
                                             objectStarts + w + g, keyCandidates + w + g,
                                             kWithCodeLines ? codeLines + w + g : nullptr);
        };
        const auto keepLast = [&words](int n) {
            for (std::uint64_t* kind : {words.cr, words.lf, words.space, words.zero, words.digit})
                kind[kThis - 1] = kind[kThis + n - 1], kind[kThis] = kind[kThis + n];
        };
        for (; w + WindowWords::kRun + 1 <= wholeWindows; w += WindowWords::kRun) {
            run(WindowWords::kRun, WindowWords::kRun);
            keepLast(WindowWords::kRun);
        }
        for (; w + 5 <= wholeWindows; w += 4) {
            run(4, 4);
            keepLast(4);
        }
        if (w + 4 <= wholeWindows) {
            // The last four whole windows: the one after them, if any, is
            // cut short.
            ByteMasks after;
            if (length > (w + 4) * 64)
                after = keepValid(byteMasksAvx2(block + (w + 4) * 64), length - (w + 4) * 64);
            words.set(kThis + 4, after);
            run(4, 3);
            keepLast(4);
            w += 4;
        }
    }
    // What window w - 1 leaves to windowLoop(): slot kThis holds window w
    // when there is one.
    WindowCarry carry;
    const std::uint64_t lastCr = words.cr[kThis - 1] >> 63, lastLf = words.lf[kThis - 1] >> 63;
    carry.previousCr = lastCr;
    carry.previousTerminatorEnd = lastLf | (lastCr & ~words.lf[kThis] & 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(&carry.previousStarts), starts);
    windowLoop<byteMasksAvx2, kWithCodeLines>(block, length, w, carry, keys, lineEnds, objectStarts,
                                              keyCandidates, codeLines);
}

template <bool kAvx512>
__attribute__((target("avx2"))) void windowMasksAvx2(const char* block, size_t length,
                                                     bool lineStartsAtBlock, const KeyMasks& keys,
                                                     std::uint64_t* lineEnds,
                                                     std::uint64_t* objectStarts,
                                                     std::uint64_t* keyCandidates,
                                                     CodeLineMasks* codeLines) {
    if (codeLines) {
        groupLoop<true, kAvx512>(block, length, lineStartsAtBlock, keys, lineEnds, objectStarts,
                                 keyCandidates, codeLines);
    } else {
        groupLoop<false, kAvx512>(block, length, lineStartsAtBlock, keys, lineEnds, objectStarts,
                                  keyCandidates, codeLines);
    }
}

#undef VELUNT_AVX2
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
    if (hasAvx2() && hasAvx512()) variants.push_back(MaskVariant::Avx512);
#endif
    return variants;
}

MaskVariant BestMaskVariant() {
#ifdef VELUNT_HAVE_AVX2_VARIANT
    if (hasAvx2() && hasAvx512()) return MaskVariant::Avx512;
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
            windowMasksAvx2<false>(bytes, length, lineStartsAtBlock, keys, lineEnds, objectStarts,
                                   keyCandidates, codeLines);
            return;
        case MaskVariant::Avx512:
            assert(hasAvx2() && hasAvx512());
            windowMasksAvx2<true>(bytes, length, lineStartsAtBlock, keys, lineEnds, objectStarts,
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
