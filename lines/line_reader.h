#pragma once
// Splits a byte stream into lines ending at CR LF, at a lone CR or at a lone
// LF; the last line needs no line end, and a file that ends with a line end
// has no empty line after it. Blocks come with all their line ends found as
// bit masks (BlockSource), so handing out a line is a few instructions.
// Memory is a few blocks, their masks, and the longest line that spans
// blocks.
//
// Borrows `file`, which must stay open while the reader is used. A returned
// view stays valid until the next call of next(), and at least
// kReadableSlack bytes are readable from its start (for word-wise compares).
#include <bit>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lines/block_source.h"

namespace velunt {

// Told after every block read, before its lines are handed out.
class BlockListener {
public:
    virtual ~BlockListener() = default;
    virtual void blockRead(std::uint64_t bytesRead) = 0;
};

class LineReader {
public:
    static constexpr size_t kDefaultBlockSize = size_t{256} << 10;
    static constexpr size_t kReadableSlack = 8;

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
    // current block, passing over every line before it; without one, to
    // near the block's end. Lines passed over are never handed out, so the
    // caller uses this only where no other line matters.
    void skipToObjectStart() { skipTo(m_objectStarts); }

    // Tells the reader the key lines awaited inside objects. When every key
    // has three bytes, skipToKeyOrObjectStart() passes over lines that can be
    // neither a key nor "  0" (it may stop at other lines too) and this
    // returns true; otherwise it returns false and that skip does nothing.
    // Call before the first line is read.
    bool setKeys(std::span<const std::string> keys);
    void skipToKeyOrObjectStart() {
        if (m_keysShaped) skipTo(m_keyCandidates);
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
    // `marks`; the common case, a hit in the current window, inline.
    void skipTo(const std::uint64_t* marks) {
        if (m_spillActive) return;
        const size_t w = m_position / 64;
        if (w < m_windowCount) {
            const std::uint64_t hits = marks[w] & (~std::uint64_t{0} << (m_position % 64));
            if (hits != 0) {
                moveTo(w * 64 + static_cast<size_t>(std::countr_zero(hits)));
                return;
            }
        }
        skipBeyondWindow(marks);
    }
    void skipBeyondWindow(const std::uint64_t* marks);

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
        return line;
    }

    // A CR LF pair has one bit, at its CR; its LF is stepped over here, or
    // when the next block is read if the CR is the block's last byte.
    void stepOverLineEnd(size_t end) {
        m_position = end + 1;
        if (m_data[end] == '\r') {
            if (end + 1 < m_length) {
                m_position += m_data[end + 1] == '\n';
            } else {
                m_pendingCr = true;
            }
        }
    }

    // The spilled line, padded so that the slack after it is readable.
    std::string_view spillLine();

    size_t m_blockSize;
    BlockSource m_source;
    // The current block: its bytes and its masks per 64-byte window (see
    // Block). The line-end masks are changed when a CR LF pair is split.
    const char* m_data = nullptr;
    std::uint64_t* m_masks = nullptr;
    const std::uint64_t* m_objectStarts = nullptr;
    const std::uint64_t* m_keyCandidates = nullptr;
    bool m_keysShaped = false;
    size_t m_length = 0;         // valid bytes in the block
    size_t m_windowCount = 0;    // windows covering m_length
    size_t m_window = 0;         // window that m_mask belongs to
    std::uint64_t m_mask = 0;    // its line ends not yet handed out
    size_t m_position = 0;       // start of the next line in the block
    std::string m_spill;         // a line that spans blocks
    bool m_spillInUse = false;   // the last line returned is in m_spill
    bool m_spillActive = false;  // m_spill holds a line or a part of one
    bool m_pendingCr = false;    // the previous block ended with a CR
    bool m_eof = false;
    std::uint64_t m_bytesRead = 0;
    BlockListener* m_listener = nullptr;
};

}  // namespace velunt
