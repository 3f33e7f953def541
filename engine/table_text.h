#pragma once
// The texts of a table in one chosen encoding (TableEncoding other than
// Bytes): values from the drawing's encoding, with "\U+XXXX" escapes
// resolved; the column descriptions, separator and decimal mark from
// velunt.ini's. Only values that hold a byte above 127 or a backslash need
// any work; every other value is the same in each encoding.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/find_byte.h"
#include "base/table_encoding.h"
#include "base/text_encoding.h"
#include "engine/drawing_encoding.h"

namespace velunt {

class TableText {
public:
    // `drawingStart`: the first bytes of the drawing (see ReadDrawingHeader).
    TableText(TableEncoding table, std::string_view drawingStart);

    // True when `value` holds a byte above 127 or a backslash; eight bytes
    // at a time.
    static bool NeedsConverting(std::string_view value) {
        constexpr std::uint64_t kHigh = 0x8080808080808080;
        const char* p = value.data();
        size_t n = value.size();
        for (; n >= 8; p += 8, n -= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if (((word & kHigh) | BytesEqualTo(word, '\\')) != 0) return true;
        }
        for (; n > 0; ++p, --n)
            if ((static_cast<unsigned char>(*p) & 0x80) != 0 || *p == '\\') return true;
        return false;
    }

    // The drawing value `value` in the table's encoding, written into `out`.
    void convertValue(std::string_view value, std::string& out);

    // A text of velunt.ini (bytes in `ini`) in the table's encoding.
    std::string fromIni(std::string_view bytes, TextEncoding ini) const;

    // What goes before the first line: the byte-order mark for UTF-8-BOM.
    std::string_view preamble() const;

private:
    void fromUtf8(std::string& utf8, std::string& out) const;

    TableEncoding m_table;
    DrawingDecoder m_drawing;
    std::string m_utf8;  // reused from value to value
};

}  // namespace velunt
