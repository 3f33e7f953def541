#include "engine/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/runtime_error.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define VELUNT_HAVE_SSE2 1
#endif

namespace velunt {
namespace {

// One bit per byte of the 64 at `p` that is CR or LF.
std::uint64_t lineEndMask(const char* p) {
#ifdef VELUNT_HAVE_SSE2
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    std::uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf));
        mask |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(hits)))
                << (16 * i);
    }
    return mask;
#else
    std::uint64_t mask = 0;
    for (int i = 0; i < 64; ++i)
        mask |= static_cast<std::uint64_t>(p[i] == '\r' || p[i] == '\n') << i;
    return mask;
#endif
}

}  // namespace

LineReader::LineReader(std::FILE* file, std::filesystem::path path, size_t blockSize)
    : m_file(file), m_path(std::move(path)), m_block(blockSize + 64), m_blockSize(blockSize) {}

void LineReader::loadWindow() {
    std::uint64_t mask = lineEndMask(m_block.data() + m_windowStart);
    const size_t available = m_length - m_windowStart;
    if (available < 64) mask &= (std::uint64_t{1} << available) - 1;
    m_mask = mask;
    dropMaskBelowPosition();
}

bool LineReader::refill() {
    if (m_eof) return false;
    errno = 0;
    const size_t n = std::fread(m_block.data(), 1, m_blockSize, m_file);
    if (n == 0) {
        if (std::ferror(m_file)) throw FileErrorFromErrno(errno ? errno : EIO, m_path);
        m_eof = true;
        m_length = m_position = 0;
        return false;
    }
    m_bytesRead += n;
    m_length = n;
    m_position = 0;
    if (m_pendingCr) {
        m_pendingCr = false;
        if (m_block[0] == '\n') m_position = 1;
    }
    m_windowStart = kNoWindow;
    m_mask = 0;
    return true;
}

bool LineReader::moveToNextBlock() {
    if (m_position < m_length) m_spill.append(m_block.data() + m_position, m_length - m_position);
    m_position = m_length;
    return refill();
}

bool LineReader::takeLastLine(std::string_view& line) {
    if (m_spill.empty()) return false;
    line = m_spill;
    m_spillInUse = true;
    return true;
}

bool LineReader::atEndSlow() {
    if (m_spillInUse) {
        m_spill.clear();
        m_spillInUse = false;
    }
    while (m_position >= m_length) {
        if (!m_spill.empty()) return false;
        if (!refill()) return true;
    }
    return false;
}

std::string_view LineReader::peek(size_t count) {
    if (m_length == 0 && !m_eof) refill();
    return std::string_view(m_block.data(), std::min(count, m_length));
}

}  // namespace velunt
