#include "config/config_loader.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/file_io.h"
#include "base/read_number.h"
#include "base/runtime_error.h"
#include "base/table_encoding.h"
#include "base/trim_spaces.h"
#include "config/ini_messages.h"
#include "lines/memory_lines.h"

namespace velunt {
namespace {

constexpr std::string_view kHeader = "[Spalten]";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr int kMaxInt16 = 32767;

// One pass over the file's bytes, read once into memory, from their start.
// It counts the lines, so that every error names the line it was met in.
class Pass {
public:
    Pass(std::string_view text, const std::filesystem::path& path)
        : m_lines(text), m_fileName(PathText(path.filename())) {}

    // The next line; false at the end of the file.
    bool next(std::string_view& line) {
        if (!m_lines.next(line)) return false;
        ++m_lineNumber;
        if (m_first) {
            m_first = false;
            if (line.starts_with(kByteOrderMark)) line.remove_prefix(kByteOrderMark.size());
        }
        return true;
    }

    // The next line, which must exist: raises 62 at the end of the file.
    std::string_view required() {
        std::string_view line;
        if (!next(line))
            raise(kInputPastEndOfFile,
                  "nach [Spalten] fehlen die Spaltenzeilen Schlüssel|Spalte|Beschreibung");
        return line;
    }

    int lineNumber() const { return m_lineNumber; }

