#pragma once
// The line reader's place in its current block, as a value a caller keeps in
// local variables for a tight loop (LineReader::lendCursor()). Its members
// may live in registers: the reader's own are reloaded after every store
// through a char pointer, which may alias them. It only moves within the
// block, and only while nothing needs the reader itself: at a line that may
// go on into the next block, or a skip that finds no mark in the rest of the
// block, it refuses (false, the cursor as it was) and the caller gives it
// back (LineReader::takeBackCursor()) and reads on with the reader.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace velunt {

struct BlockCursor {
    static constexpr std::uint32_t kAnyLine = ~std::uint32_t{0};

    // The next two lines, each with its line end in the block and not at its
    // last byte (which may be a CR whose LF is in the next block); false,
    // and nothing taken, when either is not.
    bool nextTwo(std::string_view& first, std::string_view& second) {
        size_t w = window, start = position;
        std::uint64_t m = mask;
        if (!take(w, m, start, first) || !take(w, m, start, second)) return false;
        window = w;
        mask = m;
        position = start;
        return true;
    }

    // Moves on to the first line at or after the position whose bit is set
    // in `marks` and, unless `awaited` is kAnyLine, whose three bytes are
    // `awaited` or "  0"; false, not moved, when there is none in the block.
    bool skipTo(const std::uint64_t* marks, std::uint32_t awaited) {
        size_t w = position / 64;
        if (w >= windowCount) return false;
        std::uint64_t hits =
            firstWorthStopping(w, marks[w] & (~std::uint64_t{0} << (position % 64)), awaited);
        while (hits == 0) {
            if (++w >= windowCount) return false;
            hits = firstWorthStopping(w, marks[w], awaited);
        }
        position = w * 64 + static_cast<size_t>(std::countr_zero(hits));
        window = w;
        mask = lineEnds[w] & (~std::uint64_t{0} << (position % 64));
        return true;
    }

    const char* data;
    const std::uint64_t* lineEnds;
    const std::uint64_t* objectStarts;
    const std::uint64_t* keyCandidates;
    size_t length;                  // valid bytes in the block
    size_t windowCount;             // windows covering `length`
    size_t window;                  // window that `mask` belongs to
    std::uint64_t mask;             // its line ends not yet handed out
    size_t position;                // start of the next line
    std::uint32_t threeBytes;       // the first three bytes of a word
    std::uint32_t objectStartLine;  // "  0" as three bytes

private:
    bool take(size_t& w, std::uint64_t& m, size_t& start, std::string_view& line) const {
        while (m == 0) {
            if (++w >= windowCount) return false;
            m = lineEnds[w];
        }
        const size_t end = w * 64 + static_cast<size_t>(std::countr_zero(m));
        if (end + 1 >= length) return false;
        m &= m - 1;
        line = std::string_view(data + start, end - start);
        // The LF of a CR LF pair is no line end of its own.
        start = end + 1 + ((data[end] == '\r') & (data[end + 1] == '\n'));
        return true;
    }

    // `hits` (marks of window `w`) from the first line worth stopping at on.
    std::uint64_t firstWorthStopping(size_t w, std::uint64_t hits, std::uint32_t awaited) const {
        if (awaited == kAnyLine) return hits;
        for (; hits != 0; hits &= hits - 1) {
            std::uint32_t word;
            std::memcpy(&word, data + w * 64 + static_cast<size_t>(std::countr_zero(hits)), 4);
            const std::uint32_t line = word & threeBytes;
            if (line == awaited || line == objectStartLine) break;
        }
        return hits;
    }
};

}  // namespace velunt
