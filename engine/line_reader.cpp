#include "engine/line_reader.h"

#include <algorithm>
#include <cerrno>

#include "engine/runtime_error.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define VELUNT_HAVE_SSE2 1
#endif
// With GCC or Clang on x86-64 an AVX2 variant is chosen at run time where
// the processor has it; the build itself stays for any x86-64.
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define VELUNT_HAVE_AVX2_VARIANT 1
#endif

namespace velunt {
namespace {

// One bit per byte of a 64-byte window for each byte value the reader
// looks for.
struct ByteMasks {
    std::uint64_t cr = 0, lf = 0, space = 0, zero = 0;
};

inline ByteMasks byteMasks(const char* p) {
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
    return m;
}

#ifdef VELUNT_HAVE_AVX2_VARIANT
__attribute__((target("avx2"))) inline ByteMasks byteMasksAvx2(const char* p) {
    ByteMasks m;
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i space = _mm256_set1_epi8(' ');
    const __m256i zero = _mm256_set1_epi8('0');
    const auto bits = [](__m256i hits) __attribute__((target("avx2"))) {
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(hits)));
    };
    for (int i = 0; i < 2; ++i) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * i));
        m.cr |= bits(_mm256_cmpeq_epi8(v, cr)) << (32 * i);
        m.lf |= bits(_mm256_cmpeq_epi8(v, lf)) << (32 * i);
        m.space |= bits(_mm256_cmpeq_epi8(v, space)) << (32 * i);
        m.zero |= bits(_mm256_cmpeq_epi8(v, zero)) << (32 * i);
    }
    return m;
}

bool hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

// Bytes past the end of the data in the last window do not count.
inline ByteMasks keepValid(ByteMasks m, size_t valid) {
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

// What one window carries over to the next.
struct WindowCarry {
    std::uint64_t previousCr;             // a CR in the last byte of the window before
    std::uint64_t previousTerminatorEnd;  // a line ends at that byte
};

// Which three-byte lines may be a key line: per byte position, all ones where
// every key has a space (or a "0") there.
struct KeyShape {
    std::uint64_t space[3] = {};
    std::uint64_t zero[3] = {};
};

// The masks of one window from the byte masks of it and of the next.
inline void combineWindow(const ByteMasks& current, const ByteMasks& next, const KeyShape& keys,
                          WindowCarry& carry, std::uint64_t& lineEnds, std::uint64_t& objectStarts,
                          std::uint64_t& keyCandidates) {
    // Line ends: each CR, and each LF that does not follow a CR.
    lineEnds = current.cr | (current.lf & ~((current.cr << 1) | carry.previousCr));
    carry.previousCr = current.cr >> 63;
    // The last byte of each line end (the LF of a CR LF pair), and so the
    // first byte of each line.
    const std::uint64_t lfAfter = shiftIn(current.lf, next.lf, 1);
    const std::uint64_t terminatorEnd = current.lf | (current.cr & ~lfAfter);
    const std::uint64_t lineStart = (terminatorEnd << 1) | carry.previousTerminatorEnd;
    carry.previousTerminatorEnd = terminatorEnd >> 63;
    // Lines of three bytes; those that are exactly "  0"; and those that
    // have the bytes all keys share.
    const std::uint64_t threeByteLines =
        lineStart & shiftIn(current.cr | current.lf, next.cr | next.lf, 3);
    const std::uint64_t spaceAt[3] = {current.space, shiftIn(current.space, next.space, 1),
                                      shiftIn(current.space, next.space, 2)};
    const std::uint64_t zeroAt[3] = {current.zero, shiftIn(current.zero, next.zero, 1),
                                     shiftIn(current.zero, next.zero, 2)};
    objectStarts = threeByteLines & spaceAt[0] & spaceAt[1] & zeroAt[2];
    keyCandidates = threeByteLines;
    for (int j = 0; j < 3; ++j)
        keyCandidates &= (~keys.space[j] | spaceAt[j]) & (~keys.zero[j] | zeroAt[j]);
}

// The same loop twice, so that each is compiled for its instruction set.
#define VELUNT_WINDOW_LOOP(SCAN)                                                                  \
    const size_t windows = (length + 63) / 64;                                                    \
    const KeyShape shape = keys; /* a local copy: no store below can change it */                 \
    WindowCarry carry{0, lineStartsAtBlock ? 1u : 0u};                                            \
    ByteMasks current = keepValid(SCAN(block), length);                                           \
    for (size_t w = 0; w < windows; ++w) {                                                        \
        ByteMasks next;                                                                           \
        if (w + 1 < windows) next = keepValid(SCAN(block + (w + 1) * 64), length - (w + 1) * 64); \
        std::uint64_t ends, starts, candidates;                                                   \
        combineWindow(current, next, shape, carry, ends, starts, candidates);                     \
        lineEnds[w] = ends;                                                                       \
        objectStarts[w] = starts;                                                                 \
        keyCandidates[w] = candidates;                                                            \
        current = next;                                                                           \
    }

void windowMasksSse2(const char* block, size_t length, bool lineStartsAtBlock, const KeyShape& keys,
                     std::uint64_t* lineEnds, std::uint64_t* objectStarts,
                     std::uint64_t* keyCandidates) {
    VELUNT_WINDOW_LOOP(byteMasks)
}

#ifdef VELUNT_HAVE_AVX2_VARIANT
__attribute__((target("avx2"))) void windowMasksAvx2(const char* block, size_t length,
                                                     bool lineStartsAtBlock, const KeyShape& keys,
                                                     std::uint64_t* lineEnds,
                                                     std::uint64_t* objectStarts,
                                                     std::uint64_t* keyCandidates) {
    VELUNT_WINDOW_LOOP(byteMasksAvx2)
}
#endif
#undef VELUNT_WINDOW_LOOP

}  // namespace

