#pragma once
// The prefix XOR of a word of line-end bits: bit i is set when an odd number
// of its bits lie at i or below. Where the processor multiplies carry-less,
// one multiplication by all ones gives it.
#include <cstdint>

#include "lines/instruction_sets.h"

namespace velunt {

inline std::uint64_t PrefixXor(std::uint64_t bits) {
    for (int shift = 1; shift < 64; shift *= 2) bits ^= bits << shift;
    return bits;
}

#ifdef VELUNT_HAVE_WIDE_VARIANTS
// Only where HasCarrylessMultiply().
__attribute__((target("pclmul"))) inline std::uint64_t CarrylessPrefixXor(std::uint64_t bits) {
    const __m128i product =
        _mm_clmulepi64_si128(_mm_cvtsi64_si128(static_cast<long long>(bits)), _mm_set1_epi8(-1), 0);
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(product));
}
#endif

}  // namespace velunt
