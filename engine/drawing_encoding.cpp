#include "engine/drawing_encoding.h"

#include "base/text_encoding.h"
#include "base/trim_spaces.h"
#include "lines/group_code.h"

namespace velunt {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The format number of "AC1021" and the like; 0 when it is no such name.
int formatNumber(std::string_view acadver) {
    if (acadver.size() != 6 || !acadver.starts_with("AC")) return 0;
    int n = 0;
    for (const char c : acadver.substr(2)) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}

}  // namespace

DrawingHeader ReadDrawingHeader(std::string_view bytes) {
    DrawingHeader header;
    if (bytes.starts_with(kByteOrderMark)) {
        header.byteOrderMark = true;
        bytes.remove_prefix(kByteOrderMark.size());
    }
    // The two complete lines before the current one.
    std::string_view before2, before1;
    bool inHeader = true;
    bool headerDecides = false;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) break;  // a line cut off by the end
        const std::string_view line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (bytes[end] == '\r' && pos < bytes.size() && bytes[pos] == '\n') ++pos;

        if (!header.hasNonAsciiLine && !isAscii(line)) {
            header.hasNonAsciiLine = true;
            header.firstNonAsciiIsUtf8 = IsValidUtf8(line);
        }
        if (inHeader) {
            // At a value line: `before1` its group code, `before2` the name.
            const std::string_view value = TrimSpaces(line);
            const std::string_view name = TrimSpaces(before2);
            const bool afterCode = !WholeNumberDigits(before1).empty();
            if (afterCode && name == "$ACADVER" && header.acadver.empty()) header.acadver = value;
            if (afterCode && name == "$DWGCODEPAGE" && header.codePage.empty())
                header.codePage = value;
            if (value == "ENDSEC") {
                inHeader = false;
                headerDecides = formatNumber(TrimSpaces(header.acadver)) >= 1021 ||
                                DrawingCodePageNumber(header.codePage) != 0;
            }
        }
        before2 = before1;
        before1 = line;
        // After the header, read on only while the encoding is still open.
        if (!inHeader && (header.hasNonAsciiLine || headerDecides)) break;
    }
    return header;
}

DrawingDecoder::DrawingDecoder(const DrawingHeader& header) {
    if (formatNumber(TrimSpaces(header.acadver)) >= 1021) {
        m_kind = Kind::Utf8;
        return;
    }
    if (!header.codePage.empty()) {
        const unsigned number = DrawingCodePageNumber(header.codePage);
        if (number == 1252) {
            m_kind = Kind::Windows1252;
            return;
        }
        if (number == 65001) {
            m_kind = Kind::Utf8;
            return;
        }
        m_codePage = CodePageDecoder::Open(header.codePage);
        if (m_codePage) {
            m_kind = Kind::CodePage;
            return;
        }
    }
    if (header.byteOrderMark) {
        m_kind = Kind::Utf8;
    } else if (header.hasNonAsciiLine) {
        m_kind = header.firstNonAsciiIsUtf8 ? Kind::Utf8 : Kind::Windows1252;
    }
}

DrawingDecoder::~DrawingDecoder() = default;

void DrawingDecoder::appendUtf8(std::string_view value, std::string& out) {
    if (m_kind == Kind::Undecided) {
        if (isAscii(value)) {
            out.append(value);
            return;
        }
        m_kind = IsValidUtf8(value) ? Kind::Utf8 : Kind::Windows1252;
    }
    switch (m_kind) {
        case Kind::Utf8:
            AppendRepairedUtf8(value, out);
            break;
        case Kind::Windows1252:
            out.append(ToUtf8(value, TextEncoding::Windows1252));
            break;
        case Kind::CodePage:
            m_codePage->appendUtf8(value, out);
            break;
        case Kind::Undecided:
            break;
    }
}

}  // namespace velunt
