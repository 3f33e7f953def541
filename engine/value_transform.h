#pragma once
// The optional changes a captured value goes through before it is stored:
// "%%c" -> "0", the coordinate shift, and the decimal mark.
#include <optional>
#include <string>
#include <string_view>

#include "base/find_byte.h"
#include "engine/run_settings.h"

namespace velunt {

// Turns the value line `value` captured under `key` into the text to store,
// written into `stored` (its capacity is reused). Steps, in this order, each
// on what the earlier left:
//  1. replacePercentC: every "%%c" becomes "0";
//  2. shiftCoordinates: a key containing "10"/"11" adds rwShift, one
//     containing "20"/"21" hwShift (the latter wins), to values with
//     non-zero decimals and to plain numbers other than zero; the whole
//     value becomes the sum's text;
//  3. replaceDecimalPoint: the first "." of a value with non-zero decimals,
//     or of a plain number, becomes settings.decimalMark.
// Raises error 6 when a "%%c" to replace starts at position 32765 or later,
// or a "." that steps 2 or 3 look for stands at 32767 or later.
void TransformValue(std::string_view value, std::string_view key, const RunSettings& settings,
                    std::string& stored);

// The same steps on a value already in `value`, changed in place.
void TransformValueInPlace(std::string& value, std::string_view key, const RunSettings& settings);

// The same steps for the values of one run, which read each shift amount
// only once, when it is first needed. `settings` is borrowed.
class ValueTransform {
public:
    explicit ValueTransform(const RunSettings& settings) : m_settings(settings) {}
    void apply(std::string_view value, std::string_view key, std::string& stored);
    // False when `value` comes out of apply() unchanged whatever its key:
    // no "%%c" to replace, neither the shift nor the decimal mark on.
    bool changes(std::string_view value) const {
        return m_settings.shiftCoordinates || m_settings.replaceDecimalPoint ||
               (m_settings.replacePercentC && ContainsByte(value, '%'));
    }
    void applyInPlace(std::string& stored, std::string_view key);

private:
    double amount(bool hw);

    const RunSettings& m_settings;
    std::optional<double> m_amounts[2];  // RW, HW
};

}  // namespace velunt
