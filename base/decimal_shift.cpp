#include "base/decimal_shift.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "base/copy_bytes.h"
#include "base/decimal_scan.h"
#include "base/digit_text.h"
#include "base/read_number.h"
#include "base/read_number_general.h"

namespace velunt {
namespace {

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

// The byte loop: any length up to 17 and any byte order.
bool readShortDecimalBytes(std::string_view text, ShortDecimal& number) {
    if (text.size() > 17) return false;  // a sign, 15 digits and the point
    const char* const end = text.data() + text.size();
    DecimalScan scan;
    if (!ScanDecimal(text.data(), end, scan) || scan.digits > 15) return false;
    number.text = text;
    number.scaled = scan.negative ? -static_cast<std::int64_t>(scan.mantissa)
                                  : static_cast<std::int64_t>(scan.mantissa);
    number.whole = scan.whole;
    number.fractionDigits = scan.fractionDigits;
    number.fractionZeros = 0;
    while (number.fractionZeros < scan.fractionDigits && end[-1 - number.fractionZeros] == '0')
        ++number.fractionZeros;
    number.digits = scan.digits;
    number.point =
        scan.point ? static_cast<std::size_t>(scan.point - text.data()) : std::string_view::npos;
    return true;
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

// Texts of 8 to 16 bytes with at most 8 digits on each side of the point,
// as whole words: two loads cover the text, its non-digits are found all
// at once, and each side's digits are read eight at a time.
bool readShortDecimalWords(std::string_view text, ShortDecimal& number) {
    const char* const p = text.data();
    const int size = static_cast<int>(text.size());
    std::uint64_t head, tail;
    std::memcpy(&head, p, 8);
    std::memcpy(&tail, p + size - 8, 8);
    unsigned others = byteBits(nonDigits(head)) | byteBits(nonDigits(tail)) << (size - 8);
    const bool negative = p[0] == '-';
    const int sign = negative || p[0] == '+';
    others &= ~static_cast<unsigned>(sign);
    int point = size;
    if (others != 0) {
        point = std::countr_zero(others);
        if (p[point] != '.' || (others & (others - 1)) != 0) return false;
    }
    const int wholeDigits = point - sign;
    const int fractionDigits = point == size ? 0 : size - point - 1;
    if (wholeDigits > 8 || fractionDigits > 8 || wholeDigits + fractionDigits == 0) return false;
    // The digits before the point, at the top of a word.
    std::uint64_t whole = 0;
    if (wholeDigits > 0) {
        std::uint64_t word;
        if (point >= 8) {
            std::memcpy(&word, p + point - 8, 8);
        } else {
            word = head << (8 * (8 - point));
        }
        whole = eightDigits(topBytes(word ^ kEveryByte('0'), wholeDigits));
    }
    const std::uint64_t fraction = topBytes(tail ^ kEveryByte('0'), fractionDigits);
    const std::uint64_t scaled = whole * kPowersOfTen[fractionDigits] + eightDigits(fraction);
    number.text = text;
    number.scaled =
        negative ? -static_cast<std::int64_t>(scaled) : static_cast<std::int64_t>(scaled);
    number.whole = whole;
    number.fractionDigits = fractionDigits;
    // The fraction's last digits are the top bytes of `tail`.
    number.fractionZeros = fraction == 0 ? fractionDigits : std::countl_zero(fraction) / 8;
    number.digits = wholeDigits + fractionDigits;
    number.point = point == size ? std::string_view::npos : static_cast<std::size_t>(point);
    return true;
}

}  // namespace

bool ReadShortDecimal(std::string_view text, ShortDecimal& number) {
    if (std::endian::native == std::endian::little && text.size() >= 8 && text.size() <= 16 &&
        readShortDecimalWords(text, number))
        return true;
    return readShortDecimalBytes(text, number);
}

DecimalShift::DecimalShift(double amount) : m_amount(amount) {
#if FLT_EVAL_METHOD == 0
    if (!std::isfinite(amount)) return;
    char text[kNumberTextCapacity];
    const std::string_view written(text, WriteNumberText(amount, text));
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
        EightDigitWord(static_cast<std::uint32_t>(whole)) >> (8 * (8 - count));
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

std::size_t DecimalShift::writeWholeSum(const ShortDecimal& number, std::string_view mark,
                                        char* out) const {
    // A whole amount and a number of the same sign: the sum keeps the
    // number's fraction, and its whole part is a sum of whole numbers. Terms
    // of one sign need no error check (see write()), and a whole sum, a power
    // of ten included, is exact in doubles too.
    if (std::endian::native != std::endian::little || m_fractionDigits != 0 ||
        (m_scaled != 0 && (m_scaled < 0) != (number.scaled < 0)))
        return 0;
    const std::uint64_t whole =
        number.whole + static_cast<std::uint64_t>(m_scaled < 0 ? -m_scaled : m_scaled);
    const int fractionDigits = number.fractionDigits - number.fractionZeros;
    if (whole == 0 || whole >= 100000000) return 0;
    const int count = digitCount(whole);
    if (count + fractionDigits > 15) return 0;
    char* q = out;
    *q = '-';
    q += number.scaled < 0;
    const std::uint64_t digits =
        EightDigitWord(static_cast<std::uint32_t>(whole)) >> (8 * (8 - count));
    std::memcpy(q, &digits, 8);
    q += count;
    if (fractionDigits > 0) {
        q = writeMark(q, mark);
        CopyBytes(q, number.text.data() + number.point + 1,
                  static_cast<std::size_t>(fractionDigits));
        q += fractionDigits;
    }
    return static_cast<std::size_t>(q - out);
}

std::size_t DecimalShift::write(const ShortDecimal& number, std::string_view mark,
                                char* out) const {
    if (!m_usable || mark.size() > 8) return 0;
    if (const std::size_t size = writeWholeSum(number, mark, out)) return size;
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
    WriteFifteenDigitText(magnitude, text);
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
