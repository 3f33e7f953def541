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

// The first "." of the number `number`, or npos; positions are 16-bit, so a
// "." at position 32767 or later is an overflow.
size_t pointOf(std::string_view number) {
    const size_t point = number.find('.');
    if (point != std::string_view::npos && point + 1 >= 32767) throw MakeError(kOverflow);
    return point;
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

    // Only a value that is a number as a whole is shifted or marked: a text
    // ("Str. 5", "14.09.20", "12.345 m") keeps its points and its digits.
    if (shift == Shift::None && !m_settings.replaceDecimalPoint) return;
    if (!IsNumber(stored)) return;
    size_t point = pointOf(stored);
    if (shift != Shift::None) {
        // Zero too: it is a real coordinate (an instrument's origin), and a
        // table must not mix shifted and unshifted points.
        AssignNumberText(ReadNumber(stored) + amount(shift == Shift::Hw), stored);
        point = stored.find('.');
    }

    if (!m_settings.replaceDecimalPoint || point == std::string::npos) return;
    if (m_settings.decimalMark.size() == 1) {
        stored[point] = m_settings.decimalMark[0];
    } else {
        stored.replace(point, 1, m_settings.decimalMark);
    }
}

void TransformValue(std::string_view value, std::string_view key, const RunSettings& settings,
                    std::string& stored) {
    ValueTransform transform(settings);
    transform.apply(value, transform.shiftFor(key), stored);
}

}  // namespace velunt
