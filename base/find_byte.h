#pragma once
// Looking for one byte in a value. Values are mostly a few bytes long: one
// or two eight-byte loads answer sooner than a library call; other lengths
// use memchr.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace velunt {

// Per byte of `word`, its top bit set where the byte equals `c`; exact up to
// the lowest such byte (above it a borrow may flag others).
inline std::uint64_t BytesEqualTo(std::uint64_t word, char c) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    word ^= kOnes * static_cast<unsigned char>(c);
    return (word - kOnes) & ~word & kHighs;
}

// True when `text` holds `c`; for short texts with a few fixed-size loads
// and no loop.
inline bool ContainsByte(std::string_view text, char c) {
    const std::size_t n = text.size();
    const char* const p = text.data();
    if (n > 16 || n < 8) return text.find(c) != std::string_view::npos;
    // The first and the last eight bytes, which may overlap, cover the text.
    std::uint64_t head, tail;
    std::memcpy(&head, p, 8);
    std::memcpy(&tail, p + n - 8, 8);
    return (BytesEqualTo(head, c) | BytesEqualTo(tail, c)) != 0;
}

// The same for a text with at least eight bytes readable from its start
// (past its end they do not count): one load up to eight bytes.
inline bool ContainsBytePadded(std::string_view text, char c) {
    const std::size_t n = text.size();
    if (n > 8 || std::endian::native != std::endian::little) return ContainsByte(text, c);
    std::uint64_t word;
    std::memcpy(&word, text.data(), 8);
    // Flags above the lowest hit may be false, so only the lowest counts.
    const std::uint64_t hits = BytesEqualTo(word, c);
    return hits != 0 && static_cast<std::size_t>(std::countr_zero(hits)) < 8 * n;
}

}  // namespace velunt
