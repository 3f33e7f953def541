#include "engine/value_transform.h"

#include <cstring>

#include "base/read_number.h"
#include "base/runtime_error.h"

namespace velunt {
namespace {

constexpr std::string_view kPercentC = "%%c";

// The first "%%c" at or after `from`.
size_t findPercentC(const std::string& text, size_t from) {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* p = begin + from; p + 2 < end;) {
        p = static_cast<const char*>(std::memchr(p, '%', static_cast<size_t>(end - 2 - p)));
        if (!p) break;
        if (p[1] == '%' && p[2] == 'c') return static_cast<size_t>(p - begin);
        ++p;
    }
    return std::string::npos;
}

void replacePercentC(std::string& text) {
    size_t at = 0;
    while ((at = findPercentC(text, at)) != std::string::npos) {
        if (at + 1 >= 32765) throw MakeError(kOverflow);
        text[at] = '0';
        text.erase(at + 1, kPercentC.size() - 1);
        // No occurrence ends before `at`, and none can contain the "0".
        at += 1;
    }
}

// Texts with non-zero decimals, and every plain number with a ".", zero
// included: a table must not hold "3.000" beside "3,5". `point`: the first
// "." of `value`.
bool isMarked(std::string_view value, size_t point) {
    if (point == std::string_view::npos) return false;
    return HasNonZeroDecimals(value) || IsPlainNumber(value);
}

}  // namespace

Shift ValueTransform::shiftFor(std::string_view key) const {
    if (!m_settings.shiftCoordinates) return Shift::None;
    bool rw = false;
    bool hw = false;
    for (size_t i = 0; i + 1 < key.size(); ++i) {
        if (key[i + 1] != '0' && key[i + 1] != '1') continue;
        rw = rw || key[i] == '1';
        hw = hw || key[i] == '2';
    }
    if (hw) return m_settings.hwShift.empty() ? Shift::None : Shift::Hw;
    if (rw) return m_settings.rwShift.empty() ? Shift::None : Shift::Rw;
    return Shift::None;
}

double ValueTransform::amount(bool hw) {
    std::optional<double>& amount = m_amounts[hw];
    if (!amount) {
        amount = ReadNumber(hw ? m_settings.hwShift : m_settings.rwShift);
        m_decimalShifts[hw].emplace(*amount);
    }
    return *amount;
}

void ValueTransform::apply(std::string_view value, Shift shift, std::string& stored) {
    if (!changes(value, shift)) {
        stored.assign(value);
        return;
    }
    if (value.size() <= kShortTransformRoom) {
        char out[kShortTransformRoom];
        if (const size_t size = writeShort(value, shift, out)) {
            stored.assign(out, size);
            return;
        }
    }
    stored.assign(value);
    applyInPlace(stored, shift);
}

void ValueTransform::applyInPlace(std::string& stored, Shift shift) {
    if (m_settings.replacePercentC) replacePercentC(stored);

    if (shift != Shift::None) {
        const bool hw = shift == Shift::Hw;
        // Texts with a "." followed closely by a digit other than 0
        // ("12.345 m"), and every plain number but zero, which is how
        // drawings write unused points.
        const bool nonZeroDecimals = HasNonZeroDecimals(stored);
        double number;
        if (ReadPlainNumber(stored, number)) {
            if (nonZeroDecimals || number != 0.0) AssignNumberText(number + amount(hw), stored);
        } else if (nonZeroDecimals) {
            AssignNumberText(ReadNumber(stored) + amount(hw), stored);
        }
    }

    if (!m_settings.replaceDecimalPoint) return;
    const size_t point = stored.find('.');
    if (isMarked(stored, point)) {
        if (m_settings.decimalMark.size() == 1) {
            stored[point] = m_settings.decimalMark[0];
        } else {
            stored.replace(point, 1, m_settings.decimalMark);
        }
    }
}

void TransformValue(std::string_view value, std::string_view key, const RunSettings& settings,
                    std::string& stored) {
    ValueTransform transform(settings);
    transform.apply(value, transform.shiftFor(key), stored);
}

}  // namespace velunt
