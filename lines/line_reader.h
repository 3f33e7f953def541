#pragma once
// The lines of a file, and the contract of the whole line-reading layer
// (lines/window_masks, lines/block_source and this reader).
//
// Lines. A line ends at CR LF, at a lone CR or at a lone LF; the last line
// needs no line end, and a file that ends with a line end has no empty line
// after it. Lines are handed out without their line end. Memory is a few
// blocks, their masks, and the longest line that spans blocks and is held
// whole (see setLineLimit()).
//
// Bits. The file is read in blocks; for each 64-byte window of a block,
// ComputeWindowMasks() sets bit i of three masks for byte i of the window:
//   lineEnds       the byte ends a line: each CR, and each LF not right after a CR
//   objectStarts   a line that reads "  0" (an object start) begins at the byte
//   keyCandidates  a three-byte line begins at the byte and has the key shape
// A three-byte line is one whose line end follows its third byte. Handing out
// a line is taking the lowest bit of lineEnds; skipping is finding the next
// bit of objectStarts or keyCandidates. One window, keys " 10", " 20" and
// "  1" (shown: _ space, r CR, n LF; bit i under byte i):
//   byte           0         1         2         3         4         5         6
//                  0123456789012345678901234567890123456789012345678901234567890123
//   bytes          __0rnTEXTrn__8rn0rn_10rn1.5n_20r2.25rn__1rnA_Brn__0rnLINErn_10rn
//   lineEnds       ...1.....1....1..1....1....1...1....1....1....1....1.....1....1.
//   objectStarts   1...............................................1...............
//   keyCandidates  1..........1.......1........1.........1.........1..........1....
// "1.5" ends at its lone LF (27), " 20" at its lone CR (31). Every key
// begins with a space, so every three-byte line that does is a candidate:
// "  8" too (a skip may stop at lines that are no key), "A B" not.
//
// CR LF. A CR LF pair is one line end with one bit, at the CR; the LF is
// stepped over in stepOverLineEnd(). When the CR is a block's last byte, the
// LF is the next block's first byte, which the masks (they see one block)
// mark as a line end of its own: refill() clears that bit and starts the
// block after the LF. Whether the block before ended with a CR is kept in
// one place, BlockSource, which tells it with each block (Block::afterCr).
//
// The last window. A window's masks also look at the first bytes of the
// window after it (an LF after a CR, the line end after a three-byte line).
// A block's last window cannot see the next block, so a line there that may
// go on into it is never marked. A skip that finds no mark in the rest of the
// block therefore stops before the last window: at the line after the last
// line end in the windows before it (or where it is, if there is none), and
// next() reads on from there, spilling a line that spans blocks into the
// reader's own buffer.
//
// Key shape. The key shape (KeyShape) says, per byte position, whether every
// key has a space, or a "0", there. setKeys() seeds it with "  0", so a skip
// to keys still stops at every object start. It is only used when every key
// has three bytes (and there is one); otherwise setKeys() returns false and
// skipToKeyOrObjectStart() does nothing. Blocks are scanned with the shape
// set when they are read, so setKeys() comes before the first next() or
// peek(); later it returns false.
//
// Threads. The caller's thread reads the first block. With prefetch, when
// that block is full, a second thread reads the file and computes the masks
// up to two blocks ahead; without prefetch, when the file ended within the
// first block, or when no thread (or no memory for its blocks) can be had,
// the caller's thread does it inside next() and peek(). `file` is borrowed: it must stay open, and
// nothing else may read it, while the reader lives. The reader itself is used
// from one thread.
//
// Errors. next() and peek() throw RuntimeError, from refill(), when a read
// failed, be it on the prefetch thread (which hands the error over with the
// block) or on the caller's; when memory ran out on the prefetch thread while
// the error was made, it is error 7 (out of memory). std::bad_alloc comes from
// the constructor (the blocks) and from next() and peek(): the spill growing
// for a line that spans blocks, or making a read error on the caller's
// thread. Skipping and moveLastLineInto() do not
// throw.
//
// Views. A line from next() stays valid until the next call of next() or,
// for a spilled line, moveLastLineInto(); skipping and peek() leave it
// valid. peek()'s view lies in the first block and stays valid until next()
// reads on past that block; callers rely on it only until the first next().
//
// Slack. Past the end of every line handed out (by next(), peek() or a
// BlockCursor), kReadableSlack bytes are readable: the blocks have room for
// them after their last byte, and the reader's own copies (a spilled line, a
// relaid group code) add them. Word-wise compares read past a short line
// (LineMatcher, TypeCounter), and the run copies short values as one
// fixed-size piece and writes its table with the same slack (kTextPadding).
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lines/block_cursor.h"
#include "lines/block_source.h"
#include "lines/window_masks.h"

