#include "base/text_encoding.h"

#include <cstdint>

namespace velunt {
namespace {

// Unicode code points of the Windows-1252 bytes 0x80..0x9F; 0 where the code
// page leaves the byte undefined (it then maps to the C1 control of the same
// value, as Windows itself does).
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t cp1252ToCodePoint(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F && kHighControls[byte - 0x80] != 0)
        return kHighControls[byte - 0x80];
    return byte;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one UTF-8 sequence at `pos`; returns its length, 0 when malformed.
size_t decodeUtf8(std::string_view s, size_t pos, char32_t& cp) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char b0 = byte(pos);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    size_t length;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (pos + length > s.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

constexpr char32_t kReplacement = 0xFFFD;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The code point of the escape "\U+XXXX" at `pos`, or -1 when none is there.
long escapeAt(std::string_view s, size_t pos) {
    if (pos + 7 > s.size() || s[pos] != '\\' || s[pos + 1] != 'U' || s[pos + 2] != '+') return -1;
    long cp = 0;
    for (size_t i = pos + 3; i < pos + 7; ++i) {
        const int digit = hexDigit(s[i]);
        if (digit < 0) return -1;
        cp = cp * 16 + digit;
    }
    return cp;
}

}  // namespace

void AppendRepairedUtf8(std::string_view bytes, std::string& out) {
    char32_t cp;
    for (size_t pos = 0; pos < bytes.size();) {
        const size_t n = decodeUtf8(bytes, pos, cp);
        if (n == 0) {
            appendUtf8(out, kReplacement);
            ++pos;
            continue;
        }
        out.append(bytes.substr(pos, n));
        pos += n;
    }
}

void ReplaceUnicodeEscapes(std::string& utf8) {
    size_t pos = utf8.find("\\U+");
    if (pos == std::string::npos) return;
    std::string out(utf8, 0, pos);
    while (pos < utf8.size()) {
        long cp = escapeAt(utf8, pos);
        if (cp < 0) {
            out.push_back(utf8[pos++]);
            continue;
        }
        pos += 7;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            const long low = escapeAt(utf8, pos);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                pos += 7;
            } else {
                cp = kReplacement;
            }
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        appendUtf8(out, static_cast<char32_t>(cp));
    }
    utf8.swap(out);
}

bool IsValidUtf8(std::string_view bytes) {
    char32_t cp;
    for (size_t pos = 0; pos < bytes.size();) {
        const size_t n = decodeUtf8(bytes, pos, cp);
        if (n == 0) return false;
        pos += n;
    }
    return true;
}

std::optional<std::string> Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) return std::nullopt;
    const auto unitAt = [&](size_t pos) {
        const auto first = static_cast<unsigned char>(bytes[pos]);
        const auto second = static_cast<unsigned char>(bytes[pos + 1]);
        return static_cast<char32_t>(bigEndian ? first << 8 | second : second << 8 | first);
    };
    std::string out;
    out.reserve(bytes.size());
    for (size_t pos = 0; pos < bytes.size(); pos += 2) {
        char32_t cp = unitAt(pos);
        if (cp >= 0xDC00 && cp <= 0xDFFF) return std::nullopt;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            pos += 2;
            if (pos == bytes.size()) return std::nullopt;
            const char32_t low = unitAt(pos);
            if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string ToUtf8(std::string_view bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) appendUtf8(out, cp1252ToCodePoint(static_cast<unsigned char>(c)));
    return out;
}

std::string FromUtf8(std::string_view utf8, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    char32_t cp;
    for (size_t pos = 0; pos < utf8.size();) {
        size_t n = decodeUtf8(utf8, pos, cp);
        if (n == 0) {  // not UTF-8 after all: keep the byte
            out.push_back(utf8[pos++]);
            continue;
        }
        pos += n;
        char mapped = '?';
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            mapped = static_cast<char>(cp);
        } else {
            for (int i = 0; i < 32; ++i) {
                const char16_t known =
                    kHighControls[i] != 0 ? kHighControls[i] : char16_t(0x80 + i);
                if (known == cp) mapped = static_cast<char>(0x80 + i);
            }
        }
        out.push_back(mapped);
    }
    return out;
}

std::filesystem::path PathFromBytes(std::string_view bytes, TextEncoding encoding) {
    const std::string utf8 = ToUtf8(bytes, encoding);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace velunt
