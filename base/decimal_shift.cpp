#include "base/decimal_shift.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "base/read_number.h"

namespace velunt {
namespace {

// 10^0 to 10^18, the powers of ten below 2^63.
constexpr std::uint64_t kPowersOfTen[] = {1ull,
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
                                          1000000000000000000ull};

// "00" to "99".
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The `pairs` * 2 decimal digits of `value` (below 100^pairs), two at a
// time, into out[0, 2 * pairs).
void writeDigitPairs(std::uint32_t value, int pairs, char* out) {
    for (int i = pairs - 1; i >= 0; --i) {
        const std::uint32_t rest = value / 100;
        std::memcpy(out + 2 * i, kDigitPairs + 2 * (value - rest * 100), 2);
        value = rest;
    }
}

// The 15 decimal digits of `value` (below 1E15), leading zeros included.
void writeFifteenDigits(std::uint64_t value, char* out) {
    const auto high = static_cast<std::uint32_t>(value / 100000000);  // 7 digits
    const auto low = static_cast<std::uint32_t>(value % 100000000);   // 8 digits
    out[0] = static_cast<char>('0' + high / 1000000);
    writeDigitPairs(high % 1000000, 3, out + 1);
    writeDigitPairs(low, 4, out + 7);
}

// 10^-n, near enough for an error bound.
constexpr double kInversePowersOfTen[] = {1e0,   1e-1,  1e-2,  1e-3,  1e-4,  1e-5,  1e-6,
                                          1e-7,  1e-8,  1e-9,  1e-10, 1e-11, 1e-12, 1e-13,
                                          1e-14, 1e-15, 1e-16, 1e-17, 1e-18};

// Half a unit in the 15th significant digit of a number whose first digit
// stands at 10^e, for e = -4 ... 14 (index e + 4).
constexpr double kHalfUnits[] = {5e-19, 5e-18, 5e-17, 5e-16, 5e-15, 5e-14, 5e-13,
                                 5e-12, 5e-11, 5e-10, 5e-9,  5e-8,  5e-7,  5e-6,
                                 5e-5,  5e-4,  5e-3,  5e-2,  5e-1};

// Reading a decimal of at most 15 digits rounds it correctly (one rounding,
// error at most 2^-53 of it), and so does adding two doubles. The double sum
// of a number v and an amount a (itself the nearest double to its decimal)
// then lies within 2^-52 * (|v| + |a|) of the exact sum, slightly more for
// the bound's own rounding.
constexpr double kSumErrorPerMagnitude = 2.25e-16;

// The decimal digits of `value` (at least 1): from its bit width,
// floor(bits * log10(2)) is the count or one more.
int digitCount(std::uint64_t value) {
    const int guess = (static_cast<int>(std::bit_width(value | 1)) * 1233) >> 12;
    return guess + 1 - (value < kPowersOfTen[guess]);
}

// Writes the decimal mark (at most 8 bytes) at `out`; returns its end.
inline char* writeMark(char* out, std::string_view mark) {
    if (mark.size() == 1) {
        *out = mark[0];
    } else {
        char padded[8];
        std::memcpy(padded, mark.data(), mark.size());
        std::memcpy(out, padded, 8);
    }
    return out + mark.size();
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

bool ReadShortDecimal(std::string_view text, ShortDecimal& number) {
    if (text.size() > 17) return false;  // a sign, 15 digits and the point
    const char* p = text.data();
    const char* const end = p + text.size();
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    std::uint64_t scaled = 0;
    const char* point = nullptr;
    int digits = 0;
    for (; p < end; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - '0';
        if (digit < 10) {
            scaled = scaled * 10 + digit;
            ++digits;
        } else if (*p == '.' && !point) {
            point = p;
        } else {
            return false;
        }
    }
    if (digits == 0 || digits > 15) return false;
    number.scaled =
        negative ? -static_cast<std::int64_t>(scaled) : static_cast<std::int64_t>(scaled);
    number.fractionDigits = point ? static_cast<int>(end - point - 1) : 0;
    number.digits = digits;
    number.point = point ? static_cast<std::size_t>(point - text.data()) : std::string_view::npos;
    return true;
}

DecimalShift::DecimalShift(double amount) : m_amount(amount) {
#if FLT_EVAL_METHOD == 0
    if (!std::isfinite(amount)) return;
    const std::string written = NumberToText(amount);
    ShortDecimal decimal;
    if (!ReadShortDecimal(written, decimal) || ReadNumber(written) != amount) return;
    m_scaled = decimal.scaled;
    m_fractionDigits = decimal.fractionDigits;
    m_wholeDigits = decimal.digits - decimal.fractionDigits;
    m_usable = true;
    m_whole = std::endian::native == std::endian::little && m_fractionDigits == 0;
#endif
}

std::size_t DecimalShift::writeWholeShift(std::string_view text, char mark, char* out) const {
    const int size = static_cast<int>(text.size());
    if (!m_whole || size < 8 || size > 16) return 0;
    const char* const p = text.data();
    std::uint64_t head, tail;
    std::memcpy(&head, p, 8);
    std::memcpy(&tail, p + size - 8, 8);
    const bool negative = p[0] == '-';
    if (m_scaled != 0 && (m_scaled < 0) != negative) return 0;
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
    // Zero is not shifted; the caller keeps it.
    if (numberWhole == 0 && fraction == 0) return 0;
    const std::uint64_t whole =
        numberWhole + static_cast<std::uint64_t>(m_scaled < 0 ? -m_scaled : m_scaled);
    // The fraction's last digits are the top bytes of `tail`.
    const int kept = fraction == 0 ? 0 : fractionDigits - std::countl_zero(fraction) / 8;
    // A sum below 1 (an amount of 0) keeps its leading "0": left to write().
    if (whole == 0 || whole >= 100000000) return 0;
    const int count = digitCount(whole);
    if (count + kept > 15) return 0;
    char* q = out;
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

std::size_t DecimalShift::write(const ShortDecimal& number, std::string_view mark,
                                char* out) const {
    if (!m_usable || mark.size() > 8) return 0;
    // The exact sum as a whole number of units of the finer fraction; both
    // terms stay below 10^18.
    const int fraction = std::max(number.fractionDigits, m_fractionDigits);
    if (number.digits - number.fractionDigits + fraction > 18 || m_wholeDigits + fraction > 18)
        return 0;
    const std::int64_t term =
        number.scaled * static_cast<std::int64_t>(kPowersOfTen[fraction - number.fractionDigits]);
    const std::int64_t amount =
        m_scaled * static_cast<std::int64_t>(kPowersOfTen[fraction - m_fractionDigits]);
    const std::int64_t sum = term + amount;
    if (sum == 0) return 0;
    const bool negative = sum < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(sum) : static_cast<std::uint64_t>(sum);
    // The digits with the fraction's trailing zeros (dropped below, which
    // does not move the first digit), and the place of the first digit.
    int count = digitCount(magnitude);
    const int exponent = count - 1 - fraction;
    // A power of ten could come out of the double route one decade lower.
    if (count > 15 || exponent < -4 || magnitude == kPowersOfTen[count - 1]) return 0;
    // Terms of one sign add up to at least the larger one, so the error
    // bound holds; only a sum that cancels needs the check.
    if ((term ^ amount) < 0) {
        const double numberMagnitude =
            static_cast<double>(number.scaled < 0 ? -number.scaled : number.scaled) *
            kInversePowersOfTen[number.fractionDigits];
        if (!((numberMagnitude + std::fabs(m_amount)) * kSumErrorPerMagnitude <
              kHalfUnits[exponent + 4]))
            return 0;
    }

    // The digits, right-aligned in 15 places; fixed-size copies past them
    // stay inside `text` and `out`.
    char text[32];
    writeFifteenDigits(magnitude, text);
    int fractionDigits = fraction;
    while (fractionDigits > 0 && text[14 - (fraction - fractionDigits)] == '0') --fractionDigits;
    const char* const digits = text + 15 - count;
    count -= fraction - fractionDigits;
    char* q = out;
    *q = '-';
    q += negative;
    if (exponent < 0) {
        *q++ = '0';
        q = writeMark(q, mark);
        std::memcpy(q, "0000", 4);
        q += -exponent - 1;
        std::memcpy(q, digits, 16);
        q += count;
    } else {
        const int whole = exponent + 1;
        std::memcpy(q, digits, 16);
        q += whole;
        if (fractionDigits > 0) {
            q = writeMark(q, mark);
            std::memcpy(q, digits + whole, 16);
            q += fractionDigits;
        }
    }
    return static_cast<std::size_t>(q - out);
}

}  // namespace velunt
