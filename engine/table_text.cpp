#include "engine/table_text.h"

namespace velunt {

TableText::TableText(TableEncoding table, std::string_view drawingStart)
    : m_table(table), m_drawing(ReadDrawingHeader(drawingStart)) {}

void TableText::convertValue(std::string_view value, std::string& out) {
    m_utf8.clear();
    m_drawing.appendUtf8(value, m_utf8);
    ReplaceUnicodeEscapes(m_utf8);
    fromUtf8(m_utf8, out);
}

std::string TableText::fromIni(std::string_view bytes, TextEncoding ini) const {
    std::string utf8;
    if (ini == TextEncoding::Utf8) {
        AppendRepairedUtf8(bytes, utf8);  // an option typed in another encoding
    } else {
        utf8 = ToUtf8(bytes, ini);
    }
    std::string out;
    fromUtf8(utf8, out);
    return out;
}

std::string_view TableText::preamble() const {
    return m_table == TableEncoding::Utf8Bom ? std::string_view("\xEF\xBB\xBF")
                                             : std::string_view();
}

void TableText::fromUtf8(std::string& utf8, std::string& out) const {
    if (m_table == TableEncoding::Windows1252) {
        out = FromUtf8(utf8, TextEncoding::Windows1252);
    } else {
        out.swap(utf8);
    }
}

}  // namespace velunt