namespace velunt {

// See "Slack" above.
inline constexpr size_t kReadableSlack = 16;

// Told after every block read, before its lines are handed out.
class BlockListener {
public:
    virtual ~BlockListener() = default;
    virtual void blockRead(std::uint64_t bytesRead) = 0;
};

class LineReader {
public:
    // Large enough that handing blocks between the threads costs little,
    // small enough that the three in flight take little memory.
    static constexpr size_t kDefaultBlockSize = size_t{512} << 10;

    // `path` only names the file in read errors. With `prefetch`, the next
    // blocks are read and scanned on a second thread. `masks` picks how the
    // blocks are scanned (tests compare the variants); any of
    // AvailableMaskVariants() gives the same lines.
    LineReader(std::FILE* file, std::filesystem::path path, size_t blockSize = kDefaultBlockSize,
               bool prefetch = true, MaskVariant masks = BestMaskVariant());

    // The next line without its line end; false when no line is left, that
    // is exactly when the file is at its end.
    bool next(std::string_view& line) {
        if (!m_spillActive) [[likely]] {
            while (m_mask == 0) {
                if (++m_window >= m_windowCount) return nextSlow(line);
                m_mask = m_masks[m_window];
            }
            line = takeLineInBlock();
            return true;
        }
        return nextSlow(line);
    }

    // Moves on to the next line that reads "  0" (an object start) within the
    // current block, passing over every line before it; without one, as far
    // as the last-window rule allows (above). Lines passed over are never
    // handed out, so the caller uses this only where no other line matters.
    void skipToObjectStart() { skipTo(m_objectStarts, kAnyLine); }

    // Tells the reader the key lines awaited inside objects (key shape,
    // above). When it returns true, skipToKeyOrObjectStart(index) passes
    // over lines that can be neither keys[index] nor "  0"; it may stop at
    // other lines too (other keys among them).
    bool setKeys(std::span<const std::string> keys);
    void skipToKeyOrObjectStart(size_t index) {
        if (m_keysShaped) skipTo(m_keyCandidates, m_keyLines[index]);
    }

    // Lends the place in the current block to a tight loop (BlockCursor),
    // when the keys are shaped and nothing else needs the reader there: no
    // line spans blocks, and the block has no relaid group codes. Skips with
    // the cursor stop at the same lines as skipToObjectStart() and
    // skipToKeyOrObjectStart(); its lines are views into the block, valid as
    // those of next() in it. The reader must not be used until
    // takeBackCursor() gives the place back.
    bool canLendCursor() const {
        return m_keysShaped && !m_spillActive && !m_blockRelaid && m_data != nullptr;
    }
    bool lendCursor(BlockCursor& cursor) const {
        if (!canLendCursor()) return false;
        cursor = {m_data,        m_masks,    m_objectStarts, m_keyCandidates, m_length,
                  m_windowCount, m_position, m_position,     m_threeBytes,    m_objectStartLine};
        return true;
    }
    void takeBackCursor(const BlockCursor& cursor) {
        if (cursor.position < m_length) {
            moveTo(cursor.position);
        } else {  // at the end of the block
            m_position = cursor.position;
            m_window = m_windowCount - 1;
            m_mask = 0;
        }
    }
    // keys[index] (of the keys given to setKeys()) as
    // BlockCursor::skipToKeyOrObjectStart() awaits it.
    std::uint32_t keyLine(size_t index) const { return m_keyLines[index]; }

    // Reads the file in code/value pairs and hands out each group-code line
    // written otherwise than in the standard layout ("0", " 10", "  100") as
    // if it were so written ("  0", " 10", "100"); see group_code_pairing.h.
    // Every other line comes out as it is. Call before the first next() or
    // peek().
    void readGroupCodesInPairs() { m_source.pairGroupCodes(); }

