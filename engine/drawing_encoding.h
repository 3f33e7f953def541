#pragma once
// How the texts of a drawing are encoded, told from its first bytes: UTF-8
// from $ACADVER AC1021 (the 2007 format) on; before that the code page named
// by $DWGCODEPAGE; without either (or with a name no decoder knows, such as
// "ASCII"), UTF-8 after a UTF-8 byte-order mark, else UTF-8 when the first
// text that is not ASCII is valid UTF-8, else Windows-1252. That text is
// looked for in the first bytes, then among the values as they come.
#include <memory>
#include <string>
#include <string_view>

#include "base/code_page.h"

namespace velunt {

// The header variables and the first non-ASCII line, as far as the bytes
// given hold them.
struct DrawingHeader {
    std::string acadver;         // "AC1015"; empty when not found
    std::string codePage;        // "ANSI_1252"; empty when not found
    bool byteOrderMark = false;  // the file starts with a UTF-8 byte-order mark
    bool hasNonAsciiLine = false;
    bool firstNonAsciiIsUtf8 = false;  // that line is valid UTF-8
};

// Reads `firstBytes` (the start of the drawing) line by line; a variable is
// its name line after a group code 9, its value two lines further on. Only
// lines with their line end count, since the bytes may stop inside one.
DrawingHeader ReadDrawingHeader(std::string_view firstBytes);

// Decodes the values of one drawing into UTF-8.
class DrawingDecoder {
public:
    explicit DrawingDecoder(const DrawingHeader& header);
    ~DrawingDecoder();

    // Appends `value` as UTF-8 to `out`; bytes that do not decode become
    // U+FFFD. An undecided drawing is decided by the first value that is
    // not ASCII.
    void appendUtf8(std::string_view value, std::string& out);

    enum class Kind { Undecided, Utf8, Windows1252, CodePage };
    Kind kind() const { return m_kind; }

private:
    Kind m_kind = Kind::Undecided;
    std::unique_ptr<CodePageDecoder> m_codePage;
};

}  // namespace velunt
