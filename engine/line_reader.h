#pragma once
// Splits a byte stream into lines ending at CR LF, at a lone CR or at a lone
// LF; the last line needs no line end, and a file that ends with a line end
// has no empty line after it. Reads in large blocks and finds the line ends
// of 64 bytes at a time; memory is one block plus the longest line that
// spans two blocks.
//
// Borrows `file`, which must stay open while the reader is used. A returned
// view stays valid until the next call of next() or atEnd().
#include <bit>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velunt {

class LineReader {
public:
    static constexpr size_t kDefaultBlockSize = size_t{1} << 20;

    // `path` only names the file in read errors.
    LineReader(std::FILE* file, std::filesystem::path path,
               size_t blockSize = kDefaultBlockSize);

    // The next line without its line end; false when no line is left.
    bool next(std::string_view& line) {
        if (m_spillInUse) {
            m_spill.clear();
            m_spillInUse = false;
        }
        while (m_mask == 0) {
            m_windowStart += 64;
            if (m_windowStart < m_length) {
                loadWindow();
                continue;
            }
            if (!moveToNextBlock()) return takeLastLine(line);
        }
        const size_t end = m_windowStart + static_cast<size_t>(std::countr_zero(m_mask));
        if (!m_spill.empty()) {
            // The line began in an earlier block.
            m_spill.append(m_block.data() + m_position, end - m_position);
            line = m_spill;
            m_spillInUse = true;
        } else {
            line = std::string_view(m_block.data() + m_position, end - m_position);
        }
        consumeLineEnd(end);
        return true;
    }

    // True when no further line can be read.
    bool atEnd() {
        if (m_position < m_length && !m_spillInUse) return false;
        return atEndSlow();
    }

    // Bytes taken from the file so far (block granularity).
    std::uint64_t bytesRead() const { return m_bytesRead; }

    // The first bytes of the file, for telling formats apart before the first
    // line is read; at most one block.
    std::string_view peek(size_t count);

private:
    static constexpr size_t kNoWindow = ~size_t{63};  // one window before the first

    void loadWindow();
    bool refill();
    bool moveToNextBlock();
    bool takeLastLine(std::string_view& line);
    bool atEndSlow();

    // Steps past the line end at `end` (CR, LF or CR LF).
    void consumeLineEnd(size_t end) {
        m_position = end + 1;
        if (m_block[end] == '\r') {
            if (end + 1 < m_length) {
                if (m_block[end + 1] == '\n') m_position = end + 2;
            } else {
                m_pendingCr = true;  // a LF at the start of the next block belongs to it
            }
        }
        dropMaskBelowPosition();
    }

    void dropMaskBelowPosition() {
        if (m_position <= m_windowStart) return;
        const size_t skip = m_position - m_windowStart;
        m_mask = skip >= 64 ? 0 : m_mask & (~std::uint64_t{0} << skip);
    }

    std::FILE* m_file;
    std::filesystem::path m_path;
    std::vector<char> m_block;  // blockSize bytes plus 64 of slack for the last window
    size_t m_blockSize;
    size_t m_length = 0;       // valid bytes in m_block
    size_t m_position = 0;     // start of the next line in m_block
    size_t m_windowStart = kNoWindow;  // 64-byte window that m_mask describes
    std::uint64_t m_mask = 0;  // line-end bytes in that window at or after m_position
    std::string m_spill;       // a line that spans blocks
    bool m_spillInUse = false;
    bool m_pendingCr = false;
    bool m_eof = false;
    std::uint64_t m_bytesRead = 0;
};

}  // namespace velunt