    // Lines that are only compared need not be held whole: from now on a
    // line that spans blocks and is longer than `limit` bytes may come out
    // of next() cut, as a view of more than `limit` bytes whose first
    // `limit` + 1 bytes are the line's, and that equals no text of up to
    // `limit` bytes unless the whole line does (a group-code line keeps its
    // standard layout), so memory stays bounded by `limit` however long the
    // line. nextWhole() hands out the next line whole all the same. A caller
    // sets a limit no shorter than every line it reads with next(): each
    // text it compares lines with, and each line it keeps a part of (a
    // run: "  0", the master key, the keys, the section's lines and name,
    // and the type lines it counts).
    void setLineLimit(size_t limit) { m_lineLimit = limit; }
    bool nextWhole(std::string_view& line) {
        const LimitLifted lifted(m_lineLimit);
        return next(line);
    }

    // True when the line last returned spans blocks and so lives in the
    // reader's own buffer.
    bool lastLineSpilled() const { return m_spillInUse; }

    // Moves the line last returned, which must be spilled, into `out` without
    // copying it (a long value need not exist twice); the view returned for
    // it is void afterwards.
    void moveLastLineInto(std::string& out);

    // `listener` (borrowed, may be null) hears of every block read from now on.
    void setBlockListener(BlockListener* listener) { m_listener = listener; }

    // Bytes taken from the file so far (block granularity).
    std::uint64_t bytesRead() const { return m_bytesRead; }

    // The first bytes of the file, for telling formats apart before the first
    // line is read; at most one block.
    std::string_view peek(size_t count);

private:
    bool nextSlow(std::string_view& line);
    bool refill();
    // Moves to the first line at or after the position whose bit is set in
    // `marks` and, unless `awaited` is kAnyLine, whose three bytes are
    // `awaited` or "  0" (as threeByteLine() reads them); the same skip as
    // the cursor's (SkipToStop()).
    void skipTo(const std::uint64_t* marks, std::uint32_t awaited) {
        if (m_spillActive) return;
        const auto worth = [&](size_t w, std::uint64_t hits) {
            return firstWorthStopping(w, hits, awaited);
        };
        size_t stop = m_position;
        if (SkipToStop(marks, m_windowCount, worth, stop)) [[likely]] {
            moveTo(stop);
        } else {
            stopBeforeLastWindow();
        }
    }
    // Where a skip that found no mark in the rest of the block stops (the
    // last-window rule, above).
    void stopBeforeLastWindow();

    // `hits` (marks of window `w`) from the first line worth stopping at on.
    // Every marked line has its line end in the block, so four bytes are
    // readable at its start.
    std::uint64_t firstWorthStopping(size_t w, std::uint64_t hits, std::uint32_t awaited) const {
        if (awaited == kAnyLine) return hits;
        if (m_blockRelaid) [[unlikely]]
            return firstWorthStoppingRelaid(w, hits, awaited);
        return FirstAwaitedOrObjectStart(m_data + w * 64, hits, awaited, m_threeBytes,
                                         m_objectStartLine);
    }
    std::uint64_t firstWorthStoppingRelaid(size_t w, std::uint64_t hits,
                                           std::uint32_t awaited) const;
    // A candidate in a block with relaid group codes: a three-byte line, or
    // a group-code line the pairing relays (of any length). The line as it
    // will be handed out when that has three bytes, else kAnyLine.
    std::uint32_t relaidBlockCandidate(size_t start) const;
    // The first three bytes at `p` as one word (the fourth byte cleared).
    std::uint32_t threeByteLine(const char* p) const { return ThreeByteWord(p, m_threeBytes); }

    void moveTo(size_t position) {
        m_position = position;
        m_window = position / 64;
        m_mask = m_masks[m_window] & (~std::uint64_t{0} << (position % 64));
    }
    void releaseSpill();
    bool moveToNextBlock();
    bool takeLastLine(std::string_view& line);

    // The line that ends at the lowest bit of m_mask, all in the block.
    std::string_view takeLineInBlock() {
        const size_t end = m_window * 64 + static_cast<size_t>(std::countr_zero(m_mask));
        m_mask &= m_mask - 1;
        const std::string_view line(m_data + m_position, end - m_position);
        stepOverLineEnd(end);
        if (m_blockRelaid) [[unlikely]] {
            if (isRelaid(end)) return relaidInBlock(line);
        }
        return line;
    }

