#pragma once
// Adding a whole amount to the short decimal numbers drawings write for
// coordinates ("4415041.844"), on their digits: the same text as reading
// the number, adding the amount in double precision and writing the sum's
// general form (15 significant digits), without the double round trip.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velunt {

// Room that DecimalShift::write needs in its output.
inline constexpr std::size_t kShiftedTextRoom = 48;

class DecimalShift {
public:
    // `amount`: the double that the shift adds; used only when it is whole
    // and below 1E8 in magnitude.
    explicit DecimalShift(double amount);

    // The general form of `text` + amount, with its "." written as `mark`,
    // into `out` (kShiftedTextRoom bytes); returns its size. Answers, in
    // one pass over the text, for a text of 8 to 16 bytes "[-]digits.digits"
    // (1 to 8 digits before the point, at most 8 after it, zero too, the
    // sign of the amount) whose sum has at most 15 digits and is at least 1 and
    // below 1E8; returns 0 for anything else.
    std::size_t write(std::string_view text, char mark, char* out) const;

private:
    std::int64_t m_amount = 0;
    bool m_usable = false;  // a whole amount, on a little-endian machine
};

}  // namespace velunt
