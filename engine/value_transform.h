#pragma once
// The optional changes a captured value goes through before it is stored:
// "%%c" -> "0", the coordinate shift, and the decimal mark.
#include <optional>
#include <string>
#include <string_view>

#include "base/decimal_shift.h"
#include "base/find_byte.h"
#include "engine/run_settings.h"

namespace velunt {

// Turns the value line `value` captured under `key` into the text to store,
// written into `stored` (its capacity is reused). Steps, in this order, each
// on what the earlier left:
//  1. replacePercentC: every "%%c" becomes "0";
//  2. shiftCoordinates: a key containing "10"/"11" adds rwShift, one
//     containing "20"/"21" hwShift (the latter wins), to a value that is a
//     number (IsNumber), zero included; the whole value becomes the sum's
//     text;
//  3. replaceDecimalPoint: the "." of a value that is a number becomes
//     settings.decimalMark.
// Values that are no number (texts) pass steps 2 and 3 unchanged.
// Raises error 6 when a "%%c" to replace starts at position 32765 or later,
// or when steps 2 or 3 meet a number whose "." stands at 32767 or later;
// step 2 also for a number beyond the double range.
void TransformValue(std::string_view value, std::string_view key, const RunSettings& settings,
                    std::string& stored);

// Which shift amount a column's key selects ("10"/"11": RW, "20"/"21": HW,
// the latter wins).
enum class Shift : unsigned char { None, Rw, Hw };

// Room that ValueTransform::writeShort needs in its output.
inline constexpr size_t kShortTransformRoom = kShiftedTextRoom;

// The same steps for the values of one run, which read each shift amount
// only once, when it is first needed. `settings` is borrowed.
class ValueTransform {
public:
    explicit ValueTransform(const RunSettings& settings)
        : m_settings(settings),
          m_oneByteMark(!settings.replaceDecimalPoint || settings.decimalMark.size() == 1),
          m_mark(settings.replaceDecimalPoint && m_oneByteMark ? settings.decimalMark[0] : '.') {}

    // The shift for values under `key`: None when shifting is off, the key
    // selects no amount, or its amount is empty.
    Shift shiftFor(std::string_view key) const;

    void apply(std::string_view value, Shift shift, std::string& stored);
    void applyInPlace(std::string& stored, Shift shift);

    // False when `value` comes out of apply() unchanged.
    bool changes(std::string_view value, Shift shift) const {
        return shift != Shift::None ||
               (m_settings.replaceDecimalPoint && ContainsByte(value, '.')) ||
               (m_settings.replacePercentC && ContainsByte(value, '%'));
    }

    // The same for a value with at least eight bytes readable from its
    // start (a line from the line reader).
    bool changesPadded(std::string_view value, Shift shift) const {
        return shift != Shift::None ||
               (m_settings.replaceDecimalPoint && ContainsBytePadded(value, '.')) ||
               (m_settings.replacePercentC && ContainsBytePadded(value, '%'));
    }

    // What apply() makes of a coordinate shifted by a whole amount
    // ("4415041.844"), written into `out` (kShortTransformRoom bytes) on its
    // digits; returns its size, or 0 for any other value and until apply()
    // has read the shift's amount, which apply() then handles.
    size_t writeShort(std::string_view value, Shift shift, char* out) const {
        if (shift == Shift::None || !m_oneByteMark) return 0;
        const std::optional<DecimalShift>& decimal = m_decimalShifts[shift == Shift::Hw];
        return decimal ? decimal->write(value, m_mark, out) : 0;
    }

private:
    double amount(bool hw);

    const RunSettings& m_settings;
    std::optional<double> m_amounts[2];              // RW, HW
    std::optional<DecimalShift> m_decimalShifts[2];  // made with the amount
    bool m_oneByteMark;                              // the decimal mark, if one is set, is one byte
    char m_mark;                                     // that byte, or "."
};

}  // namespace velunt
