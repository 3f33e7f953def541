#pragma once
// The standard layout of a group code: right-aligned in three characters for
// codes of one to three digits ("  0", " 10", "100"), the digits alone for
// longer ones ("1001"). Drawings written by other programs put the same
// codes as "0", " 0", "10", "  70" or "  100"; they mean the same.
#include <string>
#include <string_view>

#include "base/trim_spaces.h"

namespace velunt {

// The digits of `text` when it is a whole number: digits, with spaces (code
// 32) before or after; empty otherwise.
inline std::string_view WholeNumberDigits(std::string_view text) {
    const std::string_view digits = TrimSpaces(text);
    for (const char c : digits)
        if (c < '0' || c > '9') return {};
    return digits;
}

// True when `text` is a whole number already in the standard layout.
inline bool IsStandardGroupCode(std::string_view text, std::string_view digits) {
    if (digits.size() > 3) return text.size() == digits.size();
    return text.size() == 3 && text.substr(3 - digits.size()) == digits;
}

// `digits` (one or more) in the standard layout, written into `out`.
inline void WriteStandardGroupCode(std::string_view digits, std::string& out) {
    out.assign(digits.size() < 3 ? 3 - digits.size() : 0, ' ');
    out.append(digits);
}

// `text` in the standard layout when it is a whole number, else unchanged.
inline std::string StandardGroupCode(std::string_view text) {
    const std::string_view digits = WholeNumberDigits(text);
    if (digits.empty()) return std::string(text);
    std::string out;
    WriteStandardGroupCode(digits, out);
    return out;
}

}  // namespace velunt
