#pragma once
// The lines of bytes already in memory, split as LineReader splits a file:
// a line ends at CR LF, at a lone CR or at a lone LF; the last line needs no
// line end, and bytes that end with a line end have no empty line after it.
// Borrows `text`, which must outlive the views handed out.
#include <string_view>

namespace velunt {

class MemoryLines {
public:
    explicit MemoryLines(std::string_view text) : m_rest(text) {}

    // The next line without its line end; false when no line is left.
    bool next(std::string_view& line) {
        if (m_rest.empty()) return false;
        const size_t end = m_rest.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            line = m_rest;
            m_rest = {};
            return true;
        }
        line = m_rest.substr(0, end);
        const bool isCrLf =
            m_rest[end] == '\r' && end + 1 < m_rest.size() && m_rest[end + 1] == '\n';
        m_rest.remove_prefix(end + (isCrLf ? 2 : 1));
        return true;
    }

private:
    std::string_view m_rest;
};

}  // namespace velunt
