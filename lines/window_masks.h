#pragma once
// The bit masks of a block's 64-byte windows: line ends, object starts and
// possible key lines (what the bits mean: lines/line_reader.h). Four
// variants compute the same masks: plain C++, SSE2, AVX2 (four windows at a
// time), and AVX2 with its byte compares in AVX-512BW; the best one the
// processor can run is used unless a caller (a test) picks one.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velunt {

// Which three-byte lines may be a key line: per byte position, whether every
// key (and "  0") has a space, or a "0", there.
struct KeyShape {
    bool space[3] = {};
    bool zero[3] = {};
};

// Per window, the group-code lines that lie wholly in the block (their
// start seen as a line start, their line end in the block), one bit at the
// line end: in the standard layout of up to three digits ("  0", " 10",
// "100"), of one digit alone, of two digits alone, and "0" alone; and the
// parity of the line ends (bit i: an odd number of the window's line ends
// lie at i or below, the prefix XOR of its lineEnds word). Reading in
// code/value pairs (GroupCodePairing) settles whole windows with them.
struct CodeLineMasks {
    std::uint64_t standard = 0, oneDigit = 0, twoDigits = 0, zero = 0;
    std::uint64_t lineEndParity = 0;
    bool operator==(const CodeLineMasks&) const = default;
};

enum class MaskVariant { Scalar, Sse2, Avx2, Avx512 };

// The variants this build and this processor can run, plainest first.
std::vector<MaskVariant> AvailableMaskVariants();

// The fastest of them.
MaskVariant BestMaskVariant();

// Fills one mask word per 64-byte window of `bytes[0, length)` into each of
// the three arrays. Bytes from `length` up to the end of the last window
// must be readable; they do not count. `lineStartsAtBlock`: the byte before
// `bytes` ended a line (or there is none). `variant` must be one of
// AvailableMaskVariants(). `codeLines` (one per window) may be null when no
// one needs them.
void ComputeWindowMasks(MaskVariant variant, const char* bytes, std::size_t length,
                        bool lineStartsAtBlock, const KeyShape& shape, std::uint64_t* lineEnds,
                        std::uint64_t* objectStarts, std::uint64_t* keyCandidates,
                        CodeLineMasks* codeLines = nullptr);

}  // namespace velunt
