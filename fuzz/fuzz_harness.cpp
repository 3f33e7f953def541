#include "fuzz_harness.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

#include "base/file_fault.h"
#include "base/file_io.h"
#include "config/config_loader.h"
#include "engine/extraction_run.h"
#include "fuzz_reference.h"
#include "lines/line_reader.h"

namespace velunt::fuzz {
namespace {

namespace fs = std::filesystem;

// A folder of this process for the files an input is written into; removed
// when the process ends normally.
class Scratch {
public:
    Scratch()
        : m_path(fs::temp_directory_path() /
                 ("velunt-fuzz-" + std::to_string(static_cast<long>(::getpid())))) {
        fs::create_directories(m_path);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    fs::path operator/(const char* name) const { return m_path / name; }

private:
    fs::path m_path;
};

const Scratch& scratch() {
    static const Scratch kScratch;
    return kScratch;
}

void writeBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CollectingReport : public ErrorReport {
public:
    std::vector<RuntimeError> errors;
    void show(const RuntimeError& error) override { errors.push_back(error); }
};

size_t countOf(std::string_view text, std::string_view what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, at + what.size()))
        ++count;
    return count;
}

// Marks a run refuses with error 5: an empty separator, or, with the
// decimal-mark step on, an empty decimal mark or one equal to the separator.
bool refusedMarks(const RunSettings& settings) {
    return settings.separator.empty() ||
           (settings.replaceDecimalPoint &&
            (settings.decimalMark.empty() || settings.decimalMark == settings.separator));
}

// What every finished run must leave: exactly one report when it failed and
// none when it succeeded, and an output made of whole CR LF lines (lines
// cannot hold a CR or LF of their own, since the drawing is split at them).
std::string checkRunOutcome(const RunResult& result, const CollectingReport& report,
                            const fs::path& txtpath) {
    if (result.succeeded != report.errors.empty()) return "report count does not match result";
    if (report.errors.size() > 1) return "more than one error reported";
    if (!result.succeeded && report.errors.front().description.empty())
        return "error without description";
    std::error_code ec;
    if (!fs::exists(txtpath, ec)) {
        return result.succeeded ? "successful run left no output" : std::string();
    }
    const std::string output = readBytes(txtpath);
    if (!output.empty() && !output.ends_with("\r\n")) return "output ends inside a line";
    const size_t lines = countOf(output, "\r\n");
    if (countOf(output, "\r") != lines || countOf(output, "\n") != lines)
        return "stray CR or LF in the output";
    if (result.succeeded && static_cast<double>(lines) != result.objectCount + 1)
        return "output has " + std::to_string(lines) + " lines for " +
               std::to_string(result.objectCount) + " objects";
    return {};
}

// `text` rewritten as a group code in the standard layout when it is a whole
// number (spaces, digits, spaces) in another layout; nullopt otherwise.
std::optional<std::string> plainStandardCode(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    const size_t last = text.find_last_not_of(' ');
    const std::string digits(text.substr(first, last - first + 1));
    if (digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return digits.size() >= 3 ? digits : std::string(3 - digits.size(), ' ') + digits;
}

// A shift amount the run accepts: blank, or spaces around an optional sign
// and digits with at most one ".".
bool plainAmount(std::string_view amount) {
    const size_t first = amount.find_first_not_of(' ');
    if (first == std::string_view::npos) return true;
    std::string_view number = amount.substr(first, amount.find_last_not_of(' ') - first + 1);
    if (number.front() == '+' || number.front() == '-') number.remove_prefix(1);
    const size_t point = number.find('.');
    if (point != std::string_view::npos && number.find('.', point + 1) != std::string_view::npos)
        return false;
    return number.find_first_not_of("0123456789.") == std::string_view::npos &&
           number.find_first_of("0123456789") != std::string_view::npos;
}

// The drawing's lines as the scan sees them: read in code/value pairs, a
// whole number at a group-code position in the standard layout; anything
// else there counts as a value line, and the next line is a code again.
std::vector<std::string> plainDrawingLines(std::string_view bytes) {
    std::vector<std::string> lines;
    bool atCode = true;
    for (const std::string_view line : ReferenceLines(bytes)) {
        if (!atCode) {
            lines.emplace_back(line);
            atCode = true;
            continue;
        }
        const std::optional<std::string> code = plainStandardCode(line);
        lines.push_back(code ? *code : std::string(line));
        atCode = !code;
    }
    return lines;
}

// The run as plainly as it can be written: every line split off by a byte
// loop and looked at in turn, the values transformed by the reference
// (fuzz_reference.h), the record lines joined by hand. Returns the error
// number (0 for a normal end) and the table the run must leave.
struct Expected {
    int error = 0;
    std::string table;
    bool sure = true;  // false: a value the reference does not judge
};

std::string plainRecordLine(const std::vector<std::string>& texts, const Configuration& config,
                            const RunSettings& settings, bool atObjectStart, double objectCounter) {
    const int count = config.columnCount;
    const bool addCounter = settings.addCounter;
    const std::string& separator = settings.separator;
    std::string line;
    bool fieldWritten = false;
    for (int c = 1; c <= count; ++c) {
        for (int j = 0; j < count; ++j) {
            if (config.table.columns[static_cast<size_t>(j)] != c) continue;
            if (fieldWritten) line += separator;
            fieldWritten = true;
            std::string_view text = texts[static_cast<size_t>(j)];
            while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
            while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
            line += text;
            break;
        }
    }
    if (addCounter && atObjectStart && objectCounter == 0) line += separator + "Index";
    if (addCounter && objectCounter > 0)
        line += separator + std::to_string(static_cast<long long>(objectCounter));
    return line + "\r\n";
}

Expected plainRun(std::string_view drawing, const Configuration& config,
                  const RunSettings& settings) {
    const std::vector<std::string> lines = plainDrawingLines(drawing);
    std::vector<std::string> keys;
    for (const std::string& key : config.table.keys)
        keys.push_back(plainStandardCode(key).value_or(key));
    const int count = config.columnCount;
    std::vector<std::string> texts = config.table.texts;
    Expected expected;
    bool inObject = false;
    int nextKey = 0;
    double objectCounter = 0;
    try {
        size_t i = 0;
        const auto required = [&]() -> std::string_view {
            if (i == lines.size()) throw MakeError(kInputPastEndOfFile);
            return lines[i++];
        };
        while (i < lines.size()) {
            std::string_view line = lines[i++];
            if (line == "  0") {
                line = required();
                if (line == config.settings.masterkey) {
                    inObject = true;
                    expected.table += plainRecordLine(texts, config, settings, true, objectCounter);
                    objectCounter += 1;
                    texts.assign(static_cast<size_t>(count) + 1, std::string());
                    nextKey = 0;
                } else {
                    inObject = false;
                }
            }
            if (inObject && count > 0 && line == keys[static_cast<size_t>(nextKey)]) {
                const std::string_view value = required();
                texts[static_cast<size_t>(nextKey)] = ReferenceTransform(
                    value, keys[static_cast<size_t>(nextKey)], settings, expected.sure);
                if (++nextKey == count) inObject = false;
            }
        }
        expected.table += plainRecordLine(texts, config, settings, false, objectCounter);
    } catch (const RuntimeError& error) {
        expected.error = error.number;
    }
    return expected;
}

// A drawing with the object types and values the configurations look for,
// for runs whose configuration comes from the input.
constexpr std::string_view kFixedDrawing =
    "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n"
    "  0\r\nTEXT\r\n  8\r\nLayer 1\r\n 10\r\n12.345\r\n 20\r\n-3.5\r\n 30\r\n0.0\r\n"
    " 40\r\n2.5\r\n  1\r\n%%c12 Str. 5\r\n"
    "  0\r\nLINE\r\n  8\r\n0\r\n 10\r\n1.001\r\n 20\r\n2\r\n 11\r\n3.000\r\n 21\r\n4.25\r\n"
    "  0\r\nINSERT\r\n  2\r\nBLOCK\r\n 10\r\n4400000.5\r\n 20\r\n5700000.25\r\n"
    "  0\r\nATTRIB\r\n\r\n\r\n  1\r\nWert\r\n  2\r\nTAG\r\n"
    "  0\r\nTEXT\r\n 10\r\n1\r\n\r\n 20\r\n  1\r\n|;|\r\n"
    "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";

}  // namespace

std::string FuzzConfigLoader(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const fs::path iniPath = scratch() / "velunt.ini";
    const fs::path dxfPath = scratch() / "fixed.dxf";
    const fs::path txtPath = scratch() / "out.txt";
    writeBytes(iniPath, bytes);

    Configuration config;
    try {
        config = ConfigLoader(iniPath);
    } catch (const RuntimeError& error) {
        constexpr std::array kLoaderErrors = {5, 6, 9, 62};
        if (std::find(kLoaderErrors.begin(), kLoaderErrors.end(), error.number) ==
            kLoaderErrors.end())
            return "loader raised error " + std::to_string(error.number);
        if (error.description.empty()) return "loader error without description";
        return {};
    }
    if (config.columnCount < 0) return "negative column count";
    const size_t slots = static_cast<size_t>(config.columnCount) + 1;
    if (config.table.keys.size() != slots || config.table.columns.size() != slots ||
        config.table.texts.size() != slots)
        return "column table does not have columnCount + 1 slots";

    // Whatever the file holds, a run over a sound drawing must end normally
    // (or refuse a decimal mark equal to the separator).
    writeBytes(dxfPath, kFixedDrawing);
    std::error_code ec;
    fs::remove(txtPath, ec);
    RunSettings settings;
    settings.dxfpath = dxfPath;
    settings.txtpath = txtPath;
    settings.shiftCoordinates = settings.replaceDecimalPoint = size % 2 == 1;
    settings.decimalMark = config.settings.dezzeich;
    settings.separator = config.settings.trennzeich;
    settings.readAhead = false;  // no thread per input
    CollectingReport report;
    const RunResult result = ExtractionRun(settings, config, report);
    if (std::string fault = checkRunOutcome(result, report, txtPath); !fault.empty()) return fault;
    const bool refused = refusedMarks(settings);
    if (!result.succeeded && !(refused && report.errors.front().number == 5))
        return "run over a sound drawing failed with " +
               std::to_string(report.errors.front().number);
    if (readBytes(dxfPath) != kFixedDrawing) return "the drawing was changed";
    if (readBytes(iniPath) != bytes) return "velunt.ini was changed";
    return {};
}

namespace {

constexpr std::array<std::string_view, 3> kRunIniFiles = {
    // Five columns: two of them for the same key, one out of order.
    "masterkey=TEXT\r\n[Spalten]\r\n  8|4|Layer\r\n 10|1|RW\r\n 20|2|HW\r\n  1|3|Text\r\n"
    " 10|5|RW2\r\n\r\n[Ende]\r\n",
    // An empty table: nothing is captured.
    "masterkey=TEXT\r\n",
    // Column numbers out of range and repeated, an empty key, a key with bars.
    "masterkey=TEXT\r\n[Spalten]\r\n 10|2|A\r\n|1|leer\r\n 20|2|B\r\n 11|0|C\r\n"
    " 21|9|D\r\n 40|-1|E|F\r\n",
};
constexpr std::array<std::string_view, 4> kMasterkeys = {"TEXT", "LINE", "INSERT", ""};
constexpr std::array<std::string_view, 8> kMarks = {",", ".", ";", "", "\t", "||", " ", "ab"};
constexpr std::array<std::string_view, 16> kShifts = {
    "4400000",   "5700000", "",      " ",   "0",      "-1e308", "1e308",
    "4400000,5", "&HFFFF",  "&O777", "abc", "1e-320", "0.655",  "9999999999999999999",
    "-0",        "1E+"};
constexpr std::string_view kBinarySentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

const Configuration& runConfig(size_t which) {
    static const std::array<Configuration, kRunIniFiles.size()> kConfigs = [] {
        std::array<Configuration, kRunIniFiles.size()> configs;
        const fs::path iniPath = scratch() / "run.ini";
        for (size_t i = 0; i < kRunIniFiles.size(); ++i) {
            writeBytes(iniPath, kRunIniFiles[i]);
            configs[i] = ConfigLoader(iniPath);
        }
        return configs;
    }();
    return kConfigs[which % kConfigs.size()];
}

}  // namespace

namespace {

// The drawing is read in blocks of 1 to about 83,000 bytes on the calling
// thread, chosen by the upper halves of option bytes 2 and 3: fast, and the
// same every time.
void readInBlocksFrom(std::uint8_t byte2, std::uint8_t byte3, RunSettings& settings) {
    const unsigned v = (byte2 >> 4) | (byte3 & 0xF0u);
    size_t blockSize = (v & 63u) + 1;
    if (v & 64u) blockSize *= 13;
    if (v & 128u) blockSize *= 101;
    settings.readBlockSize = blockSize;
    settings.readAhead = false;
}

// Runs `drawing` with `config` and `settings` (paths set here) and checks the
// outcome against the plain scan, which reads the table from `reference` (the
// configuration as the reference loaded it).
std::string runAndCompare(std::string_view drawing, const Configuration& config,
                          const Configuration& reference, RunSettings settings) {
    settings.dxfpath = scratch() / "in.dxf";
    settings.txtpath = scratch() / "out.txt";
    writeBytes(settings.dxfpath, drawing);
    std::error_code ec;
    fs::remove(settings.txtpath, ec);
    CollectingReport report;
    const RunResult result = ExtractionRun(settings, config, report);
    if (std::string fault = checkRunOutcome(result, report, settings.txtpath); !fault.empty())
        return fault;
    if (readBytes(settings.dxfpath) != drawing) return "the drawing was changed";

    const bool refused = refusedMarks(settings);
    const bool badAmount = settings.shiftCoordinates &&
                           (!plainAmount(settings.rwShift) || !plainAmount(settings.hwShift));
    const bool binary = drawing.starts_with(kBinarySentinel);
    if (!refused && !badAmount && !binary) {
        // The same lines, errors and table as the plain scan.
        const Expected expected = plainRun(drawing, reference, settings);
        if (!expected.sure) return {};
        const int number = result.succeeded ? 0 : report.errors.front().number;
        if (number != expected.error)
            return "run ended with " + std::to_string(number) + ", the plain scan with " +
                   std::to_string(expected.error);
        if (readBytes(settings.txtpath) != expected.table)
            return "the table differs from the plain scan's";
        return {};
    }
    if (result.succeeded) return "a refused run succeeded";
    const int number = report.errors.front().number;
    switch (number) {
        case 5:
            if (!refused) return "error 5 with sound marks";
            break;
        case 13:
            if (refused || !badAmount) return "error 13 without a shift amount that is no number";
            break;
        case 321:
            if (!binary) return "error 321 for a text drawing";
            break;
        default:
            return "unexpected error " + std::to_string(number);
    }
    // Refused runs do not touch the output.
    if (fs::exists(settings.txtpath, ec)) return "refused run created the output";
    return {};
}

// The run that option bytes and a drawing describe (kRunOptionBytes).
struct RunCase {
    Configuration config;
    RunSettings settings;
    std::string_view drawing;
};

RunCase runCase(const std::uint8_t* data, std::size_t size) {
    std::array<std::uint8_t, kRunOptionBytes> options{};
    std::copy_n(data, std::min(size, kRunOptionBytes), options.begin());
    const size_t skip = std::min(size, kRunOptionBytes);
    RunCase run;
    run.drawing = std::string_view(reinterpret_cast<const char*>(data) + skip, size - skip);
    run.config = runConfig(options[0] >> 6);
    run.config.settings.masterkey = kMasterkeys[(options[0] >> 4) & 3];
    RunSettings& settings = run.settings;
    settings.decimalMark = kMarks[options[1] & 7];
    settings.separator = kMarks[(options[1] >> 3) & 7];
    settings.replacePercentC = options[0] & 1;
    settings.replaceDecimalPoint = options[0] & 2;
    settings.shiftCoordinates = options[0] & 4;
    settings.addCounter = options[0] & 8;
    settings.rwShift = kShifts[options[2] & 15];
    settings.hwShift = kShifts[options[3] & 15];
    readInBlocksFrom(options[2], options[3], settings);
    return run;
}

}  // namespace

std::string FuzzExtractionRun(const std::uint8_t* data, std::size_t size) {
    const RunCase run = runCase(data, size);
    return runAndCompare(run.drawing, run.config, run.config, run.settings);
}

std::string FuzzIniAndRun(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const size_t split = std::min(bytes.find(kPartSeparator), bytes.size());
    const std::string_view ini = bytes.substr(0, split);
    const std::string_view rest = bytes.substr(std::min(split + 1, bytes.size()));
    std::array<std::uint8_t, kRunOptionBytes> options{};
    for (size_t i = 0; i < options.size() && i < rest.size(); ++i)
        options[i] = static_cast<std::uint8_t>(rest[i]);
    const std::string_view drawing = rest.substr(std::min(rest.size(), kRunOptionBytes));

    // The core's loader and the reference must agree.
    const fs::path iniPath = scratch() / "velunt.ini";
    writeBytes(iniPath, ini);
    Configuration config;
    int loadError = 0;
    try {
        config = ConfigLoader(iniPath);
    } catch (const RuntimeError& error) {
        loadError = error.number;
    }
    const ReferenceConfig reference = ReferenceLoad(ini);
    if (reference.sure) {
        if (loadError != reference.error)
            return "loading raised " + std::to_string(loadError) + ", the reference " +
                   std::to_string(reference.error);
        const Configuration& r = reference.config;
        if (loadError == 0 &&
            (config.columnCount != r.columnCount || config.table.keys != r.table.keys ||
             config.table.columns != r.table.columns || config.table.texts != r.table.texts))
            return "the column table differs from the reference's";
        const Settings& a = config.settings;
        const Settings& b = r.settings;
        if (loadError == 0 &&
            (a.dxfpath != b.dxfpath || a.txtpath != b.txtpath || a.masterkey != b.masterkey ||
             a.dezzeich != b.dezzeich || a.trennzeich != b.trennzeich))
            return "the settings differ from the reference's";
    }
    if (loadError != 0) return {};

    // The options as the command line gives them; marks from velunt.ini
    // unless bits 4 and 5 choose others.
    RunSettings settings;
    settings.replacePercentC = options[0] & 1;
    settings.replaceDecimalPoint = options[0] & 2;
    settings.shiftCoordinates = options[0] & 4;
    settings.addCounter = options[0] & 8;
    settings.decimalMark =
        options[0] & 16 ? std::string(kMarks[options[1] & 7]) : InitialDecimalMark(config.settings);
    settings.separator = options[0] & 32 ? std::string(kMarks[(options[1] >> 3) & 7])
                                         : InitialSeparator(config.settings);
    settings.rwShift = kShifts[options[2] & 15];
    settings.hwShift = kShifts[options[3] & 15];
    readInBlocksFrom(options[2], options[3], settings);
    return runAndCompare(drawing, config, reference.sure ? reference.config : config, settings);
}

namespace {

int numberFor(int errnoValue) {
    switch (errnoValue) {
        case EIO:
            return 57;
        default:
            return 61;  // ENOSPC, EFBIG, EDQUOT
    }
}

}  // namespace

std::string FuzzFileFaults(const std::uint8_t* data, std::size_t size) {
    if (size < kFaultControlBytes) return {};
    constexpr std::array kErrnos = {EIO, ENOSPC, EFBIG, EDQUOT};
    FileFault fault;
    fault.onWrite = data[0] & 1;
    fault.comesShort = data[0] & 2;
    fault.errnoValue = kErrnos[(data[0] >> 2) & 3];
    fault.nth = 1 + (std::uint64_t{data[1]} | std::uint64_t{data[2]} << 8);
    RunCase run = runCase(data + kFaultControlBytes, size - kFaultControlBytes);
    run.settings.dxfpath = scratch() / "in.dxf";
    run.settings.txtpath = scratch() / "out.txt";
    writeBytes(run.settings.dxfpath, run.drawing);
    std::error_code ec;
    const auto tableOf = [&](CollectingReport& report, bool withFault) {
        fs::remove(run.settings.txtpath, ec);
        if (withFault && !ArmFileFault(fault)) return std::optional<std::string>();
        const RunResult result = ExtractionRun(run.settings, run.config, report);
        DisarmFileFault();
        if (result.succeeded != report.errors.empty()) return std::optional<std::string>("?");
        return std::optional<std::string>(
            fs::exists(run.settings.txtpath, ec) ? readBytes(run.settings.txtpath) : "");
    };
    CollectingReport fullReport, faultReport;
    const std::optional<std::string> full = tableOf(fullReport, false);
    const std::optional<std::string> table = tableOf(faultReport, true);
    if (!table) return {};  // no seam on this platform
    if (*table == "?" || *full == "?") return "report count does not match result";
    if (faultReport.errors.empty()) {
        if (!fullReport.errors.empty() || *table != *full)
            return "a run under a fault that never hit ended otherwise";
        return {};
    }
    // The fault's number, or the error the run meets without it.
    const int number = faultReport.errors.front().number;
    if (number != numberFor(fault.errnoValue) &&
        (fullReport.errors.empty() || number != fullReport.errors.front().number))
        return "a failed " + std::string(fault.onWrite ? "write" : "read") + " was reported as " +
               std::to_string(number);
    // Whole lines, the first lines of the full table. (A write that comes
    // short leaves a part of a line unless the table is cut back to its last
    // whole line.)
    if (!table->empty() && !table->ends_with("\r\n")) return "the table ends inside a line";
    if (!full->starts_with(*table)) return "the table is not the first lines of the full table";
    return {};
}

namespace {

constexpr size_t kMaxCandidates = 4096;

// Keys the reader may be told of; skipping to keys must not pass over them.
struct KeySet {
    std::vector<std::string_view> keys;
    bool shaped;  // every key has three bytes
};
const KeySet kKeySets[4] = {
    {{}, false},
    {{" 10", " 20", "  1"}, true},
    {{"  8", " 10", " 10", "100"}, true},
    {{" 10", "1000", ""}, false},
};

}  // namespace

std::string FuzzLineReader(const std::uint8_t* data, std::size_t size) {
    if (size < kLineReaderControlBytes) return {};
    const std::uint8_t blockByte = data[0];
    const std::uint8_t mode = data[1];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + kLineReaderControlBytes,
                                 size - kLineReaderControlBytes);
    // Blocks of 1 to 64 bytes, or multiples of 13 up to 832: boundaries fall
    // everywhere, also between CR and LF and inside the 64-byte windows.
    size_t blockSize = (blockByte & 63u) + 1;
    if (blockByte & 64u) blockSize *= 13;
    const bool peekFirst = blockByte & 128u;
    const bool moveSpilled = mode & 1u;
    const unsigned skipEvery = (mode >> 1) & 31u;  // 0: never skip
    const KeySet& keySet = kKeySets[mode >> 6];

