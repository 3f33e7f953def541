#include "fuzz_reference.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace velunt::fuzz {
namespace {

constexpr std::string_view kHeaderLine = "[Spalten]";
constexpr int kMost16Bit = 32767;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void raise(int number) { throw RuntimeError{number, "reference"}; }

// A decimal text ("-12.5", "3.", ".5") as a double; raises 6 beyond the
// double range, clears `sure` for results the reference does not judge.
double decimalValue(const std::string& text, bool& sure) {
    if (text.empty()) return 0;
    errno = 0;
    const double value = std::strtod(text.c_str(), nullptr);
    if (errno == ERANGE) {
        if (std::isinf(value)) raise(6);
        sure = false;
    }
    return value;
}

// The leading number of `text` with blanks and tabs skipped wherever they
// stand; 0 when there is none. Exponents and "&H"/"&O" are not judged.
double leadingNumber(std::string_view text, bool& sure) {
    std::string packed;
    for (const char c : text)
        if (c != ' ' && c != '\t') packed += c;
    size_t end = 0;
    if (end < packed.size() && (packed[end] == '+' || packed[end] == '-')) ++end;
    bool digits = false, point = false;
    for (; end < packed.size(); ++end) {
        if (isDigit(packed[end])) {
            digits = true;
        } else if (packed[end] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (end < packed.size() &&
        (packed[end] == 'e' || packed[end] == 'E' || packed[end] == 'd' || packed[end] == 'D'))
        sure = false;
    if (!packed.empty() && packed[0] == '&') sure = false;
    if (!digits) return 0;
    return decimalValue(packed.substr(0, end), sure);
}

// A number as a whole: spaces around it, an optional sign, digits with at
// most one "." among them (at least one), an optional exponent.
bool isNumber(std::string_view text) {
    text = trimmed(text);
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        if (isDigit(text[i])) {
            digits = true;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        const size_t first = i;
        while (i < text.size() && isDigit(text[i])) ++i;
        if (i == first) return false;
    }
    return i == text.size();
}

std::string numberText(double value) {
    if (!std::isfinite(value)) raise(6);
    if (value == 0) return "0";
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15).ptr;
    std::string text(buffer, end);
    for (char& c : text)
        if (c == 'e') c = 'E';
    return text;
}

bool startsWithLower(std::string_view line, std::string_view key) {
    if (line.size() < key.size()) return false;
    for (size_t k = 0; k < key.size(); ++k) {
        const char c = line[k] >= 'A' && line[k] <= 'Z' ? static_cast<char>(line[k] + 32) : line[k];
        if (c != key[k]) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string_view> ReferenceLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') continue;
        lines.push_back(bytes.substr(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < bytes.size()) lines.push_back(bytes.substr(start));
    return lines;
}

ReferenceConfig ReferenceLoad(std::string_view ini) {
    ReferenceConfig result;
    // The loader reads a file marked as UTF-16 as its text; the reference
    // judges only byte texts.
    if (ini.starts_with("\xFF\xFE") || ini.starts_with("\xFE\xFF")) result.sure = false;
    std::vector<std::string_view> lines = ReferenceLines(ini);
    if (!lines.empty() && lines[0].starts_with("\xEF\xBB\xBF")) lines[0].remove_prefix(3);
    try {
        // The block's size: the lines after the last "[Spalten]" up to an
        // empty line or a "[" line; without a header, every line.
        int count = 0;
        bool header = false;
        for (const std::string_view line : lines) {
            if (header && count != 0 && (line.empty() || line.front() == '[')) break;
            if (++count > kMost16Bit) raise(6);
            if (line == kHeaderLine) {
                count = 0;
                header = true;
            }
        }
        Configuration& config = result.config;
        config.columnCount = static_cast<std::int16_t>(count);
        const size_t slots = static_cast<size_t>(count) + 1;
        config.table.keys.assign(slots, {});
        config.table.columns.assign(slots, 0);
        config.table.texts.assign(slots, {});
        // Every header reads the lines after it into the next slots.
        size_t slot = 0;
        for (size_t at = 0; at < lines.size();) {
            if (lines[at++] != kHeaderLine) continue;
            do {
                if (at == lines.size()) raise(62);
                const std::string_view line = lines[at++];
                if (line.size() > static_cast<size_t>(kMost16Bit)) raise(6);
                const size_t bar1 = line.find('|');
                const size_t bar2 =
                    bar1 == std::string_view::npos ? bar1 : line.find('|', bar1 + 1);
                if (bar2 == std::string_view::npos) raise(5);
                if (slot >= slots) raise(9);
                const std::string_view field = line.substr(bar1 + 1, bar2 - bar1 - 1);
                for (const char c : field)
                    if (!isDigit(c) && c != ' ' && c != '+' && c != '-' && c != '.')
                        result.sure = false;
                const double column = std::nearbyint(leadingNumber(field, result.sure));
                if (!(column >= -32768.0 && column <= 32767.0)) raise(6);
                config.table.keys[slot] = line.substr(0, bar1);
                config.table.columns[slot] = static_cast<std::int16_t>(column);
                config.table.texts[slot] = line.substr(bar2 + 1);
                ++slot;
            } while (slot < static_cast<size_t>(count));
        }
        Settings& s = config.settings;
        for (const std::string_view line : lines) {
            const auto value = [&](std::string_view key) {
                return std::string(trimmed(line.substr(key.size())));
            };
            if (startsWithLower(line, "dxfpath=")) s.dxfpath = value("dxfpath=");
            if (startsWithLower(line, "txtpath=")) s.txtpath = value("txtpath=");
            if (startsWithLower(line, "masterkey=")) s.masterkey = value("masterkey=");
            if (startsWithLower(line, "dezzeich=")) s.dezzeich = value("dezzeich=");
            if (startsWithLower(line, "trennzeich=")) s.trennzeich = value("trennzeich=");
            // The loader refuses table encodings it does not know, and
            // switches other than 1 and 0; the reference judges neither.
            if (startsWithLower(line, "kodierung=") || startsWithLower(line, "anfuehrung="))
                result.sure = false;
        }
    } catch (const RuntimeError& error) {
        result.error = error.number;
    }
    return result;
}

std::string ReferenceTransform(std::string_view value, std::string_view key,
                               const RunSettings& settings, bool& sure) {
    std::string text;
    if (settings.replacePercentC) {
        for (size_t i = 0; i < value.size();) {
            if (value.substr(i, 3) == "%%c") {
                if (text.size() + 1 >= 32765) raise(6);
                text += '0';
                i += 3;
            } else {
                text += value[i++];
            }
        }
    } else {
        text = value;
    }
    if (settings.shiftCoordinates) {
        const std::string* amount = nullptr;
        if (key.find("10") != std::string_view::npos || key.find("11") != std::string_view::npos)
            amount = &settings.rwShift;
        if (key.find("20") != std::string_view::npos || key.find("21") != std::string_view::npos)
            amount = &settings.hwShift;
        if (amount && !amount->empty()) {
            if (isNumber(text)) {
                const size_t point = text.find('.');
                if (point != std::string::npos && point >= 32000) sure = false;
                text = numberText(decimalValue(std::string(trimmed(text)), sure) +
                                  leadingNumber(*amount, sure));
            }
        }
    }
    if (settings.replaceDecimalPoint) {
        const size_t point = text.find('.');
        if (point != std::string::npos && point >= 32000) sure = false;
        const bool marked = point != std::string::npos && isNumber(text);
        if (marked) text.replace(point, 1, settings.decimalMark);
    }
    return text;
}

}  // namespace velunt::fuzz
