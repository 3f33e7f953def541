#include "base/decimal_shift.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace velunt {
namespace {

// The decimal digits of `value` (1 to 99999999): from its bit width,
// floor(bits * log10(2)) is the count or one more.
int digitCount(std::uint32_t value) {
    constexpr std::uint32_t kPowersOfTen[] = {1,      10,      100,      1000,     10000,
                                              100000, 1000000, 10000000, 100000000};
    const int guess = (static_cast<int>(std::bit_width(value)) * 1233) >> 12;
    return guess + 1 - (value < kPowersOfTen[guess]);
}

// The eight decimal digits of `value` (below 1E8), leading zeros included,
// as the bytes of a word in memory order (the first digit in the lowest
// byte), computed in a register: four-digit halves, then two-digit
// quarters, then digits, each split by a multiplication.
std::uint64_t eightDigitWord(std::uint32_t value) {
    std::uint64_t lanes = value / 10000 | static_cast<std::uint64_t>(value % 10000) << 32;
    const std::uint64_t hundreds = ((lanes * 10486) >> 20) & 0x0000007F0000007Fu;
    lanes = hundreds | (lanes - hundreds * 100) << 16;
    const std::uint64_t tens = ((lanes * 103) >> 10) & 0x000F000F000F000Fu;
    lanes = tens | (lanes - tens * 10) << 8;
    return lanes | 0x3030303030303030u;
}

constexpr std::uint64_t kEveryByte(unsigned char c) { return 0x0101010101010101u * c; }

// Per byte of `word`, its top bit set where the byte is no digit "0"-"9";
// exact for every byte (no carry crosses bytes).
inline std::uint64_t nonDigits(std::uint64_t word) {
    const std::uint64_t x = word ^ kEveryByte('0');
    return (((x & kEveryByte(0x7F)) + kEveryByte(0x76)) | x) & kEveryByte(0x80);
}

// One bit per byte of a nonDigits() word.
inline unsigned byteBits(std::uint64_t tops) {
    return static_cast<unsigned>(((tops >> 7) * 0x0102040810204080u) >> 56);
}

// The number of the eight digit values 0-9 in `word`, the first byte the
// most significant digit.
inline std::uint64_t eightDigits(std::uint64_t word) {
    word = (word * 2561) >> 8;
    word = ((word & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
    return ((word & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
}

// The top `count` bytes of a word (0 <= count <= 8).
inline std::uint64_t topBytes(std::uint64_t word, int count) {
    return count == 0 ? 0 : word & (~std::uint64_t{0} << (8 * (8 - count)));
}

}  // namespace

DecimalShift::DecimalShift(double amount) {
    // The double route's sum of a number and a whole amount of the same sign
    // is that of the exact sum when the latter has at most 15 digits, with
    // double arithmetic in double precision (FLT_EVAL_METHOD 0).
#if FLT_EVAL_METHOD == 0
    if (std::endian::native != std::endian::little || !(std::fabs(amount) < 100000000.0) ||
        amount != std::trunc(amount))
        return;
    m_amount = static_cast<std::int64_t>(amount);
    m_usable = true;
#else
    (void)amount;
#endif
}

std::size_t DecimalShift::write(std::string_view text, char mark, char *out) const {
    const int size = static_cast<int>(text.size());
    if (!m_usable || size < 8 || size > 16) return 0;
    const char *const p = text.data();
    std::uint64_t head, tail;
    std::memcpy(&head, p, 8);
    std::memcpy(&tail, p + size - 8, 8);
    const bool negative = p[0] == '-';
    if (m_amount != 0 && (m_amount < 0) != negative) return 0;
    // The one non-digit besides the sign must be the point.
    const unsigned others = (byteBits(nonDigits(head)) | byteBits(nonDigits(tail)) << (size - 8)) &
                            ~static_cast<unsigned>(negative);
    if (others == 0 || (others & (others - 1)) != 0) return 0;
    const int point = std::countr_zero(others);
    const int wholeDigits = point - negative;
    const int fractionDigits = size - point - 1;
    if (p[point] != '.' || wholeDigits == 0 || wholeDigits > 8 || fractionDigits > 8) return 0;
    std::uint64_t word;
    if (point >= 8) {
        std::memcpy(&word, p + point - 8, 8);
    } else {
        word = head << (8 * (8 - point));
    }
    const std::uint64_t numberWhole = eightDigits(topBytes(word ^ kEveryByte('0'), wholeDigits));
    const std::uint64_t fraction = topBytes(tail ^ kEveryByte('0'), fractionDigits);
    const std::uint64_t whole =
        numberWhole + static_cast<std::uint64_t>(m_amount < 0 ? -m_amount : m_amount);
    // The fraction's last digits are the top bytes of `tail`.
    const int kept = fraction == 0 ? 0 : fractionDigits - std::countl_zero(fraction) / 8;
    // A sum below 1 (an amount of 0) keeps its leading "0": left to the
    // double route.
    if (whole == 0 || whole >= 100000000) return 0;
    const int count = digitCount(static_cast<std::uint32_t>(whole));
    if (count + kept > 15) return 0;
    char *q = out;
    *q = '-';
    q += negative;
    const std::uint64_t digits =
        eightDigitWord(static_cast<std::uint32_t>(whole)) >> (8 * (8 - count));
    std::memcpy(q, &digits, 8);
    q += count;
    if (kept > 0) {
        *q++ = mark;
        const std::uint64_t fractionText = tail >> (8 * (8 - fractionDigits));
        std::memcpy(q, &fractionText, 8);
        q += kept;
    }
    return static_cast<std::size_t>(q - out);
}

}  // namespace velunt