    // Raises `number` for the line last read: "velunt.ini, Zeile 8: " and
    // `what`, after the standard text unless it is 5, whose standard text
    // says nothing to a user.
    [[noreturn]] void raise(int number, const std::string& what) const {
        std::string description =
            number == kInvalidArgument ? std::string() : StandardDescription(number) + ": ";
        description += LineLocation(m_fileName, m_lineNumber) + ": " + what;
        throw RuntimeError{number, description};
    }

private:
    MemoryLines m_lines;
    std::string m_fileName;
    int m_lineNumber = 0;
    bool m_first = true;
};

// Counts the lines of the [Spalten] block, and finds out how the file's
// bytes read as text.
int countBlock(std::string_view text, const std::filesystem::path& path, TextEncoding& encoding) {
    Pass pass(text, path);
    int columnCount = 0;
    bool headerFound = false;
    bool utf8 = true;
    std::string_view line;
    while (pass.next(line)) {
        if (headerFound && columnCount != 0 && (line.empty() || line.front() == '[')) break;
        if (++columnCount > kMaxInt16)
            pass.raise(kOverflow, "mehr als 32767 Zeilen vor dem Ende des Blocks [Spalten]");
        if (line == kHeader) {
            columnCount = 0;
            headerFound = true;
        }
        utf8 = utf8 && IsValidUtf8(line);
    }
    // A block that ended early leaves lines unchecked; finish the check.
    while (utf8 && pass.next(line)) utf8 = IsValidUtf8(line);
    encoding = utf8 ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    return columnCount;
}

std::int16_t readColumnNumber(const Pass& pass, std::string_view field, TextEncoding encoding) {
    double value = HUGE_VAL;
    try {
        value = ReadNumber(field);
    } catch (const RuntimeError&) {  // beyond every double: an overflow as well
    }
    const double rounded = std::nearbyint(value);  // halves to even
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        pass.raise(kOverflow, "Spalte " + ToUtf8(TrimSpaces(field), encoding) +
                                  (rounded < 0 ? " (erlaubt ab -32768)" : " (erlaubt bis 32767)"));
    return static_cast<std::int16_t>(rounded);
}

// Splits one column line "key|column|description" into slot `i`.
void readColumnLine(const Pass& pass, std::string_view line, TextEncoding encoding,
                    ColumnTable& table, size_t i) {
    if (line.size() > static_cast<size_t>(kMaxInt16))
        pass.raise(kOverflow, "die Zeile ist länger als 32767 Zeichen");
    const size_t bar1 = line.find('|');
    const size_t bar2 = bar1 == std::string_view::npos ? bar1 : line.find('|', bar1 + 1);
    if (bar2 == std::string_view::npos)
        pass.raise(kInvalidArgument, ColumnLineWithoutBars(line, encoding));
    if (i >= table.keys.size())
        pass.raise(kSubscriptOutOfRange,
                   "kein Platz für diese Spaltenzeile: [Spalten] steht mehr als zweimal in der "
                   "Datei; überzählige Überschriften entfernen");
    table.keys[i].assign(line.substr(0, bar1));
    table.columns[i] = readColumnNumber(pass, line.substr(bar1 + 1, bar2 - bar1 - 1), encoding);
    table.texts[i].assign(line.substr(bar2 + 1));
}

// Reads the block that follows each "[Spalten]" line. The slot index runs on
// from one header to the next, so a later header line fills the spare slot
// and a third finds none.
// Returns the numbers of the lines it read as column lines or headers.
std::vector<int> readBlock(std::string_view text, const std::filesystem::path& path,
                           Configuration& config) {
    Pass pass(text, path);
    std::vector<int> blockLines;
    size_t i = 0;
    std::string_view line;
    while (pass.next(line)) {
        if (line != kHeader) continue;
        blockLines.push_back(pass.lineNumber());
        do {
            line = pass.required();
            blockLines.push_back(pass.lineNumber());
            config.columnLines.emplace_back(line);
            readColumnLine(pass, line, config.encoding, config.table, i);
            ++i;
        } while (i < static_cast<size_t>(config.columnCount));
    }
    return blockLines;
}

bool startsWithKey(std::string_view line, std::string_view key) {
    if (line.size() < key.size()) return false;
    for (size_t k = 0; k < key.size(); ++k) {
        char c = line[k];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != key[k]) return false;
    }
    return true;
}

// "1" is on and "0" off; an empty value means `empty`. Anything else
// would leave the user guessing which way it went.
std::optional<bool> readSwitch(const Pass& pass, std::string_view key, std::string_view value,
                               TextEncoding encoding, std::string_view onMeans,
                               std::optional<bool> empty) {
    if (value == "1") return true;
    if (value == "0") return false;
    if (value.empty()) return empty;
    pass.raise(kInvalidArgument, std::string(key) + "=„" + ToUtf8(value, encoding) +
                                     "“ gilt nicht: erlaubt sind 1 (" + std::string(onMeans) +
                                     ") und 0 oder nichts (aus).");
}

// The switches that tick or untick a box of the window; an empty value
// leaves the box as it starts.
struct BoxSwitch {
    std::string_view key;
    std::optional<bool> Settings::*target;
    std::string_view onMeans;
};
constexpr BoxSwitch kBoxSwitches[] = {
    {"prozentc", &Settings::prozentc, "%%c durch 0 ersetzen"},
    {"dezersetzen", &Settings::dezersetzen, "Dezimalpunkt durch dezzeich= ersetzen"},
    {"verschiebung", &Settings::verschiebung, "Koordinaten um rw= und hw= verschieben"},
    {"zaehler", &Settings::zaehler, "Zählerspalte \"Index\""},
};

// Reads the settings, and warns of lines outside the block that look like a
// setting but are none (see config/ini_messages.h).
void readSettings(std::string_view text, const std::filesystem::path& path,
                  const std::vector<int>& blockLines, Configuration& config) {
    Settings& s = config.settings;
    Pass pass(text, path);
    std::string_view line;
    while (pass.next(line)) {
        if (!std::binary_search(blockLines.begin(), blockLines.end(), pass.lineNumber()))
            if (auto warning = SettingLineWarning(line, config.encoding))
                config.warnings.push_back(
                    LineLocation(PathText(path.filename()), pass.lineNumber()) + ": " + *warning);
        const auto value = [&](std::string_view key) {
            return TrimSpaces(line.substr(key.size()));
        };
        if (startsWithKey(line, "dxfpath=")) {
            s.dxfpath = value("dxfpath=");
        }
        if (startsWithKey(line, "txtpath=")) {
            s.txtpath = value("txtpath=");
        }
        if (startsWithKey(line, "masterkey=")) {
            s.masterkey = value("masterkey=");
        }
        if (startsWithKey(line, "dezzeich=")) {
            s.dezzeich = value("dezzeich=");
        }
        if (startsWithKey(line, "trennzeich=")) {
            s.trennzeich = value("trennzeich=");
        }
        if (startsWithKey(line, "abschnitt=")) {
            s.abschnitt = value("abschnitt=");
        }
        if (startsWithKey(line, "kodierung=")) {
            s.kodierung = value("kodierung=");
        }
        if (startsWithKey(line, "anfuehrung=")) {
            s.anfuehrung = *readSwitch(pass, "anfuehrung", value("anfuehrung="), config.encoding,
                                       "Felder mit dem Trennzeichen oder \" in Anführungszeichen "
                                       "schreiben",
                                       false);
        }
        if (startsWithKey(line, "rw=")) {
            s.rw = value("rw=");
        }
        if (startsWithKey(line, "hw=")) {
            s.hw = value("hw=");
        }
        for (const BoxSwitch& box : kBoxSwitches) {
            const std::string key = std::string(box.key) + "=";
            if (startsWithKey(line, key))
                s.*box.target = readSwitch(pass, box.key, value(key), config.encoding, box.onMeans,
                                           std::nullopt);
        }
    }
}

// The text of velunt.ini: its bytes, or, after a UTF-16 byte-order mark
// (as Windows editors save "Unicode"), that text converted to UTF-8. UTF-16
// that does not decode is refused with 5 rather than read as garbage.
std::string iniText(std::string bytes, const std::filesystem::path& path) {
    const bool littleEndian = bytes.starts_with("\xFF\xFE");
    if (!littleEndian && !bytes.starts_with("\xFE\xFF")) return bytes;
    std::optional<std::string> text =
        Utf16ToUtf8(std::string_view(bytes).substr(2), /*bigEndian=*/!littleEndian);
    if (!text)
        throw RuntimeError{kInvalidArgument,
                           PathText(path.filename()) +
                               ": als UTF-16 markiert, aber kein gültiges UTF-16 (ungerade "
                               "Anzahl Bytes oder ein Surrogat ohne Partner)"};
    return std::move(*text);
}

}  // namespace

Configuration ConfigLoader(const std::filesystem::path& iniPath) {
    Configuration config;
    std::error_code ec;
    config.iniPath = std::filesystem::absolute(iniPath, ec);
    if (ec) config.iniPath = iniPath;

    // Read once: a pipe or FIFO gives its bytes only once.
    const std::string text = iniText(ReadWholeFile(iniPath, FileRole::Ini), iniPath);
    config.columnCount = static_cast<std::int16_t>(countBlock(text, iniPath, config.encoding));
    config.table.resize(static_cast<size_t>(config.columnCount) + 1);
    const std::vector<int> blockLines = readBlock(text, iniPath, config);
    readSettings(text, iniPath, blockLines, config);
    if (!ParseTableEncoding(config.settings.kodierung))
        throw UnknownTableEncodingError("kodierung=",
                                        ToUtf8(config.settings.kodierung, config.encoding));
    return config;
}

}  // namespace velunt
