#include "config/config_loader.h"

#include <cmath>
#include <string>

#include "base/file_io.h"
#include "lines/line_reader.h"
#include "base/read_number.h"
#include "base/runtime_error.h"
#include "base/table_encoding.h"
#include "base/trim_spaces.h"

namespace velunt {
namespace {

constexpr std::string_view kHeader = "[Spalten]";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr int kMaxInt16 = 32767;
constexpr size_t kBlockSize = size_t{64} << 10;

// One pass over the file: opened anew, read from its start, closed at the end.
class Pass {
public:
    explicit Pass(const std::filesystem::path& path)
        : m_file(OpenForReading(path)), m_reader(m_file.get(), path, kBlockSize) {}

    // The next line; false at the end of the file.
    bool next(std::string_view& line) {
        if (!m_reader.next(line)) return false;
        if (m_first) {
            m_first = false;
            if (line.starts_with(kByteOrderMark)) line.remove_prefix(kByteOrderMark.size());
        }
        return true;
    }

    // The next line, which must exist: raises 62 at the end of the file.
    std::string_view required() {
        std::string_view line;
        if (!next(line)) throw MakeError(kInputPastEndOfFile);
        return line;
    }

private:
    FileHandle m_file;
    LineReader m_reader;
    bool m_first = true;
};

void raiseOverflow() { throw MakeError(kOverflow); }

// Counts the lines of the [Spalten] block, and finds out how the file's
// bytes read as text.
int countBlock(const std::filesystem::path& path, TextEncoding& encoding) {
    Pass pass(path);
    int columnCount = 0;
    bool headerFound = false;
    bool utf8 = true;
    std::string_view line;
    while (pass.next(line)) {
        if (headerFound && columnCount != 0 && (line.empty() || line.front() == '[')) break;
        if (++columnCount > kMaxInt16) raiseOverflow();
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

std::int16_t readColumnNumber(std::string_view field) {
    const double rounded = std::nearbyint(ReadNumber(field));  // halves to even
    if (!(rounded >= -32768.0 && rounded <= 32767.0)) raiseOverflow();
    return static_cast<std::int16_t>(rounded);
}

// Splits one column line "key|column|description" into slot `i`.
void readColumnLine(std::string_view line, ColumnTable& table, size_t i) {
    if (line.size() > static_cast<size_t>(kMaxInt16)) raiseOverflow();
    const size_t bar1 = line.find('|');
    if (bar1 == std::string_view::npos) throw MakeError(kInvalidArgument);
    const size_t bar2 = line.find('|', bar1 + 1);
    if (bar2 == std::string_view::npos) throw MakeError(kInvalidArgument);
    if (i >= table.keys.size()) throw MakeError(kSubscriptOutOfRange);
    table.keys[i].assign(line.substr(0, bar1));
    table.columns[i] = readColumnNumber(line.substr(bar1 + 1, bar2 - bar1 - 1));
    table.texts[i].assign(line.substr(bar2 + 1));
}

// Reads the block that follows each "[Spalten]" line. The slot index runs on
// from one header to the next, so a later header line fills the spare slot
// and a third finds none.
void readBlock(const std::filesystem::path& path, Configuration& config) {
    Pass pass(path);
    size_t i = 0;
    std::string_view line;
    while (pass.next(line)) {
        if (line != kHeader) continue;
        do {
            line = pass.required();
            config.columnLines.emplace_back(line);
            readColumnLine(line, config.table, i);
            ++i;
        } while (i < static_cast<size_t>(config.columnCount));
    }
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

void readSettings(const std::filesystem::path& path, Settings& s) {
    Pass pass(path);
    std::string_view line;
    while (pass.next(line)) {
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
            s.hasDezzeich = true;
        }
        if (startsWithKey(line, "trennzeich=")) {
            s.trennzeich = value("trennzeich=");
            s.hasTrennzeich = true;
        }
        if (startsWithKey(line, "abschnitt=")) {
            s.abschnitt = value("abschnitt=");
        }
        if (startsWithKey(line, "kodierung=")) {
            s.kodierung = value("kodierung=");
        }
    }
}

}  // namespace

Configuration ConfigLoader(const std::filesystem::path& iniPath) {
    Configuration config;
    std::error_code ec;
    config.iniPath = std::filesystem::absolute(iniPath, ec);
    if (ec) config.iniPath = iniPath;

    config.columnCount = static_cast<std::int16_t>(countBlock(iniPath, config.encoding));
    config.table.resize(static_cast<size_t>(config.columnCount) + 1);
    readBlock(iniPath, config);
    readSettings(iniPath, config.settings);
    if (!ParseTableEncoding(config.settings.kodierung))
        throw UnknownTableEncodingError("kodierung=",
                                        ToUtf8(config.settings.kodierung, config.encoding));
    return config;
}

}  // namespace velunt
