#include "engine/line_reader.h"

#include <algorithm>
#include <cerrno>

#include "engine/runtime_error.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define VELUNT_HAVE_SSE2 1
#endif

namespace velunt {
namespace {

// One bit per byte of a 64-byte window for each byte value the reader
// looks for.
struct ByteMasks {
    std::uint64_t cr = 0, lf = 0, space = 0, zero = 0;
};

inline ByteMasks byteMasks(const char* p, size_t valid) {
    ByteMasks m;
#ifdef VELUNT_HAVE_SSE2
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i zero = _mm_set1_epi8('0');
    const auto bits = [](__m128i hits) {
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(hits)));
    };
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        m.cr |= bits(_mm_cmpeq_epi8(v, cr)) << (16 * i);
        m.lf |= bits(_mm_cmpeq_epi8(v, lf)) << (16 * i);
        m.space |= bits(_mm_cmpeq_epi8(v, space)) << (16 * i);
        m.zero |= bits(_mm_cmpeq_epi8(v, zero)) << (16 * i);
    }
#else
    for (int i = 0; i < 64; ++i) {
        m.cr |= static_cast<std::uint64_t>(p[i] == '\r') << i;
        m.lf |= static_cast<std::uint64_t>(p[i] == '\n') << i;
        m.space |= static_cast<std::uint64_t>(p[i] == ' ') << i;
        m.zero |= static_cast<std::uint64_t>(p[i] == '0') << i;
    }
#endif
    if (valid < 64) {
        const std::uint64_t keep = (std::uint64_t{1} << valid) - 1;
        m.cr &= keep, m.lf &= keep, m.space &= keep, m.zero &= keep;
    }
    return m;
}

// Bit i of the result is bit i + k of the 128 bits `next`:`low`.
inline std::uint64_t shiftIn(std::uint64_t low, std::uint64_t next, int k) {
    return (low >> k) | (next << (64 - k));
}

constexpr size_t kNoWindow = ~size_t{0};  // one window before the first

}  // namespace

LineReader::LineReader(std::FILE* file, std::filesystem::path path, size_t blockSize)
    : m_file(file),
      m_path(std::move(path)),
      m_blockSize(blockSize),
      m_block(blockSize + 64),
      m_masks((blockSize + 63) / 64),
      m_objectStarts((blockSize + 63) / 64),
      m_window(kNoWindow) {}

void LineReader::computeMasks() {
    m_windowCount = (m_length + 63) / 64;
    const auto masksOf = [&](size_t w) {
        return w < m_windowCount ? byteMasks(m_block.data() + w * 64, m_length - w * 64)
                                 : ByteMasks();
    };
    ByteMasks current = masksOf(0);
    std::uint64_t previousCr = 0;  // a CR in the last byte of the window before
    // A line starts at the block's first byte unless a line from the block
    // before goes on there.
    std::uint64_t previousTerminatorEnd = m_spillActive ? 0 : 1;
    for (size_t w = 0; w < m_windowCount; ++w) {
        const ByteMasks next = masksOf(w + 1);
        // Line ends: each CR, and each LF that does not follow a CR.
        m_masks[w] = current.cr | (current.lf & ~((current.cr << 1) | previousCr));
        previousCr = current.cr >> 63;
        // The last byte of each line end (the LF of a CR LF pair), and so
        // the first byte of each line.
        const std::uint64_t lfAfter = shiftIn(current.lf, next.lf, 1);
        const std::uint64_t terminatorEnd = current.lf | (current.cr & ~lfAfter);
        const std::uint64_t lineStart = (terminatorEnd << 1) | previousTerminatorEnd;
        previousTerminatorEnd = terminatorEnd >> 63;
        // Lines that are exactly "  0".
        const std::uint64_t lineEnd = current.cr | current.lf;
        m_objectStarts[w] = lineStart & current.space & shiftIn(current.space, next.space, 1) &
                            shiftIn(current.zero, next.zero, 2) &
                            shiftIn(lineEnd, next.cr | next.lf, 3);
        current = next;
    }
}

void LineReader::moveTo(size_t position) {
    m_position = position;
    m_window = position / 64;
    const size_t offset = position % 64;
    m_mask = m_masks[m_window] & (~std::uint64_t{0} << offset);
}

