#include "engine/value_transform.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "base/read_number.h"
#include "base/runtime_error.h"

namespace velunt {
namespace {

constexpr std::string_view kPercentC = "%%c";

// Values are mostly a few bytes long: eight bytes at a time find a
// character in them sooner than a library call. Longer ones use memchr.
constexpr size_t kShortValue = 32;

// Byte i of the result has its top bit set when byte i of `word` is zero and
// no byte below it is (the bits above the first zero byte may be wrong).
inline std::uint64_t zeroBytes(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    return (word - kOnes) & ~word & kHighs;
}

size_t findChar(std::string_view text, char c) {
    const size_t n = text.size();
    if (n > kShortValue) return text.find(c);
    const char* const p = text.data();
    if (n < 8 || std::endian::native != std::endian::little) {
        for (size_t i = 0; i < n; ++i)
            if (p[i] == c) return i;
        return std::string_view::npos;
    }
    const std::uint64_t pattern = 0x0101010101010101u * static_cast<unsigned char>(c);
    // Whole words, then the last eight bytes (overlapping the words before,
    // which held no hit).
    for (size_t i = 0;; i += 8) {
        if (i + 8 > n) i = n - 8;
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        const std::uint64_t hits = zeroBytes(word ^ pattern);
        if (hits != 0) return i + static_cast<size_t>(std::countr_zero(hits)) / 8;
        if (i + 8 == n) return std::string_view::npos;
    }
}

// The first "%%c" at or after `from`.
size_t findPercentC(const std::string& text, size_t from) {
    if (from >= text.size() ||
        findChar(std::string_view(text).substr(from), '%') == std::string_view::npos)
        return std::string::npos;
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

// Which shift a key selects: one containing "10"/"11" the RW amount, one
// containing "20"/"21" the HW amount (the latter wins), others none.
enum class Shift { None, Rw, Hw };
Shift shiftFor(std::string_view key) {
    bool rw = false;
    bool hw = false;
    for (size_t i = 0; i + 1 < key.size(); ++i) {
        if (key[i + 1] != '0' && key[i + 1] != '1') continue;
        rw = rw || key[i] == '1';
        hw = hw || key[i] == '2';
    }
    return hw ? Shift::Hw : rw ? Shift::Rw : Shift::None;
}

// The same texts, and every plain number with a ".", zero included: a table
// must not hold "3.000" beside "3,5".
bool isMarked(std::string_view value) {
    if (HasNonZeroDecimals(value)) return true;
    return findChar(value, '.') != std::string_view::npos && IsPlainNumber(value);
}

}  // namespace

double ValueTransform::amount(bool hw) {
    std::optional<double>& amount = m_amounts[hw];
    if (!amount) amount = ReadNumber(hw ? m_settings.hwShift : m_settings.rwShift);
    return *amount;
}

void ValueTransform::apply(std::string_view value, std::string_view key, std::string& stored) {
    stored.assign(value);
    // Most values have nothing to change: no "%%c", neither step on.
    if (m_settings.shiftCoordinates || m_settings.replaceDecimalPoint ||
        (m_settings.replacePercentC && findChar(value, '%') != std::string_view::npos))
        applyInPlace(stored, key);
}

void ValueTransform::applyInPlace(std::string& stored, std::string_view key) {
    if (m_settings.replacePercentC) replacePercentC(stored);

    if (m_settings.shiftCoordinates) {
        const Shift shift = shiftFor(key);
        const bool hw = shift == Shift::Hw;
        if (shift != Shift::None && !(hw ? m_settings.hwShift : m_settings.rwShift).empty()) {
            // Texts with a "." followed closely by a digit other than 0
            // ("12.345 m"), and every plain number but zero, which is how
            // drawings write unused points.
            const bool nonZeroDecimals = HasNonZeroDecimals(stored);
            if (nonZeroDecimals || IsPlainNumber(stored)) {
                const double number = ReadNumber(stored);
                if (nonZeroDecimals || number != 0.0) AssignNumberText(number + amount(hw), stored);
            }
        }
    }

    if (m_settings.replaceDecimalPoint && isMarked(stored)) {
        const size_t point = findChar(stored, '.');
        if (m_settings.decimalMark.size() == 1) {
            stored[point] = m_settings.decimalMark[0];
        } else {
            stored.replace(point, 1, m_settings.decimalMark);
        }
    }
}

void TransformValue(std::string_view value, std::string_view key, const RunSettings& settings,
                    std::string& stored) {
    ValueTransform(settings).apply(value, key, stored);
}

void TransformValueInPlace(std::string& stored, std::string_view key, const RunSettings& settings) {
    ValueTransform(settings).applyInPlace(stored, key);
}

}  // namespace velunt
