#include "base/code_page.h"

#include <cctype>
#include <charconv>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace velunt {
namespace {

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

unsigned numberAfter(std::string_view text, std::string_view prefix) {
    if (!text.starts_with(prefix)) return 0;
    text.remove_prefix(prefix.size());
    unsigned n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    return ec == std::errc() && end == text.data() + text.size() ? n : 0;
}

}  // namespace

unsigned DrawingCodePageNumber(std::string_view name) {
    const std::string key = upper(name);
    if (const unsigned n = numberAfter(key, "ANSI_")) return n;
    if (const unsigned n = numberAfter(key, "DOS")) return n;
    if (const unsigned n = numberAfter(key, "ISO8859-"); n >= 1 && n <= 16) return 28590 + n;
    struct Named {
        std::string_view name;
        unsigned number;
    };
    constexpr Named kNamed[] = {
        {"MACINTOSH", 10000}, {"BIG5", 950}, {"GB2312", 936}, {"KSC5601", 949}, {"JOHAB", 1361}};
    for (const Named& named : kNamed)
        if (key == named.name) return named.number;
    return 0;
}

#ifdef _WIN32

std::unique_ptr<CodePageDecoder> CodePageDecoder::Open(std::string_view name) {
    const unsigned number = DrawingCodePageNumber(name);
    if (number == 0 || !IsValidCodePage(number)) return nullptr;
    std::unique_ptr<CodePageDecoder> decoder(new CodePageDecoder);
    decoder->m_codePage = number;
    return decoder;
}

CodePageDecoder::~CodePageDecoder() = default;

void CodePageDecoder::appendUtf8(std::string_view bytes, std::string& out) {
    if (bytes.empty()) return;
    const int size = static_cast<int>(bytes.size());
    // Strict first; bytes that do not decode then get the system's default
    // character for the code page.
    DWORD flags = MB_ERR_INVALID_CHARS;
    int wide = MultiByteToWideChar(m_codePage, flags, bytes.data(), size, nullptr, 0);
    if (wide == 0) {
        flags = 0;
        wide = MultiByteToWideChar(m_codePage, flags, bytes.data(), size, nullptr, 0);
    }
    if (wide == 0) {
        out.append("\xEF\xBF\xBD");
        return;
    }
    std::wstring text(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(m_codePage, flags, bytes.data(), size, text.data(), wide);
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(length));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, out.data() + at, length, nullptr, nullptr);
}

#else

namespace {

// The iconv name of a Windows code page number.
std::string iconvName(unsigned number) {
    if (number > 28590 && number <= 28606) return "ISO-8859-" + std::to_string(number - 28590);
    switch (number) {
        case 10000:
            return "MACINTOSH";
        case 1361:
            return "JOHAB";
        default:
            return "CP" + std::to_string(number);
    }
}

}  // namespace

std::unique_ptr<CodePageDecoder> CodePageDecoder::Open(std::string_view name) {
    const unsigned number = DrawingCodePageNumber(name);
    if (number == 0) return nullptr;
    const iconv_t cd = iconv_open("UTF-8", iconvName(number).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    std::unique_ptr<CodePageDecoder> decoder(new CodePageDecoder);
    decoder->m_iconv = cd;
    return decoder;
}

CodePageDecoder::~CodePageDecoder() {
    if (m_iconv) iconv_close(static_cast<iconv_t>(m_iconv));
}

void CodePageDecoder::appendUtf8(std::string_view bytes, std::string& out) {
    const iconv_t cd = static_cast<iconv_t>(m_iconv);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state per text
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char buffer[256];
    while (inLeft > 0) {
        char* to = buffer;
        size_t toLeft = sizeof buffer;
        const size_t result = iconv(cd, &in, &inLeft, &to, &toLeft);
        out.append(buffer, static_cast<size_t>(to - buffer));
        if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
        // EILSEQ: a byte that does not decode; EINVAL: a sequence cut off
        // at the end. Either way the byte becomes U+FFFD.
        out.append("\xEF\xBF\xBD");
        ++in;
        --inLeft;
    }
    char* to = buffer;
    size_t toLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &to, &toLeft);
    out.append(buffer, static_cast<size_t>(to - buffer));
}

#endif

}  // namespace velunt
