#pragma once
// The line reader's place in its current block, as a value a caller keeps in
// local variables for a tight loop (LineReader::lendCursor()). Its members
// may live in registers: the reader's own are reloaded after every store
// through a char pointer, which may alias them. It moves from stop to stop,
// each a marked three-byte line ("  0" or a key), and only within the
// block: at a line that may go on into the next block, or a skip that finds
// no mark in the rest of it, it refuses (false, the cursor as it was), and
// the caller gives it back (LineReader::takeBackCursor()) and reads on with
// the reader.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace velunt {

// A skip that stops at every marked line awaits no particular key.
inline constexpr std::uint32_t kAnyLine = ~std::uint32_t{0};

// The first three bytes at `p` as one word, the fourth cleared by
// `threeBytes`.
inline std::uint32_t ThreeByteWord(const char* p, std::uint32_t threeBytes) {
    std::uint32_t word;
    std::memcpy(&word, p, 4);
    return word & threeBytes;
}

// `hits`, the marked three-byte lines of the 64-byte window at `window`,
// from the first whose word is `awaited` or `objectStartLine` on; all of them
// for kAnyLine.
inline std::uint64_t FirstAwaitedOrObjectStart(const char* window, std::uint64_t hits,
                                               std::uint32_t awaited, std::uint32_t threeBytes,
                                               std::uint32_t objectStartLine) {
    if (awaited == kAnyLine) return hits;
    for (; hits != 0; hits &= hits - 1) {
        const std::uint32_t line = ThreeByteWord(window + std::countr_zero(hits), threeBytes);
        if (line == awaited || line == objectStartLine) break;
    }
    return hits;
}

// The one skip of the line reader and its cursor: moves `at` on to the
// start of the first line at or after it whose bit is set in `marks` and
// that `worth` keeps, looked for in the windows up to `windowCount`; false
// (`at` as it was) when there is none. `worth(w, hits)` is `hits`, marks of
// window w, from the first line worth stopping at on.
template <class Worth>
inline bool SkipToStop(const std::uint64_t* marks, size_t windowCount, Worth worth, size_t& at) {
    size_t w = at / 64;
    if (w >= windowCount) return false;
    std::uint64_t hits = worth(w, marks[w] & (~std::uint64_t{0} << (at % 64)));
    while (hits == 0) {
        if (++w >= windowCount) return false;
        hits = worth(w, marks[w]);
    }
    at = w * 64 + static_cast<size_t>(std::countr_zero(hits));
    return true;
}

struct BlockCursor {
    // Moves on to the next line that reads "  0" (an object start).
    bool skipToObjectStart() { return skipTo(objectStarts, kAnyLine); }

    // Moves on to the next line that reads `awaited` (a key as
    // LineReader::keyLine() gives it) or "  0"; `objectStart` tells which.
    bool skipToKeyOrObjectStart(std::uint32_t awaited, bool& objectStart) {
        if (!skipTo(keyCandidates, awaited)) return false;
        objectStart = ThreeByteWord(data + position, threeBytes) == objectStartLine;
        return true;
    }

    // Passes the line a skip stopped at and hands out the line after it,
    // when its line end is in the block and not at its last byte (which may
    // be a CR whose LF is in the next block).
    bool takeLineAfterStop(std::string_view& line) {
        const size_t stopEnd = position + 3;  // a stop has three bytes
        if (stopEnd + 1 >= length) return false;
        // The line's end is looked for from the byte after the stop's line
        // end, not from the line's start: an LF there is no line end of its
        // own, and the search need not wait for the bytes to be read.
        size_t w = (stopEnd + 1) / 64;
        std::uint64_t ends = lineEnds[w] & (~std::uint64_t{0} << ((stopEnd + 1) % 64));
        while (ends == 0) {
            if (++w >= windowCount) return false;
            ends = lineEnds[w];
        }
        const size_t end = w * 64 + static_cast<size_t>(std::countr_zero(ends));
        if (end + 1 >= length) return false;
        const size_t start = afterLineEnd(stopEnd);
        line = std::string_view(data + start, end - start);
        from = end + 1;
        position = afterLineEnd(end);
        return true;
    }

    const char* data;
    const std::uint64_t* lineEnds;
    const std::uint64_t* objectStarts;
    const std::uint64_t* keyCandidates;
    size_t length;                  // valid bytes in the block
    size_t windowCount;             // windows covering `length`
    size_t position;                // start of the next line
    size_t from;                    // marks and line ends are looked for from here on
    std::uint32_t threeBytes;       // the first three bytes of a word
    std::uint32_t objectStartLine;  // "  0" as ThreeByteWord() reads it

private:
    // Moves on to the first line at or after `from` whose bit is set in
    // `marks` and, unless `awaited` is kAnyLine, whose three bytes are
    // `awaited` or "  0". No line starts between `from` and `position`.
    bool skipTo(const std::uint64_t* marks, std::uint32_t awaited) {
        const auto worth = [&](size_t w, std::uint64_t hits) {
            return FirstAwaitedOrObjectStart(data + w * 64, hits, awaited, threeBytes,
                                             objectStartLine);
        };
        if (!SkipToStop(marks, windowCount, worth, from)) return false;
        position = from;
        return true;
    }

    // The start of the line after the line end at `end`, which is not the
    // block's last byte; the LF of a CR LF pair is no line end of its own.
    size_t afterLineEnd(size_t end) const {
        return end + 1 + ((data[end] == '\r') & (data[end + 1] == '\n'));
    }
};

}  // namespace velunt
