#pragma once
// The prefix XOR of a word of line-end bits: bit i is set when an odd number
// of its bits lie at i or below.
#include <cstdint>

namespace velunt {

inline std::uint64_t PrefixXor(std::uint64_t bits) {
    for (int shift = 1; shift < 64; shift *= 2) bits ^= bits << shift;
    return bits;
}

}  // namespace velunt
