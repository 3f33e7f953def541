// The fast paths of ReadNumber, NumberToText and HasNonZeroDecimals: plain
// decimal numbers as drawings write coordinates ("4412345.678", "-0.5"), read
// and written without a copy or an allocation. Whatever they cannot answer
// exactly goes to the general code (read_number_general.h), so both give the
// same result for every input.
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "base/decimal_scan.h"
#include "base/digit_text.h"
#include "base/find_byte.h"
#include "base/read_number.h"
#include "base/read_number_general.h"
#include "base/runtime_error.h"

namespace velunt {
namespace {

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;
constexpr std::uint64_t kMaxExactMantissa = std::uint64_t{1} << 53;

// "[sign]digits[.digits]" with spaces around it at most. When its digits
// as a whole number and its fraction digits both fit a double exactly, one
// division gives the correctly rounded value, as from_chars does (with
// double arithmetic in double precision, FLT_EVAL_METHOD 0). False for
// anything else.
bool readPlainDecimal(std::string_view text, double& value) {
#if FLT_EVAL_METHOD == 0
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && *p == ' ') ++p;
    while (end > p && end[-1] == ' ') --end;
    // More than 19 digits might not fit 64 bits (the mantissa is then not
    // used).
    DecimalScan scan;
    if (!ScanDecimal(p, end, scan) || scan.digits > 19 || scan.mantissa > kMaxExactMantissa ||
        scan.fractionDigits > kMaxExactPower)
        return false;
    const double magnitude =
        static_cast<double>(scan.mantissa) / kExactPowersOfTen[scan.fractionDigits];
    value = scan.negative ? -magnitude : magnitude;
    return true;
#else
    (void)text;
    (void)value;
    return false;
#endif
}

// The general form of `value` (finite, not 0) from its shortest round-trip
// digits, when the plain form applies. The shortest digits S are within half
// a unit in the last place of the value, which is less than half a unit in
// the 15th digit: with at most 15 digits, S is the value rounded to 15
// digits. With 16 or 17 the value and S lie on the same side of every
// 15-digit rounding boundary (S is the closest among the shortest), so
// rounding S rounds the value; only an S exactly on a boundary (16 digits
// ending in 5) is left undecided. Returns 0 where it does not answer: that
// case, and exponent forms (below 1E-4, or 15 digits before the point).
size_t writePlainNumberText(double value, char* out) {
    char shortest[kNumberTextCapacity];
    const auto result =
        std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::scientific);
    if (result.ec != std::errc()) return 0;
    const char* p = shortest;
    const bool negative = *p == '-';
    p += negative;
    char digits[20];
    int count = 0;
    for (; *p != 'e'; ++p)
        if (*p != '.') digits[count++] = *p;
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+'), result.ptr, exponent);

    if (count > 15) {
        if (count == 16 && digits[15] == '5') return 0;
        count = 15;
        if (digits[15] >= '5') {
            int i = 14;
            while (i >= 0 && digits[i] == '9') digits[i--] = '0';
            if (i >= 0) {
                ++digits[i];
            } else {  // 99...9 rounds up to 100...0, one digit longer
                digits[0] = '1';
                ++exponent;
            }
        }
    }
    while (count > 1 && digits[count - 1] == '0') --count;
    if (exponent < -4 || exponent >= 15) return 0;

    char* q = out;
    if (negative) *q++ = '-';
    if (exponent < 0) {
        *q++ = '0';
        *q++ = '.';
        for (int i = -1; i > exponent; --i) *q++ = '0';
        for (int i = 0; i < count; ++i) *q++ = digits[i];
    } else {
        const int wholeDigits = exponent + 1;
        for (int i = 0; i < wholeDigits; ++i) *q++ = i < count ? digits[i] : '0';
        if (count > wholeDigits) {
            *q++ = '.';
            for (int i = wholeDigits; i < count; ++i) *q++ = digits[i];
        }
    }
    return static_cast<size_t>(q - out);
}