    const fs::path path = scratch() / "lines.bin";
    writeBytes(path, bytes);
    FileHandle file = OpenForReading(path);
    // The larger blocks are read ahead on a second thread, the small ones not.
    LineReader reader(file.get(), path, blockSize, (blockByte & 64u) != 0);
    const std::vector<std::string> keys(keySet.keys.begin(), keySet.keys.end());
    if (!keys.empty() && reader.setKeys(keys) != keySet.shaped)
        return "setKeys() misjudged whether every key has three bytes";

    if (peekFirst) {
        // The run looks at the first bytes for the binary DXF sentinel
        // before it reads a line; reading must not change afterwards.
        const std::string_view peeked = reader.peek(22);
        if (peeked != bytes.substr(0, std::min({size_t{22}, blockSize, bytes.size()})))
            return "peek does not show the first bytes";
    }
    const std::vector<std::string_view> expected = ReferenceLines(bytes);
    // Skipping passes over lines, but never over an object start. Which
    // lines it passed over shows only in what comes next, so `next` holds
    // every index of `expected` that the following line may have.
    std::vector<size_t> next = {0};
    std::vector<size_t> after;
    std::string_view line;
    std::string moved;
    volatile char sink = 0;
    bool skippedLast = false;
    bool toKeys = false;                   // the last skip was to keys or object starts
    const std::string* awaited = nullptr;  // the one key it awaited, if so
    for (size_t call = 0;; ++call) {
        // Outside objects the run skips to object starts, inside them to
        // keys or object starts; both in turn here.
        skippedLast = skipEvery != 0 && call % skipEvery == 0;
        toKeys = skippedLast && !keys.empty() && (call / skipEvery) % 2 == 1;
        // Every other skip to keys awaits one key only, as the run does.
        awaited = toKeys && (call / skipEvery) % 4 == 3
                      ? &keys[(call / skipEvery / 4) % keys.size()]
                      : nullptr;
        if (skippedLast) {
            if (awaited) {
                reader.skipToKeyOrObjectStart((call / skipEvery / 4) % keys.size());
            } else if (toKeys) {
                reader.skipToKeyOrObjectStart();
            } else {
                reader.skipToObjectStart();
            }
        }
        if (!reader.next(line)) break;
        // Every view promises readable bytes past its start (under
        // AddressSanitizer, reading them proves it).
        for (size_t k = 0; k < LineReader::kReadableSlack; ++k) sink = sink ^ line.data()[k];
        after.clear();
        if (!skippedLast) {
            for (const size_t j : next)
                if (j < expected.size() && expected[j] == line) after.push_back(j + 1);
        } else {
            // From each candidate up to the next object start; `next` is
            // sorted, so each line is looked at once.
            size_t scanned = 0;
            for (const size_t j : next) {
                for (size_t m = std::max(j, scanned); m < expected.size(); ++m) {
                    scanned = m + 1;
                    if (expected[m] == line) after.push_back(m + 1);
                    if (expected[m] == "  0" || (awaited && expected[m] == *awaited) ||
                        (toKeys && !awaited &&
                         std::find(keys.begin(), keys.end(), expected[m]) != keys.end()))
                        break;
                }
            }
        }
        if (after.empty())
            return std::string(skippedLast ? "after skipping, " : "") + "line " +
                   std::to_string(call) + " is none of the lines expected";
        next.swap(after);
        if (moveSpilled && reader.lastLineSpilled()) {
            const std::string copy(line);
            reader.moveLastLineInto(moved);
            if (moved != copy) return "a spilled line changed when taken over";
        }
        if (next.size() > kMaxCandidates) {
            // Too many equal lines to tell where the reader stands: read on
            // for the sanitizers only.
            while (reader.next(line)) {
            }
            return {};
        }
    }
    // At the end: every line read, or, just after a skip, only lines that
    // the skip may pass over.
    size_t afterLastStop = 0;
    for (size_t j = 0; j < expected.size(); ++j)
        if (expected[j] == "  0" ||
            (toKeys && std::find(keys.begin(), keys.end(), expected[j]) != keys.end()))
            afterLastStop = j + 1;
    const bool endOk = std::any_of(next.begin(), next.end(), [&](size_t j) {
        return j == expected.size() || (skippedLast && j >= afterLastStop);
    });
    if (!endOk) return "the lines ended early";
    if (reader.next(line)) return "a line after the end was reported";
    if (reader.bytesRead() != bytes.size()) return "bytesRead() differs from the file size";
    return {};
}

}  // namespace velunt::fuzz
