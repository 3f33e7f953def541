#pragma once
// Whole-line equality with one fixed text, made for the scan's hot loop: most
// DXF lines are a few bytes long, so a text of up to eight bytes is compared
// as one masked 64-bit word, without a branch or a library call.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace velunt {

class LineMatcher {
public:
    explicit LineMatcher(std::string_view text)
        : m_text(text), m_size(text.size()), m_isLong(text.size() > 8) {
        if (m_isLong) return;
        // The text and its mask in memory order, the same on every byte order.
        char bytes[8] = {}, mask[8] = {};
        std::memcpy(bytes, text.data(), text.size());
        std::memset(mask, 0xFF, text.size());
        std::memcpy(&m_word, bytes, 8);
        std::memcpy(&m_mask, mask, 8);
    }

    // `line` must have at least eight readable bytes from its start (the
    // line reader guarantees that for every line it returns).
    bool matches(std::string_view line) const {
        if (m_isLong) [[unlikely]]
            return line == m_text;
        std::uint64_t word;
        std::memcpy(&word, line.data(), 8);
        return (line.size() == m_size) & ((word & m_mask) == m_word);
    }

    const std::string& text() const { return m_text; }

private:
    std::string m_text;
    size_t m_size;
    bool m_isLong;
    std::uint64_t m_word = 0;
    std::uint64_t m_mask = 0;
};

}  // namespace velunt
