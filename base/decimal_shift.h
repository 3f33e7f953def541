#pragma once
// Adding a fixed amount to the short decimal numbers drawings write for
// coordinates ("4415041.844"), on their digits: the same text as reading
// the number, adding the amount in double precision and writing the sum's
// general form (15 significant digits), without the double round trip.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velunt {

// "[sign]digits[.digits]" with at most 15 digits and nothing else around
// it ("12.", ".5" and "-0.0" included), read as `scaled` / 10^fractionDigits.
struct ShortDecimal {
    std::int64_t scaled = 0;  // signed
    int fractionDigits = 0;
    int digits = 0;                              // before and after the point
    std::size_t point = std::string_view::npos;  // position of the ".", if any
};

// False for anything that is not such a number.
bool ReadShortDecimal(std::string_view text, ShortDecimal& number);

// Room that DecimalShift::write needs in its output.
inline constexpr std::size_t kShiftedTextRoom = 48;

class DecimalShift {
public:
    // `amount`: the double that the shift adds. Usable only when it is
    // exactly the double nearest to a decimal of at most 15 digits in
    // plain form.
    explicit DecimalShift(double amount);

    // The general form of number + amount, with its "." written as `mark`
    // (at most 8 bytes), into `out` (kShiftedTextRoom bytes); returns its
    // size. Returns 0 where this path does not answer for certain: an
    // unusable amount, a sum of 0, a power of ten, more than 15 digits,
    // exponent forms, or a sum so near a 15-digit rounding boundary that
    // the double route could round it either way.
    std::size_t write(const ShortDecimal& number, std::string_view mark, char* out) const;

    // The same for the commonest case in one pass over `text`, without a
    // ShortDecimal: a whole amount, a text of 8 to 16 bytes "[-]digits.digits"
    // (at most 8 digits on each side, not 0, the sign of the amount) and a
    // one-byte mark. Returns 0 for anything else.
    std::size_t writeWholeShift(std::string_view text, char mark, char* out) const;

private:
    double m_amount;
    std::int64_t m_scaled = 0;
    int m_fractionDigits = 0;
    int m_wholeDigits = 0;  // digits before the point
    bool m_usable = false;
    bool m_whole = false;  // usable, whole, on a little-endian machine
};

}  // namespace velunt
