#include "lines/group_code_pairing.h"

#include <bit>

#include "base/always_inline.h"
#include "lines/prefix_xor.h"

namespace velunt {
namespace {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

inline void setBit(std::uint64_t* masks, size_t position) {
    masks[position / 64] |= std::uint64_t{1} << (position % 64);
}

// "  0", " 10", "100": the standard layout of a code of up to three digits.
inline bool isStandardThreeBytes(const char* p) {
    if (!isDigit(p[2])) return false;
    if (isDigit(p[1])) return p[0] == ' ' || isDigit(p[0]);
    return p[1] == ' ' && p[0] == ' ';
}

// Settles window `w` at once when every line at a group-code position that
// ends in it lies wholly in the block and is in the standard layout or one
// or two digits alone; false (nothing changed) otherwise. `atCode`: the next
// line to end is at a group-code position; `odd`: the prefix XOR of `ends`.
VELUNT_ALWAYS_INLINE bool settleWindow(size_t w, std::uint64_t ends, std::uint64_t odd,
                                       const CodeLineMasks& codes, bool& atCode,
                                       std::uint64_t* objectStarts, std::uint64_t* keyCandidates,
                                       std::uint64_t* relaid, bool& marked) {
    // Lines alternate between group-code and value positions as long as
    // every group-code line is a whole number: the 1st, 3rd ... line ending
    // here is at a code position when the next line to end is. The top bit
    // of `odd` is the parity of all line ends in the window.
    const std::uint64_t codeEnds = ends & (atCode ? odd : ~odd);
    const bool flip = (odd >> 63) != 0;
    // The common case: every group-code line in the standard layout.
    if ((codeEnds & ~codes.standard) == 0) {
        atCode = atCode != flip;
        return true;
    }
    const std::uint64_t shortCodes = codes.oneDigit | codes.twoDigits;
    if ((codeEnds & ~(codes.standard | shortCodes)) != 0) return false;
    const std::uint64_t relay = codeEnds & shortCodes;
    // Marked at the line end; at the line start, one or two bytes earlier,
    // for skipping.
    const std::uint64_t one = codeEnds & codes.oneDigit;
    const std::uint64_t two = codeEnds & codes.twoDigits;
    const std::uint64_t zero = codeEnds & codes.zero;
    relaid[w] |= relay;
    keyCandidates[w] |= (one >> 1) | (two >> 2);
    objectStarts[w] |= zero >> 1;
    if (w > 0) {
        keyCandidates[w - 1] |= (one << 63) | (two << 62);
        objectStarts[w - 1] |= zero << 63;
    }
    marked = true;
    atCode = atCode != flip;
    return true;
}

}  // namespace

void GroupCodePairing::Shape::feed(const char* bytes, size_t count) {
    for (size_t i = 0; i < count && isWholeNumber; ++i) {
        const char c = bytes[i];
        if (c == ' ') {
            if (digits == 0) {
                ++leading;
            } else {
                ++trailing;
            }
        } else if (isDigit(c) && trailing == 0) {
            ++digits;
            isZero = isZero && c == '0';
        } else {
            isWholeNumber = false;
        }
    }
}

bool GroupCodePairing::Shape::needsLayout() const {
    if (!isWholeNumber || digits == 0) return false;
    if (digits > 3) return leading != 0 || trailing != 0;
    return trailing != 0 || leading + digits != 3;
}

void GroupCodePairing::endLine(const char* data, size_t start, size_t end, bool continued,
                               std::uint64_t* objectStarts, std::uint64_t* keyCandidates,
                               std::uint64_t* relaid, bool& marked) {
    if (!m_atCode) {
        m_atCode = true;
        return;
    }
    // The common case, a line in the block in the standard layout.
    if (!continued && end - start == 3 && isStandardThreeBytes(data + start)) {
        m_atCode = false;
        return;
    }
    Shape shape = continued ? m_carried : Shape();
    shape.feed(data + start, end - start);
    // A whole number is followed by its value; anything else counts as a
    // value line itself, and the next line is a group-code position again.
    m_atCode = !(shape.isWholeNumber && shape.digits > 0);
    if (!shape.needsLayout()) return;
    setBit(relaid, end);
    marked = true;
    if (continued) return;  // the reader does not skip over lines from earlier blocks
    setBit(keyCandidates, start);
    if (shape.isZero && shape.digits == 1) setBit(objectStarts, start);
}

bool GroupCodePairing::scanBlock(const char* data, size_t length, bool afterCr,
                                 const std::uint64_t* lineEnds, const CodeLineMasks* codeLines,
                                 std::uint64_t* objectStarts, std::uint64_t* keyCandidates,
                                 std::uint64_t* relaid) {
    bool marked = false;
    bool atCode = m_atCode;
    size_t start = 0;
    bool continued = m_continued;
    const size_t windows = (length + 63) / 64;
    // The LF of a CR LF pair split between blocks ends no line.
    std::uint64_t firstEnds = windows > 0 ? lineEnds[0] : 0;
    if (windows > 0 && afterCr && data[0] == '\n') {
        firstEnds &= ~std::uint64_t{1};
        start = 1;
    }
    const auto endsOf = [&](size_t w) { return w == 0 ? firstEnds : lineEnds[w]; };
    // Windows settled at once (those from `settledFrom` on) leave the start
    // of the next line to find out only when it is needed: after the last
    // line end in them.
    size_t settledFrom = 0;
    const auto startAfterSettled = [&](size_t w) {
        while (w > settledFrom) {
            const std::uint64_t ends = endsOf(--w);
            if (ends == 0) continue;
            const size_t last = w * 64 + 63 - static_cast<size_t>(std::countl_zero(ends));
            start = last + 1;
            if (data[last] == '\r' && last + 1 < length && data[last + 1] == '\n') ++start;
            return;
        }
    };
    for (size_t w = 0; w < windows; ++w) {
        std::uint64_t ends = endsOf(w);
        // Window 0 may have lost a line end, above.
        const std::uint64_t parity = w == 0 ? PrefixXor(ends) : codeLines[w].lineEndParity;
        if (!continued && settleWindow(w, ends, parity, codeLines[w], atCode, objectStarts,
                                       keyCandidates, relaid, marked))
            continue;
        startAfterSettled(w);
        settledFrom = w + 1;
        m_atCode = atCode;
        while (ends != 0) {
            const size_t end = w * 64 + static_cast<size_t>(std::countr_zero(ends));
            ends &= ends - 1;
            endLine(data, continued ? 0 : start, end, continued, objectStarts, keyCandidates,
                    relaid, marked);
            continued = false;
            start = end + 1;
            if (data[end] == '\r' && end + 1 < length && data[end + 1] == '\n') ++start;
        }
        atCode = m_atCode;
    }
    startAfterSettled(windows);
    m_atCode = atCode;
    // A CR at the end ends its line; an LF may follow.
    if (length > 0 && data[length - 1] == '\r') start = length;
    // The rest of the block begins a line that goes on in the next block.
    if (start < length || (continued && length > 0)) {
        if (!continued) m_carried = Shape();
        if (m_atCode) m_carried.feed(data + start, length - start);
        m_continued = true;
    } else {
        m_continued = false;
    }
    return marked;
}

bool GroupCodePairing::lastLineNeedsLayout() const {
    return m_continued && m_atCode && m_carried.needsLayout();
}

}  // namespace velunt
