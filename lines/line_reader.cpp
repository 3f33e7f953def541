#include "lines/line_reader.h"

#include <algorithm>
#include <cstring>

#include "lines/group_code.h"

namespace velunt {
namespace {

constexpr size_t kNoWindow = ~size_t{0};  // one window before the first

}  // namespace

LineReader::LineReader(std::FILE* file, std::filesystem::path path, size_t blockSize, bool prefetch,
                       MaskVariant masks)
    : m_blockSize(blockSize),
      m_source(file, std::move(path), blockSize, prefetch, masks),
      m_window(kNoWindow) {}

bool LineReader::setKeys(std::span<const std::string> keys) {
    // Blocks already read were scanned without the keys.
    if (m_source.started()) return m_keysShaped = false;
    m_keysShaped = !keys.empty();
    for (const std::string& key : keys) m_keysShaped = m_keysShaped && key.size() == 3;
    KeyShape shape;
    for (int j = 0; j < 3; ++j) {
        // Seeded with "  0" (key shape, line_reader.h).
        bool space = j < 2, zero = j == 2;
        for (const std::string& key : keys) {
            space = space && m_keysShaped && key[j] == ' ';
            zero = zero && m_keysShaped && key[j] == '0';
        }
        shape.space[j] = space;
        shape.zero[j] = zero;
    }
    m_source.setKeyShape(shape);
    // The words that threeByteLine() compares: the bytes of a key in memory
    // order, the same on every byte order.
    const char mask[4] = {'\xff', '\xff', '\xff', '\0'};
    std::memcpy(&m_threeBytes, mask, 4);
    const auto word = [](std::string_view line) {
        char bytes[4] = {};
        std::memcpy(bytes, line.data(), 3);
        std::uint32_t w;
        std::memcpy(&w, bytes, 4);
        return w;
    };
    m_objectStartLine = word("  0");
    m_keyLines.clear();
    if (m_keysShaped)
        for (const std::string& key : keys) m_keyLines.push_back(word(key));
    return m_keysShaped;
}

std::uint64_t LineReader::firstWorthStoppingRelaid(size_t w, std::uint64_t hits,
                                                   std::uint32_t awaited) const {
    for (; hits != 0; hits &= hits - 1) {
        const std::uint32_t line =
            relaidBlockCandidate(w * 64 + static_cast<size_t>(std::countr_zero(hits)));
        if (line == awaited || line == m_objectStartLine || line == kAnyLine) break;
    }
    return hits;
}

std::uint32_t LineReader::relaidBlockCandidate(size_t start) const {
    const char* const p = m_data + start;
    const auto endsLine = [](char c) { return c == '\r' || c == '\n'; };
    // One or two bytes: a relaid code of one or two digits (with a space).
    char bytes[4] = {' ', ' ', ' ', '\0'};
    if (endsLine(p[1])) {
        bytes[2] = p[0];
    } else if (endsLine(p[2])) {
        if (p[0] == ' ' || p[1] == ' ') {
            bytes[2] = p[0] == ' ' ? p[1] : p[0];
        } else {
            bytes[1] = p[0];
            bytes[2] = p[1];
        }
    } else if (endsLine(p[3]) && !isRelaid(start + 3)) {
        return threeByteLine(p);
    } else {
        return kAnyLine;
    }
    std::uint32_t line;
    std::memcpy(&line, bytes, 4);
    return line;
}

void LineReader::skipBeyondWindow(const std::uint64_t* marks, std::uint32_t awaited) {
    if (m_position >= m_length) return;
    size_t w = m_position / 64 + 1;
    if (awaited == kAnyLine) {  // the common skip to object starts: every mark counts
        while (w < m_windowCount && marks[w] == 0) ++w;
    } else {
        while (w < m_windowCount && firstWorthStopping(w, marks[w], awaited) == 0) ++w;
    }
    if (w < m_windowCount) {
        moveTo(w * 64 +
               static_cast<size_t>(std::countr_zero(firstWorthStopping(w, marks[w], awaited))));
        return;
    }
    // No mark in the rest of the block: stop before the last window (the
    // last-window rule, line_reader.h).
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
    Block& block = m_source.take();
    if (block.error) throw *block.error;
    m_window = kNoWindow;
    m_mask = 0;
    const size_t n = block.length;
    if (n == 0) {
        m_eof = true;
        m_lastLineRelaid = block.lastLineRelaid;
        m_data = nullptr;
        m_length = m_position = m_windowCount = 0;
        return false;
    }
    m_data = block.data.data();
    m_masks = block.lineEnds.data();
    m_objectStarts = block.objectStarts.data();
    m_keyCandidates = block.keyCandidates.data();
    m_relaid = block.relaid.data();
    m_blockRelaid = block.hasRelaid;
    m_bytesRead += n;
    m_length = n;
    m_windowCount = (n + 63) / 64;
    m_position = 0;
    if (m_pendingCr) {
        m_pendingCr = false;
        if (m_data[0] == '\n') {  // the LF of a CR LF pair split between blocks
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
    spill(m_data + m_position, end - m_position);
    stepOverLineEnd(end);
    line = spillLine();
    if (m_blockRelaid && isRelaid(end)) line = relaidSpill(line);
    return true;
}

std::string_view LineReader::relaid(std::string_view line) {
    const std::string_view digits = WholeNumberDigits(line);
    if (digits.size() <= 3) {
        // Right-aligned in three characters; the slack after them stays zero.
        m_relaidCode[0] = m_relaidCode[1] = ' ';
        for (size_t i = 0; i < digits.size(); ++i) m_relaidCode[3 - digits.size() + i] = digits[i];
        return std::string_view(m_relaidCode, 3);
    }
    WriteStandardGroupCode(digits, m_relaidLine);
    const size_t size = m_relaidLine.size();
    m_relaidLine.append(kReadableSlack, '\0');
    return std::string_view(m_relaidLine.data(), size);
}

std::string_view LineReader::relaidSpill(std::string_view line) {
    const std::string_view relaidLine = relaid(line);
    releaseSpill();
    return relaidLine;
}

bool LineReader::moveToNextBlock() {
    if (m_position < m_length) {
        spill(m_data + m_position, m_length - m_position);
        m_spillActive = true;
    }
    m_position = m_length;
    return refill();
}

void LineReader::spill(const char* bytes, size_t count) {
    const size_t kept = m_lineLimit + 1;  // a cut line is longer than the limit
    const size_t whole = m_spill.size() < kept ? std::min(count, kept - m_spill.size()) : 0;
    // Grow by a quarter rather than double: the spill of a line of hundreds
    // of megabytes should not cost twice its size.
    const size_t needed = m_spill.size() + whole + kReadableSlack;
    if (needed > m_spill.capacity())
        m_spill.reserve(std::max(needed, m_spill.capacity() + m_spill.capacity() / 4));
    m_spill.append(bytes, whole);
    if (whole < count) [[unlikely]]
        spillBeyondLimit(bytes + whole, count - whole);
}

// Past the limit only the bytes other than spaces are kept, up to as many
// again: when the whole line is a group code in another layout (spaces,
// digits, spaces) they are its digits, and relaid() finds the same code. Any
// other cut line stays longer than the limit, so it equals no text compared.
void LineReader::spillBeyondLimit(const char* bytes, size_t count) {
    const size_t room = 2 * (m_lineLimit + 1);
    for (size_t i = 0; i < count && m_spill.size() < room; ++i)
        if (bytes[i] != ' ') m_spill.push_back(bytes[i]);
}

bool LineReader::takeLastLine(std::string_view& line) {
    if (!m_spillActive) return false;
    line = spillLine();
    if (m_lastLineRelaid) line = relaidSpill(line);
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
    return std::string_view(m_data, std::min(count, m_length));
}

}  // namespace velunt
