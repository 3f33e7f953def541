#pragma once
// Which objects lie inside one named section of a drawing. A section begins
// at an object start whose type line is "SECTION" and whose next "  2" key
// line's value equals the name exactly (so "entities" is not "ENTITIES"); it
// ends at the next object start whose type line is "ENDSEC".
#include <algorithm>
#include <string>
#include <string_view>

#include "lines/line_matcher.h"
#include "lines/line_reader.h"

namespace velunt {

class SectionFilter {
public:
    explicit SectionFilter(std::string name) : m_name(std::move(name)) {}

    // Called at each object start with its type line in `type`; true when the
    // object lies inside the section. After a "SECTION" line it reads on in
    // code/value pairs to the "  2" line and its value; an object start met
    // first there is taken as the next object start, and `type` is left as
    // its type line. Raises error 62 when a "  0" or "  2" line is the last
    // line of the file.
    bool inside(std::string_view& type, LineReader& reader);

    // The longest line inside() compares: the reader must hand out lines of
    // up to this length whole (LineReader::setLineLimit()).
    size_t longestLineCompared() const { return std::max(m_name.size(), kSectionStart.size()); }

private:
    static constexpr std::string_view kSectionStart = "SECTION";  // longer than "ENDSEC"

    std::string m_name;
    bool m_inside = false;
    LineMatcher m_objectStart{"  0"};
    LineMatcher m_nameKey{"  2"};
};

}  // namespace velunt
