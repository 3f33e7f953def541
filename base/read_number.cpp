#include "base/read_number.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "base/runtime_error.h"

namespace velunt {
namespace {

// Room for any text NumberToText writes ("-1.23456789012345E-308" and less).
constexpr size_t kNumberTextCapacity = 48;

bool isSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

// "&H1F" / "&O17": the integer after the prefix, read as a 16- or 32-bit
// signed value depending on its number of digits.
double readRadixInteger(std::string_view text, size_t pos, int base) {
    double value = 0;
    int digits = 0;
    for (; pos < text.size(); ++pos) {
        if (isSkipped(text[pos])) continue;
        const int d = digitValue(text[pos], base);
        if (d < 0) break;
        if (digits == 0 && d == 0) continue;  // leading zeros do not count
        value = value * base + d;
        ++digits;
    }
    const int shortDigits = base == 16 ? 4 : 6;
    const int longDigits = base == 16 ? 8 : 11;
    if (digits <= shortDigits && value >= 32768.0) return value - 65536.0;
    if (digits > shortDigits && digits <= longDigits && value >= 2147483648.0 &&
        value < 4294967296.0)
        return value - 4294967296.0;
    return value;
}

// Writes the text of `value` to `out` (kNumberTextCapacity bytes) and returns
// its length.
size_t writeNumberText(double value, char* out) {
    if (!std::isfinite(value)) throw MakeError(kOverflow);
    if (value == 0.0) {  // also for -0
        out[0] = '0';
        return 1;
    }
    const auto result =
        std::to_chars(out, out + kNumberTextCapacity, value, std::chars_format::general, 15);
    const size_t size = static_cast<size_t>(result.ptr - out);
    for (size_t i = 0; i < size; ++i)
        if (out[i] == 'e') out[i] = 'E';
    return size;
}

// Whether `text`, spaces around it aside, is a sign, digits with at most
// one "." and at least one digit, and, if `allowExponent`, an exponent.
bool isWholeNumber(std::string_view text, bool allowExponent) {
    size_t pos = 0;
    size_t end = text.size();
    while (pos < end && text[pos] == ' ') ++pos;
    while (end > pos && text[end - 1] == ' ') --end;
    if (pos < end && (text[pos] == '+' || text[pos] == '-')) ++pos;
    bool hasDigits = false;
    bool hasPoint = false;
    for (; pos < end; ++pos) {
        const char c = text[pos];
        if (isDigit(c)) {
            hasDigits = true;
        } else if (c == '.' && !hasPoint) {
            hasPoint = true;
        } else {
            break;
        }
    }
    if (!hasDigits) return false;
    if (pos == end) return true;
    if (!allowExponent || (text[pos] != 'E' && text[pos] != 'e')) return false;
    ++pos;
    if (pos < end && (text[pos] == '+' || text[pos] == '-')) ++pos;
    if (pos == end) return false;
    for (; pos < end; ++pos)
        if (!isDigit(text[pos])) return false;
    return true;
}

}  // namespace

double ReadNumber(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && isSkipped(text[pos])) ++pos;
    if (pos + 1 < text.size() && text[pos] == '&') {
        size_t next = pos + 1;
        const char radix = text[next];
        if (radix == 'H' || radix == 'h') return readRadixInteger(text, next + 1, 16);
        if (radix == 'O' || radix == 'o') return readRadixInteger(text, next + 1, 8);
    }

    // Gather the number without blanks into a reused buffer, then convert it
    // with from_chars, which does not depend on the locale.
    thread_local std::string number;
    number.clear();
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        if (text[pos] == '-') number.push_back('-');
        ++pos;
    }
    bool hasDigits = false;
    bool hasPoint = false;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (isSkipped(c)) continue;
        if (isDigit(c)) {
            number.push_back(c);
            hasDigits = true;
        } else if (c == '.' && !hasPoint) {
            number.push_back('.');
            hasPoint = true;
        } else {
            break;
        }
    }
    if (!hasDigits) return 0.0;

    // Exponent: only taken when at least one digit follows the marker.
    if (pos < text.size() && (text[pos] == 'E' || text[pos] == 'e')) {
        const size_t mark = number.size();
        number.push_back('e');
        size_t p = pos + 1;
        while (p < text.size() && isSkipped(text[p])) ++p;
        if (p < text.size() && (text[p] == '+' || text[p] == '-')) number.push_back(text[p++]);
        bool expDigits = false;
        for (; p < text.size(); ++p) {
            if (isSkipped(text[p])) continue;
            if (!isDigit(text[p])) break;
            number.push_back(text[p]);
            expDigits = true;
        }
        if (!expDigits) number.resize(mark);
    }

    double value = 0.0;
    const char* first = number.data();
    const char* last = first + number.size();
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Too small in magnitude reads as 0; too large overflows.
        std::string_view digits(number);
        const size_t e = digits.find('e');
        const bool negativeExponent =
            e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-';
        if (negativeExponent) return 0.0;
        throw MakeError(kOverflow);
    }
    if (ec != std::errc() || end != last) return 0.0;
    return value;
}

std::string NumberToText(double value) {
    char buffer[kNumberTextCapacity];
    return std::string(buffer, writeNumberText(value, buffer));
}

void AssignNumberText(double value, std::string& out) {
    char buffer[kNumberTextCapacity];
    out.assign(buffer, writeNumberText(value, buffer));
}

bool IsNumber(std::string_view text) { return isWholeNumber(text, true); }

bool IsPlainNumber(std::string_view text) { return isWholeNumber(text, false); }

}  // namespace velunt
