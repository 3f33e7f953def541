#pragma once
// Reading "[sign]digits[.digits]" byte by byte, for the number readers that
// take such texts apart themselves.
#include <cstdint>

namespace velunt {

struct DecimalScan {
    std::uint64_t mantissa = 0;  // all digits as one number; exact up to 19 of them
    std::uint64_t whole = 0;     // the digits before the point
    int digits = 0;              // before and after the point
    int fractionDigits = 0;
    const char* point = nullptr;  // the ".", if any
    bool negative = false;
};

// True when [p, end) is exactly an optional sign, digits with at most one
// "." among them, and at least one digit.
inline bool ScanDecimal(const char* p, const char* end, DecimalScan& scan) {
    scan = DecimalScan{};
    if (p < end && (*p == '-' || *p == '+')) scan.negative = *p++ == '-';
    const char* const first = p;
    for (unsigned digit; p < end && (digit = static_cast<unsigned char>(*p) - '0') < 10; ++p)
        scan.mantissa = scan.mantissa * 10 + digit;
    scan.digits = static_cast<int>(p - first);
    scan.whole = scan.mantissa;
    if (p < end && *p == '.') {
        scan.point = p;
        const char* const fraction = ++p;
        for (unsigned digit; p < end && (digit = static_cast<unsigned char>(*p) - '0') < 10; ++p)
            scan.mantissa = scan.mantissa * 10 + digit;
        scan.fractionDigits = static_cast<int>(p - fraction);
        scan.digits += scan.fractionDigits;
    }
    return p == end && scan.digits > 0;
}

}  // namespace velunt
