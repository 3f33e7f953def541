#include "fuzz_harness.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string_view>

#include "base/file_fault.h"
#include "config/config_loader.h"
#include "engine/extraction_run.h"
#include "fuzz_plain_run.h"
#include "fuzz_reference.h"
#include "fuzz_support.h"

namespace velunt::fuzz {
namespace {

namespace fs = std::filesystem;

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

}  // namespace velunt::fuzz
