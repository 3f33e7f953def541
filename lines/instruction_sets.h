#pragma once
// What the processor can run beyond plain x86-64, for the variants of the
// mask and pairing code, and the vector types those variants compute in.
// With GCC or Clang on x86-64 the variants are built for their instruction
// set alone and chosen at run time; the build itself stays for any x86-64.
#include <cstdint>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define VELUNT_HAVE_WIDE_VARIANTS 1
#endif

namespace velunt {

#ifdef VELUNT_HAVE_WIDE_VARIANTS
// The mask words of four or eight windows, one per lane.
using FourWords = std::uint64_t __attribute__((vector_size(32)));
using EightWords = std::uint64_t __attribute__((vector_size(64)));

inline bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

// The 512-bit registers with byte compares (AVX-512F and BW).
inline bool HasAvx512() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return has;
}

inline bool HasCarrylessMultiply() {
    static const bool has = __builtin_cpu_supports("pclmul");
    return has;
}
#endif

}  // namespace velunt
