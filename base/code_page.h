#pragma once
// Text in the code page a drawing names in $DWGCODEPAGE ("ANSI_1250",
// "DOS850" ...), decoded to UTF-8 by the system's conversion: iconv on Linux
// and macOS, MultiByteToWideChar on Windows. Windows-1252 and UTF-8 need no
// decoder (base/text_encoding.h).
#include <memory>
#include <string>
#include <string_view>

namespace velunt {

class CodePageDecoder {
public:
    // A decoder for the drawing code page `name` (any case); null when the
    // name is not one drawings use or the system cannot convert from it.
    static std::unique_ptr<CodePageDecoder> Open(std::string_view name);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    // Appends `bytes` as UTF-8 to `out`; a byte that does not decode becomes
    // U+FFFD.
    void appendUtf8(std::string_view bytes, std::string& out);

private:
    CodePageDecoder() = default;
#ifdef _WIN32
    unsigned m_codePage = 0;
#else
    void* m_iconv = nullptr;  // iconv_t
#endif
};

// The Windows code page number of a drawing code page name, 0 when unknown:
// ANSI_n and DOSn give n, ISO8859-n gives 28590 + n, and the few others by
// name (MACINTOSH, BIG5, GB2312, KSC5601, JOHAB).
unsigned DrawingCodePageNumber(std::string_view name);

}  // namespace velunt