LineReader::LineReader(std::FILE* file, std::filesystem::path path, size_t blockSize)
    : m_file(file),
      m_path(std::move(path)),
      m_blockSize(blockSize),
      m_block(blockSize + 64),
      m_masks((blockSize + 63) / 64),
      m_objectStarts((blockSize + 63) / 64),
      m_keyCandidates((blockSize + 63) / 64),
      m_window(kNoWindow) {}

void LineReader::computeMasks() {
    m_windowCount = (m_length + 63) / 64;
    // A line starts at the block's first byte unless a line from the block
    // before goes on there.
    const bool lineStartsAtBlock = !m_spillActive;
    KeyShape keys;
    for (int j = 0; j < 3; ++j) {
        keys.space[j] = m_keysShareSpace[j] ? ~std::uint64_t{0} : 0;
        keys.zero[j] = m_keysShareZero[j] ? ~std::uint64_t{0} : 0;
    }
#ifdef VELUNT_HAVE_AVX2_VARIANT
    if (hasAvx2()) {
        windowMasksAvx2(m_block.data(), m_length, lineStartsAtBlock, keys, m_masks.data(),
                        m_objectStarts.data(), m_keyCandidates.data());
        return;
    }
#endif
    windowMasksSse2(m_block.data(), m_length, lineStartsAtBlock, keys, m_masks.data(),
                    m_objectStarts.data(), m_keyCandidates.data());
}

bool LineReader::setKeys(const std::vector<std::string>& keys) {
    m_keysShaped = !keys.empty();
    for (const std::string& key : keys) m_keysShaped = m_keysShaped && key.size() == 3;
    for (int j = 0; j < 3; ++j) {
        // "  0" counts as a key too: skipping must stop at object starts.
        bool space = j < 2, zero = j == 2;
        for (const std::string& key : keys) {
            space = space && m_keysShaped && key[j] == ' ';
            zero = zero && m_keysShaped && key[j] == '0';
        }
        m_keysShareSpace[j] = space;
        m_keysShareZero[j] = zero;
    }
    if (m_length > 0) computeMasks();  // a block was read ahead (peek)
    return m_keysShaped;
}

void LineReader::skipBeyondWindow(const std::vector<std::uint64_t>& marks) {
    if (m_position >= m_length) return;
    for (size_t w = m_position / 64 + 1; w < m_windowCount; ++w) {
        const std::uint64_t hits = marks[w];
        if (hits != 0) {
            moveTo(w * 64 + static_cast<size_t>(std::countr_zero(hits)));
            return;
        }
    }
    // No marked line begins in the rest of the block. A line that begins in
    // the last window may go on into the next block: step only to the start
    // of the line after the last line end before that window.
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
