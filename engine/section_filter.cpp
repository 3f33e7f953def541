#include "engine/section_filter.h"

#include "base/runtime_error.h"

namespace velunt {
namespace {

void readRequired(LineReader& reader, std::string_view& line) {
    if (!reader.next(line)) throw MakeError(kInputPastEndOfFile);
}

}  // namespace

bool SectionFilter::inside(std::string_view& type, LineReader& reader) {
    while (type == kSectionStart) {
        m_inside = false;
        std::string_view code;
        for (;;) {
            if (!reader.next(code)) return false;
            if (m_objectStart.matches(code)) {
                readRequired(reader, type);  // a new object start: look at it
                break;
            }
            std::string_view value;
            if (m_nameKey.matches(code)) {
                readRequired(reader, value);
                m_inside = value == m_name;
                return false;
            }
            if (!reader.next(value)) return false;
        }
    }
    if (type == "ENDSEC") m_inside = false;
    return m_inside;
}

}  // namespace velunt