    // The usual relaid codes, one or two digits alone, come from a table.
    std::string_view relaidInBlock(std::string_view line) {
        const auto digit = [](char c) { return static_cast<unsigned>(c - '0'); };
        if (line.size() == 1 && digit(line[0]) < 10) return shortCode(digit(line[0]));
        if (line.size() == 2 && digit(line[0]) < 10 && digit(line[1]) < 10)
            return shortCode(10 + 10 * digit(line[0]) + digit(line[1]));
        return relaid(line);
    }
    // Codes 0 to 9, then 00 to 99, each in the standard layout with the
    // readable slack after it.
    static std::string_view shortCode(unsigned index) {
        return std::string_view(kShortCodes[index].data(), 3);
    }
    static constexpr auto kShortCodes = [] {
        std::array<std::array<char, 3 + kReadableSlack>, 110> codes{};
        for (unsigned i = 0; i < 110; ++i) {
            codes[i][0] = codes[i][1] = ' ';
            if (i < 10) {
                codes[i][2] = static_cast<char>('0' + i);
            } else {
                codes[i][1] = static_cast<char>('0' + (i - 10) / 10);
                codes[i][2] = static_cast<char>('0' + (i - 10) % 10);
            }
        }
        return codes;
    }();

    bool isRelaid(size_t end) const { return (m_relaid[end / 64] >> (end % 64)) & 1; }
    // `line`, a group-code line, in the standard layout; lives in m_relaidCode
    // (up to three digits) or m_relaidLine.
    std::string_view relaid(std::string_view line);
    // The same for the spilled line, whose buffer is then given back.
    std::string_view relaidSpill(std::string_view line);

    // Moves past the line end at `end`, and past the LF of a CR LF pair
    // (CR LF, above; refill() steps over an LF in the next block).
    void stepOverLineEnd(size_t end) {
        m_position = end + 1;
        if (m_data[end] == '\r' && end + 1 < m_length) m_position += m_data[end + 1] == '\n';
    }

    // The spilled line, padded so that the slack after it is readable.
    std::string_view spillLine();
    // Adds the `count` bytes at `bytes` to the spilled line, within the
    // line limit.
    void spill(const char* bytes, size_t count);
    void spillBeyondLimit(const char* bytes, size_t count);

    struct LimitLifted {
        explicit LimitLifted(size_t& limit) : m_limit(limit), m_kept(limit) { limit = kNoLimit; }
        ~LimitLifted() { m_limit = m_kept; }
        size_t& m_limit;
        size_t m_kept;
    };
    static constexpr size_t kNoLimit = ~size_t{0} / 4;

    size_t m_blockSize;
    BlockSource m_source;
    // The current block: its bytes and its masks per 64-byte window (see
    // Block). The line-end masks are changed when a CR LF pair is split.
    const char* m_data = nullptr;
    std::uint64_t* m_masks = nullptr;
    const std::uint64_t* m_objectStarts = nullptr;
    const std::uint64_t* m_keyCandidates = nullptr;
    const std::uint64_t* m_relaid = nullptr;  // see Block::relaid
    bool m_blockRelaid = false;
    bool m_lastLineRelaid = false;
    std::string m_relaidLine;  // a relaid group-code line, plus the readable slack
    // The same for a relaid code of up to three digits that kShortCodes does
    // not hold (one with spaces, or of three digits, or spilled).
    char m_relaidCode[3 + kReadableSlack] = {};
    bool m_keysShaped = false;
    std::vector<std::uint32_t> m_keyLines;  // per key, as threeByteLine() reads it
    std::uint32_t m_threeBytes = 0;         // the first three bytes of a word
    std::uint32_t m_objectStartLine = 0;    // "  0" as threeByteLine() reads it
    size_t m_length = 0;                    // valid bytes in the block
    size_t m_windowCount = 0;               // windows covering m_length
    size_t m_window = 0;                    // window that m_mask belongs to
    std::uint64_t m_mask = 0;               // its line ends not yet handed out
    size_t m_position = 0;                  // start of the next line in the block
    std::string m_spill;                    // a line that spans blocks
    bool m_spillInUse = false;              // the last line returned is in m_spill
    bool m_spillActive = false;             // m_spill holds a line or a part of one
    bool m_eof = false;
    size_t m_lineLimit = kNoLimit;  // see setLineLimit()
    std::uint64_t m_bytesRead = 0;
    BlockListener* m_listener = nullptr;
};

}  // namespace velunt
