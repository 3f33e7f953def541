#pragma once
// The pseudo-random numbers and the buffered DXF writer of gen_drawing.cpp:
// group-code and value lines in the standard layout (codes right-aligned in
// three characters, CR LF) or unpadded (bare codes, LF).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace gen {

constexpr std::size_t kBufferSize = 8u << 20;  // one fwrite per 8 MiB keeps syscalls rare

// splitmix64: tiny, fast and good enough to vary coordinates and object kinds.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform enough in [0, n) for n far below 2^32.
    std::uint32_t below(std::uint32_t n) {
        return static_cast<std::uint32_t>(((next() >> 32) * n) >> 32);
    }

private:
    std::uint64_t m_state;
};

// Buffered writer that formats DXF group/value pairs straight into a large block.
// Owns the buffer; borrows `file`, which the caller closes after finish().
class DxfWriter {
public:
    // `unpadded`: group codes as bare digits and LF line ends instead of the standard
    // layout with CR LF.
    DxfWriter(std::FILE* file, bool unpadded)
        : m_file(file), m_buf(new char[kBufferSize]), m_unpadded(unpadded) {}
    ~DxfWriter() { delete[] m_buf; }
    DxfWriter(const DxfWriter&) = delete;
    DxfWriter& operator=(const DxfWriter&) = delete;

    std::uint64_t bytes() const { return m_flushed + m_len; }
    // The size the drawing would have in the standard layout with CR LF, so that both
    // layouts hold the same objects for the same target size.
    std::uint64_t standardBytes() const { return bytes() + m_saved; }
    std::uint64_t lines() const { return m_lines; }
    bool failed() const { return m_failed; }

    // A group-code line: the code right-aligned in three characters (or bare digits).
    void code(int groupCode) {
        reserve(8);
        char* p = m_buf + m_len;
        if (m_unpadded) {
            const int digits = groupCode >= 100 ? 3 : groupCode >= 10 ? 2 : 1;
            for (int i = digits - 1, v = groupCode; i >= 0; --i, v /= 10) p[i] = char('0' + v % 10);
            p[digits] = '\n';
            m_len += static_cast<std::size_t>(digits) + 1;
            m_saved += static_cast<std::uint64_t>(4 - digits);
            ++m_lines;
            return;
        }
        p[0] = groupCode >= 100 ? char('0' + groupCode / 100) : ' ';
        p[1] = groupCode >= 10 ? char('0' + groupCode / 10 % 10) : ' ';
        p[2] = char('0' + groupCode % 10);
        p[3] = '\r';
        p[4] = '\n';
        m_len += 5;
        ++m_lines;
    }

    void str(int groupCode, std::string_view value) {
        code(groupCode);
        raw(value);
        endLine();
    }

    // Integer value right-aligned in `width` characters, as DXF writers lay out 66/70/90 values.
    void integer(int groupCode, long value, int width) {
        code(groupCode);
        char digits[24];
        int n = std::snprintf(digits, sizeof digits, "%*ld", width, value);
        raw(std::string_view(digits, static_cast<std::size_t>(n)));
        endLine();
    }

    // A real given in thousandths, written in the shortest form that keeps its value and
    // at least one decimal ("4412345.678", "0.25", "0.0").
    void real(int groupCode, std::int64_t thousandths) {
        code(groupCode);
        reserve(32);
        char* p = m_buf + m_len;
        if (thousandths < 0) {
            *p++ = '-';
            thousandths = -thousandths;
        }
        std::uint64_t whole = static_cast<std::uint64_t>(thousandths) / 1000;
        unsigned frac = static_cast<unsigned>(static_cast<std::uint64_t>(thousandths) % 1000);
        char tmp[24];
        int n = 0;
        do {
            tmp[n++] = char('0' + whole % 10);
            whole /= 10;
        } while (whole != 0);
        while (n > 0) *p++ = tmp[--n];
        *p++ = '.';
        p[0] = char('0' + frac / 100);
        p[1] = char('0' + frac / 10 % 10);
        p[2] = char('0' + frac % 10);
        int keep = 3;
        while (keep > 1 && p[keep - 1] == '0') --keep;
        p += keep;
        m_len = static_cast<std::size_t>(p - m_buf);
        endLine();
    }

    void hex(int groupCode, std::uint64_t value) {
        char digits[24];
        int n =
            std::snprintf(digits, sizeof digits, "%llX", static_cast<unsigned long long>(value));
        str(groupCode, std::string_view(digits, static_cast<std::size_t>(n)));
    }

    // Unterminated text appended to the current line; may be longer than the buffer.
    void raw(std::string_view text) {
        while (!text.empty()) {
            if (m_len == kBufferSize) flush();
            std::size_t n = std::min(text.size(), kBufferSize - m_len);
            std::memcpy(m_buf + m_len, text.data(), n);
            m_len += n;
            text.remove_prefix(n);
        }
    }

    void endLine() {
        reserve(2);
        if (m_unpadded) {
            ++m_saved;
        } else {
            m_buf[m_len++] = '\r';
        }
        m_buf[m_len++] = '\n';
        ++m_lines;
    }

    bool finish() {
        flush();
        return !m_failed && std::fflush(m_file) == 0;
    }

private:
    void reserve(std::size_t n) {
        if (kBufferSize - m_len < n) flush();
    }
    void flush() {
        if (m_len != 0 && std::fwrite(m_buf, 1, m_len, m_file) != m_len) m_failed = true;
        m_flushed += m_len;
        m_len = 0;
    }

    std::FILE* m_file;
    char* m_buf;
    std::size_t m_len = 0;
    std::uint64_t m_flushed = 0;
    std::uint64_t m_saved = 0;  // bytes fewer than the standard layout would take
    std::uint64_t m_lines = 0;
    bool m_unpadded;
    bool m_failed = false;
};

}  // namespace gen