void LineReader::skipToObjectStart() {
    if (m_spillActive || m_spillInUse || m_position >= m_length) return;
    for (size_t w = m_position / 64; w < m_windowCount; ++w) {
        std::uint64_t starts = m_objectStarts[w];
        if (w == m_position / 64) starts &= ~std::uint64_t{0} << (m_position % 64);
        if (starts != 0) {
            moveTo(w * 64 + static_cast<size_t>(std::countr_zero(starts)));
            return;
        }
    }
    // No "  0" line begins in the rest of the block. A line that begins in the
    // last window may go on into the next block: step only to the start of
    // the line after the last line end before that window.
    if (m_windowCount < 2) return;
    for (size_t w = m_windowCount - 1; w-- > m_position / 64;) {
        std::uint64_t ends = m_masks[w];
        if (w == m_position / 64) ends &= ~std::uint64_t{0} << (m_position % 64);
        if (ends != 0) {
            const size_t end = w * 64 + 63 - static_cast<size_t>(std::countl_zero(ends));
            stepOverLineEnd(end);  // end + 1 is inside the block
            moveTo(m_position);
            return;
        }
    }
}

bool LineReader::refill() {
    if (m_eof) return false;
    errno = 0;
    const size_t n = std::fread(m_block.data(), 1, m_blockSize, m_file);
    m_window = kNoWindow;
    m_mask = 0;
    if (n == 0) {
        if (std::ferror(m_file)) throw FileErrorFromErrno(errno ? errno : EIO, m_path);
        m_eof = true;
        m_length = m_position = m_windowCount = 0;
        return false;
    }
    m_bytesRead += n;
    m_length = n;
    m_position = 0;
    computeMasks();
    if (m_pendingCr) {
        m_pendingCr = false;
        if (m_block[0] == '\n') {  // the LF of a CR LF pair split between blocks
            m_position = 1;
            m_masks[0] &= ~std::uint64_t{1};
        }
    }
    if (m_listener) m_listener->blockRead(m_bytesRead);
    return true;
}

// A buffer that grew for a very long line is given back rather than kept.
void LineReader::releaseSpill() {
    if (m_spill.capacity() > 4 * m_blockSize) {
        std::string().swap(m_spill);
    } else {
        m_spill.clear();
    }
    m_spillInUse = false;
    m_spillActive = false;
}

void LineReader::moveLastLineInto(std::string& out) {
    m_spill.resize(m_spill.size() - kReadableSlack);
    out.swap(m_spill);
    releaseSpill();
}

bool LineReader::nextSlow(std::string_view& line) {
    if (m_spillInUse) releaseSpill();
    while (m_mask == 0) {
        if (++m_window < m_windowCount) {
            m_mask = m_masks[m_window];
        } else if (!moveToNextBlock()) {
            return takeLastLine(line);
        }
    }
    if (!m_spillActive) {
        line = takeLineInBlock();
        return true;
    }
    // The line began in an earlier block.
    const size_t end = m_window * 64 + static_cast<size_t>(std::countr_zero(m_mask));
    m_mask &= m_mask - 1;
    m_spill.append(m_block.data() + m_position, end - m_position);
    stepOverLineEnd(end);
    line = spillLine();
    return true;
}

bool LineReader::moveToNextBlock() {
    if (m_position < m_length) {
        // Grow by a quarter rather than double: the spill of a line of
        // hundreds of megabytes should not cost twice its size.
        const size_t needed = m_spill.size() + (m_length - m_position) + kReadableSlack;
        if (needed > m_spill.capacity())
            m_spill.reserve(std::max(needed, m_spill.capacity() + m_spill.capacity() / 4));
        m_spill.append(m_block.data() + m_position, m_length - m_position);
        m_spillActive = true;
    }
    m_position = m_length;
    return refill();
}

bool LineReader::takeLastLine(std::string_view& line) {
    if (!m_spillActive) return false;
    line = spillLine();
    return true;
}

std::string_view LineReader::spillLine() {
    const size_t size = m_spill.size();
    m_spill.append(kReadableSlack, '\0');
    m_spillInUse = true;
    m_spillActive = true;
    return std::string_view(m_spill.data(), size);
}

std::string_view LineReader::peek(size_t count) {
    if (m_length == 0 && !m_eof) refill();
    return std::string_view(m_block.data(), std::min(count, m_length));
}

}  // namespace velunt
