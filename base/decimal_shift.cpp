#include "base/decimal_shift.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "base/digit_text.h"
#include "base/read_number.h"
#include "base/read_number_general.h"

namespace velunt {
namespace {

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

int digitCount(std::uint64_t value) {
    int count = 1;
    while (count < 19 && value >= kPowersOfTen[count]) ++count;
    return count;
}

}  // namespace

bool ReadShortDecimal(std::string_view text, ShortDecimal& number) {
    if (text.size() > 17) return false;  // a sign, 15 digits and the point
    const char* const begin = text.data();
    const char* p = begin;
    const char* const end = p + text.size();
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    std::uint64_t scaled = 0;
    const char* const first = p;
    for (unsigned digit; p < end && (digit = static_cast<unsigned char>(*p) - '0') < 10; ++p)
        scaled = scaled * 10 + digit;
    int digits = static_cast<int>(p - first);
    int fractionDigits = 0;
    std::size_t point = std::string_view::npos;
    if (p < end && *p == '.') {
        point = static_cast<std::size_t>(p - begin);
        const char* const fraction = ++p;
        for (unsigned digit; p < end && (digit = static_cast<unsigned char>(*p) - '0') < 10; ++p)
            scaled = scaled * 10 + digit;
        fractionDigits = static_cast<int>(p - fraction);
        digits += fractionDigits;
    }
    if (p != end || digits == 0 || digits > 15) return false;
    number.scaled =
        negative ? -static_cast<std::int64_t>(scaled) : static_cast<std::int64_t>(scaled);
    number.fractionDigits = fractionDigits;
    number.digits = digits;
    number.point = point;
    return true;
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
#endif
}

std::size_t DecimalShift::write(const ShortDecimal& number, std::string_view mark,
                                char* out) const {
    if (!m_usable || mark.size() > 8) return 0;
    // The exact sum as a whole number of units of the finer fraction; both
    // terms stay below 10^18.
    const int fraction = std::max(number.fractionDigits, m_fractionDigits);
    if (number.digits - number.fractionDigits + fraction > 18 || m_wholeDigits + fraction > 18)
        return 0;
    const std::int64_t sum =
        number.scaled * static_cast<std::int64_t>(kPowersOfTen[fraction - number.fractionDigits]) +
        m_scaled * static_cast<std::int64_t>(kPowersOfTen[fraction - m_fractionDigits]);
    if (sum == 0) return 0;
    const bool negative = sum < 0;
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(sum) : static_cast<std::uint64_t>(sum);
    int fractionDigits = fraction;
    while (fractionDigits > 0 && magnitude % 10 == 0) {
        magnitude /= 10;
        --fractionDigits;
    }
    const int count = digitCount(magnitude);
    // The place of the first digit; at most 14 with at most 15 digits.
    const int exponent = count - 1 - fractionDigits;
    // A power of ten could come out of the double route one decade lower.
    if (count > 15 || exponent < -4 || magnitude == kPowersOfTen[count - 1]) return 0;
    const double numberMagnitude =
        static_cast<double>(number.scaled < 0 ? -number.scaled : number.scaled) *
        kInversePowersOfTen[number.fractionDigits];
    if (!((numberMagnitude + std::fabs(m_amount)) * kSumErrorPerMagnitude <
          kHalfUnits[exponent + 4]))
        return 0;

    // The digits, right-aligned in 15 places; fixed-size copies past them
    // stay inside `text` and `out`.
    char text[32];
    WriteFifteenDigitText(magnitude, text);
    const char* const digits = text + 15 - count;
    char* q = out;
    *q = '-';
    q += negative;
    if (exponent < 0) {
        *q++ = '0';
        std::memcpy(q, mark.data(), mark.size());
        q += mark.size();
        std::memcpy(q, "0000", 4);
        q += -exponent - 1;
        std::memcpy(q, digits, 16);
        q += count;
    } else {
        const int whole = exponent + 1;
        std::memcpy(q, digits, 16);
        q += whole;
        if (fractionDigits > 0) {
            std::memcpy(q, mark.data(), mark.size());
            q += mark.size();
            std::memcpy(q, digits + whole, 16);
            q += fractionDigits;
        }
    }
    return static_cast<std::size_t>(q - out);
}

}  // namespace velunt
