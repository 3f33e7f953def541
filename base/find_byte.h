#pragma once
// Finding one byte in a value. Values are mostly a few bytes long: eight
// bytes at a time find it sooner than a library call; longer texts use
// memchr.
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

// The position of the first `c` in `text`, or npos.
inline std::size_t FindByte(std::string_view text, char c) {
    constexpr std::size_t kShort = 32;
    const std::size_t n = text.size();
    if (n > kShort) return text.find(c);
    const char* const p = text.data();
    if (n < 8 || std::endian::native != std::endian::little) {
        for (std::size_t i = 0; i < n; ++i)
            if (p[i] == c) return i;
        return std::string_view::npos;
    }
    // Whole words, then the last eight bytes (overlapping the words before,
    // which held no hit).
    for (std::size_t i = 0;; i += 8) {
        if (i + 8 > n) i = n - 8;
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        const std::uint64_t hits = BytesEqualTo(word, c);
        if (hits != 0) return i + static_cast<std::size_t>(std::countr_zero(hits)) / 8;
        if (i + 8 == n) return std::string_view::npos;
    }
}

// True when `text` holds `c`; for short texts with a few fixed-size loads
// and no loop.
inline bool ContainsByte(std::string_view text, char c) {
    const std::size_t n = text.size();
    const char* const p = text.data();
    if (n > 16 || n < 8) return FindByte(text, c) != std::string_view::npos;
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