#ifdef __SIZEOF_INT128__
// The general form of `value` for 1 <= |value| < 1E15, where it is the
// plain form with 15 significant digits: the value times the power of ten
// that leaves 15 digits before the point, rounded half to even (as the
// general code rounds) with exact integer arithmetic: a double is M * 2^E
// with M below 2^53, and M * 10^14 fits 128 bits. Returns 0 where it does
// not answer (other magnitudes, or a rounding up to 1E15).
size_t writeFifteenDigits(double value, char* out) {
    const double magnitude = value < 0 ? -value : value;
    if (!(magnitude >= 1.0 && magnitude < 1e15)) return 0;
    std::uint64_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    // The place of the first digit, 10^e <= magnitude < 10^(e+1): from the
    // binary exponent b, floor(b * log10(2)) is e or one less.
    int exponent10 = ((static_cast<int>(bits >> 52) - 1023) * 1233) >> 12;
    if (exponent10 < 14 && magnitude >= kExactPowersOfTen[exponent10 + 1]) ++exponent10;
    const std::uint64_t mantissa =
        (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int shift = 1075 - static_cast<int>(bits >> 52);  // magnitude = mantissa / 2^shift
    int fractionDigits = 14 - exponent10;
    __extension__ typedef unsigned __int128 Wide;  // a GCC and Clang extension
    const Wide scaled = static_cast<Wide>(mantissa) * kPowersOfTen[fractionDigits];
    if (shift <= 0 || shift >= 64) return 0;  // not for 1 <= magnitude < 1E15
    std::uint64_t digits = static_cast<std::uint64_t>(scaled >> shift);
    const std::uint64_t rest =
        static_cast<std::uint64_t>(scaled) & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && digits % 2 != 0)) ++digits;
    if (digits >= 1000000000000000ull) {  // rounded up to the next power of ten
        if (exponent10 == 14) return 0;
        digits /= 10;
        ++exponent10;
        --fractionDigits;
    }
    char text[32];  // the 15 digits, and room for the fixed-size copies below
    WriteFifteenDigitText(digits, text);
    int count = 15;
    while (count > exponent10 + 1 && text[count - 1] == '0') --count;
    char* q = out;
    if (value < 0) *q++ = '-';
    // Copies of a fixed size need no library call; the bytes past the
    // digits that count are left behind in `out`.
    const int whole = exponent10 + 1;
    std::memcpy(q, text, 16);
    q += whole;
    if (count > whole) {
        std::memcpy(q + 1, text + whole, 16);
        *q = '.';
        q += 1 + (count - whole);
    }
    return static_cast<size_t>(q - out);
}
#else
size_t writeFifteenDigits(double, char*) { return 0; }
#endif

}  // namespace

double ReadNumber(std::string_view text) {
    double value;
    if (readPlainDecimal(text, value)) return value;
    return ReadNumberGeneral(text);
}

size_t WriteNumberText(double value, char* out) {
    if (value != 0.0 && std::isfinite(value)) {
        size_t size = writeFifteenDigits(value, out);
        if (size == 0) size = writePlainNumberText(value, out);
        if (size != 0) return size;
    }
    return WriteNumberTextGeneral(value, out);
}

bool HasNonZeroDecimals(std::string_view text) {
    return HasNonZeroDecimals(text, FindByte(text, '.'));
}

bool ReadPlainNumber(std::string_view text, double& value) {
    if (readPlainDecimal(text, value)) return true;
    if (!IsPlainNumber(text)) return false;
    value = ReadNumberGeneral(text);
    return true;
}

bool HasNonZeroDecimals(std::string_view text, size_t point) {
    if (point == std::string_view::npos) return false;
    if (point + 1 >= 32767) throw MakeError(kOverflow);
    // The leading number of up to three characters after the point: a digit
    // other than 0 first makes it non-zero; digits alone are zero exactly
    // when all are 0.
    const std::string_view after = text.substr(point + 1, 3);
    if (!after.empty() && after[0] >= '1' && after[0] <= '9') return true;
    bool allDigits = true;
    bool nonZero = false;
    for (const char c : after) {
        allDigits = allDigits && c >= '0' && c <= '9';
        nonZero = nonZero || c != '0';
    }
    if (allDigits) return nonZero;
    return ReadNumberGeneral(after) != 0.0;
}

}  // namespace velunt
