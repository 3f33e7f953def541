#pragma once
// Reads a drawing in code/value pairs from its first line and finds the
// group-code lines written otherwise than in the standard layout (see
// group_code.h), so that the line reader can hand them out as if they were
// so written. Only the pairing needs every line; the lines themselves stay
// in the block, and a line is marked by one bit at its line end.
//
// Pairing: the 1st, 3rd, 5th ... line is a group-code position. A line there
// that is a whole number (in any layout) is followed by its value line; a
// line there that is anything else (an empty line, a name, a byte-order
// mark) counts as a value line itself, so the line after it is a group-code
// position again. Value lines are never looked at.
//
// Runs where the blocks are read (the prefetch thread, or the caller), one
// block after another in file order; its state carries from block to block.
#include <cstddef>
#include <cstdint>

#include "lines/window_masks.h"

namespace velunt {

class GroupCodePairing {
public:
    // Looks at the lines of one block: `lineEnds` and `codeLines` as
    // ComputeWindowMasks() found them; `afterCr`: the block before ended with
    // a CR, so that an LF first in this block ends no line. For each line at
    // a group-code position that needs the standard layout, sets its bit in
    // `relaid` (at its line end; `relaid` must be all zeros on entry), and
    // when the line begins in this block, sets `keyCandidates` at its start,
    // and `objectStarts` too when it reads as "  0" once relaid. Returns true
    // when it set any bit.
    bool scanBlock(const char* data, size_t length, bool afterCr, const std::uint64_t* lineEnds,
                   const CodeLineMasks* codeLines, std::uint64_t* objectStarts,
                   std::uint64_t* keyCandidates, std::uint64_t* relaid);

    // At the end of the file: true when the last line, which has no line
    // end, is at a group-code position and needs the standard layout.
    bool lastLineNeedsLayout() const;

private:
    // The shape of a line read so far: spaces, digits, spaces.
    struct Shape {
        std::uint64_t leading = 0, digits = 0, trailing = 0;
        bool isWholeNumber = true;  // no other byte, no digit after a trailing space
        bool isZero = true;         // every digit so far is "0" and there is one
        void feed(const char* bytes, size_t count);
        bool needsLayout() const;  // a whole number, not in the standard layout
    };

    // Ends the line [start, end) of the current block at a group-code
    // position, or the line carried over from earlier blocks when
    // `continued`; sets `marked` when it marks the line.
    void endLine(const char* data, size_t start, size_t end, bool continued,
                 std::uint64_t* objectStarts, std::uint64_t* keyCandidates, std::uint64_t* relaid,
                 bool& marked);

    bool m_atCode = true;      // the next line to end is at a group-code position
    bool m_continued = false;  // the current line began in an earlier block
    Shape m_carried;           // the shape of that line so far (at a code position)
};

}  // namespace velunt
