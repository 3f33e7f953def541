#pragma once
// Writing decimal digits two at a time, for the number writers.
#include <cstdint>
#include <cstring>

namespace velunt {

// 10^0 to 10^19, all that 64 bits hold.
inline constexpr std::uint64_t kPowersOfTen[] = {1ull,
                                                 10ull,
                                                 100ull,
                                                 1000ull,
                                                 10000ull,
                                                 100000ull,
                                                 1000000ull,
                                                 10000000ull,
                                                 100000000ull,
                                                 1000000000ull,
                                                 10000000000ull,
                                                 100000000000ull,
                                                 1000000000000ull,
                                                 10000000000000ull,
                                                 100000000000000ull,
                                                 1000000000000000ull,
                                                 10000000000000000ull,
                                                 100000000000000000ull,
                                                 1000000000000000000ull,
                                                 10000000000000000000ull};

// "00" to "99".
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The `pairs` * 2 decimal digits of `value` (below 100^pairs), two at a
// time, into out[0, 2 * pairs).
inline void WriteDigitPairs(std::uint32_t value, int pairs, char* out) {
    for (int i = pairs - 1; i >= 0; --i) {
        const std::uint32_t rest = value / 100;
        std::memcpy(out + 2 * i, kDigitPairs + 2 * (value - rest * 100), 2);
        value = rest;
    }
}

// The 15 decimal digits of `value` (below 1E15), leading zeros included.
inline void WriteFifteenDigitText(std::uint64_t value, char* out) {
    const auto high = static_cast<std::uint32_t>(value / 100000000);  // 7 digits
    const auto low = static_cast<std::uint32_t>(value % 100000000);   // 8 digits
    out[0] = static_cast<char>('0' + high / 1000000);
    WriteDigitPairs(high % 1000000, 3, out + 1);
    WriteDigitPairs(low, 4, out + 7);
}

// The eight decimal digits of `value` (below 1E8), leading zeros included,
// as the bytes of a word in memory order (the first digit in the lowest
// byte), computed in a register: four-digit halves, then two-digit
// quarters, then digits, each split by a multiplication.
inline std::uint64_t EightDigitWord(std::uint32_t value) {
    std::uint64_t lanes = value / 10000 | static_cast<std::uint64_t>(value % 10000) << 32;
    const std::uint64_t hundreds = ((lanes * 10486) >> 20) & 0x0000007F0000007Fu;
    lanes = hundreds | (lanes - hundreds * 100) << 16;
    const std::uint64_t tens = ((lanes * 103) >> 10) & 0x000F000F000F000Fu;
    lanes = tens | (lanes - tens * 10) << 8;
    return lanes | 0x3030303030303030u;
}

}  // namespace velunt
