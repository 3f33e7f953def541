#include "engine/extraction_run.h"

#include <algorithm>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_identity.h"
#include "base/file_io.h"
#include "base/read_number.h"
#include "base/trim_spaces.h"
#include "engine/binary_drawing.h"
#include "engine/drawing_stamp.h"
#include "engine/output_file.h"
#include "engine/scan.h"
#include "engine/table_text.h"
#include "lines/group_code.h"
#include "lines/line_reader.h"

namespace velunt {
namespace {

using PathState = PathFacts::State;

// Nothing is at `path` (looked at as `facts`), but the folder it names is
// there and its last part is a plain name: resolving the path ends in that
// folder's real path and this name, where no file is.
bool isNewNameInFolder(const std::filesystem::path& path, const PathFacts& facts) {
    if (facts.state != PathState::kMissing) return false;
    const std::filesystem::path name = path.filename();
    if (name.empty() || name == "." || name == "..") return false;
    const std::filesystem::path folder = path.parent_path();
    const PathFacts folderFacts = LookAt(folder.empty() ? std::filesystem::path(".") : folder);
    return folderFacts.state == PathState::kPresent && folderFacts.isDirectory;
}

// Whether `a` (looked at as `aFacts`) and `b` name the same file. Two files
// that are there compare by device and file number, whatever names and links
// lead to them; only when one is missing in a way that cannot be told
// apart so simply are both paths resolved.
bool sameFile(const std::filesystem::path& a, const PathFacts& aFacts,
              const std::filesystem::path& b) {
    // An empty path names no file (both resolve to ""); opening it fails on
    // its own with the file layer's error.
    if (a.empty() || b.empty()) return false;
    const PathFacts bFacts = LookAt(b);
    if (aFacts.state == PathState::kPresent && bFacts.state == PathState::kPresent)
        return aFacts.identity == bFacts.identity;
    if ((aFacts.state == PathState::kPresent && isNewNameInFolder(b, bFacts)) ||
        (bFacts.state == PathState::kPresent && isNewNameInFolder(a, aFacts)))
        return false;
    std::error_code ec;
    const auto canonicalA = std::filesystem::weakly_canonical(a, ec);
    if (ec) return false;
    const auto canonicalB = std::filesystem::weakly_canonical(b, ec);
    return !ec && canonicalA == canonicalB;
}

// A shift amount that is not a number would shift by its leading digits
// ("5700000,5" by 5700000) or by nothing ("abc"), silently.
void checkShiftAmount(std::string_view field, std::string_view amount) {
    if (TrimSpaces(amount).empty() || IsPlainNumber(amount)) return;
    throw RuntimeError{kTypeMismatch, "Typen unverträglich: Die Verschiebung " +
                                          std::string(field) + " „" + std::string(amount) +
                                          "“ ist keine Zahl. Bitte eine Zahl mit Dezimalpunkt "
                                          "eingeben, z. B. 5700000.5."};
}

// A mark with a line break in it would split the table's lines.
void checkNoLineBreak(std::string_view mark, const char* name, const char* split) {
    if (mark.find_first_of("\r\n") == std::string_view::npos) return;
    throw RuntimeError{kInvalidArgument, std::string(name) +
                                             " enthält einen Zeilenumbruch (CR oder LF); " + split +
                                             " würde auf zwei Zeilen geteilt."};
}

// Refuses settings that would destroy a file or split every number or line,
// before any file is touched.
void checkSettings(const RunSettings& settings, const Configuration& config) {
    checkNoLineBreak(settings.separator, "Das Trennzeichen", "jede Zeile der Tabelle");
    if (settings.replaceDecimalPoint)
        checkNoLineBreak(settings.decimalMark, "Das Dezimalzeichen",
                         "jede Zeile mit einer Dezimalzahl");
    if (settings.replaceDecimalPoint && !settings.decimalMark.empty() &&
        settings.decimalMark == settings.separator)
        throw RuntimeError{kInvalidArgument,
                           "Dezimalzeichen und Trennzeichen sind beide „" +
                               ToUtf8(settings.separator, config.encoding) +
                               "“: jede Zahl würde in zwei Spalten geteilt. Eines von beiden "
                               "ändern (dezzeich=/trennzeich= in velunt.ini, im Fenster oder "
                               "mit --decimal-mark/--separator)."};
    // Without a separator the fields run together; without a decimal mark
    // every number loses its point (-0.028899 becomes -0028899).
    const bool noSeparator = settings.separator.empty();
    const bool noDecimalMark = settings.replaceDecimalPoint && settings.decimalMark.empty();
    if (noSeparator && noDecimalMark)
        throw RuntimeError{kInvalidArgument,
                           "Trennzeichen und Dezimalzeichen sind leer: die Felder stünden ohne "
                           "Trennung aneinander, und jede Zahl verlöre ihren Dezimalpunkt. Beide "
                           "eintragen: trennzeich=; und dezzeich=, in velunt.ini, im Fenster "
                           "oder mit --separator/--decimal-mark."};
    if (noSeparator)
        throw RuntimeError{kInvalidArgument,
                           "Das Trennzeichen ist leer: die Felder jeder Zeile stünden ohne "
                           "Trennung aneinander. Eines eintragen: trennzeich=; in velunt.ini, "
                           "im Fenster oder mit --separator."};
    if (noDecimalMark)
        throw RuntimeError{kInvalidArgument,
                           "Das Dezimalzeichen ist leer: jede Zahl verlöre ihren Dezimalpunkt "
                           "(-0.028899 würde -0028899). Eines eintragen: dezzeich=, in "
                           "velunt.ini, im Fenster oder mit --decimal-mark; oder "
                           "„Dezimalzeichen“ abwählen (ohne --replace-decimal-point)."};
    const std::string accessError = StandardDescription(kPathFileAccessError) + ": ";
    const PathFacts table = LookAt(settings.txtpath);
    if (sameFile(settings.txtpath, table, settings.dxfpath))
        throw RuntimeError{kPathFileAccessError,
                           accessError + NamedFile(FileRole::Output, settings.txtpath) +
                               " ist die Zeichnung selbst; sie würde überschrieben. Einen "
                               "anderen Namen wählen."};
    if (!config.iniPath.empty() && sameFile(settings.txtpath, table, config.iniPath))
        throw RuntimeError{kPathFileAccessError,
                           accessError + NamedFile(FileRole::Output, settings.txtpath) +
                               " ist die Konfigurationsdatei velunt.ini; sie würde "
                               "überschrieben. Einen anderen Namen wählen."};
    if (settings.shiftCoordinates) {
        checkShiftAmount("RW", settings.rwShift);
        checkShiftAmount("HW", settings.hwShift);
    }
}

// The table's keys as the scan matches them: a key that is a whole number
// ("10", " 20 ") in the standard layout of group codes, as the reader hands
// out group-code lines; every other key as written.
std::vector<std::string> StandardKeys(const Configuration& config) {
    std::vector<std::string> keys;
    keys.reserve(config.table.keys.size());
    for (const std::string& key : config.table.keys) keys.push_back(StandardGroupCode(key));
    return keys;
}

// Puts the lines built before `error` into the file and closes it, so that the
// report comes after them and a next run finds no file left open. A failure
// here does not replace the error that ended the run.
RuntimeError flushBeforeReport(std::optional<OutputFile>& output, const RuntimeError& error) {
    if (output) {
        try {
            output->close();
        } catch (const RuntimeError&) {
        }
        output.reset();
    }
    return error;
}

}  // namespace

RunResult ExtractionRun(const RunSettings& settings, const Configuration& config,
                        ErrorReport& report, RunObserver* observer) {
    RunResult result;
    result.section = settings.section;
    std::optional<OutputFile> output;
    std::optional<DrawingStamp> drawingStamp;
    try {
        checkSettings(settings, config);

        // The drawing is opened and its first block read before the output
        // is touched: a drawing that is missing, unreadable or binary leaves
        // the previous table as it was.
        if (settings.dxfpath.empty())
            throw RuntimeError{kFileNotFound,
                               "Keine Zeichnung: dxfpath= fehlt in velunt.ini und keine "
                               "gewählt (DXF wählen bzw. --dxf)."};
        const FileHandle dxf = OpenForReading(settings.dxfpath, FileRole::Drawing);
        drawingStamp = StampOf(settings.dxfpath);
        // The first block must hold the binary sentinel.
        size_t blockSize = settings.readBlockSize == 0
                               ? LineReader::kDefaultBlockSize
                               : std::max(settings.readBlockSize, kBinaryDxfSentinel.size());
        // A drawing smaller than a block gets a block one byte longer than
        // itself: its first read meets the end, so no thread reads ahead,
        // and its buffers take no more memory than it needs.
        if (drawingStamp && drawingStamp->size < blockSize)
            blockSize =
                std::max(static_cast<size_t>(drawingStamp->size) + 1, kBinaryDxfSentinel.size());
        LineReader reader(dxf.get(), settings.dxfpath, blockSize, settings.readAhead);
        reader.readGroupCodesInPairs();
        const std::vector<std::string> keys = StandardKeys(config);
        reader.setKeys(
            std::span<const std::string>(keys).first(static_cast<size_t>(config.columnCount)));
        RefuseBinaryDrawing(reader, settings.dxfpath);

        // The first block was read ahead to tell the format: report it too,
        // so that a run stopped by then leaves the old table as it was.
        const std::uint64_t totalBytes = drawingStamp ? drawingStamp->size : 0;
        if (observer && reader.bytesRead() > 0 &&
            !observer->progress(reader.bytesRead(), totalBytes))
            throw MakeError(kUserInterrupt);

        // With a table encoding, the descriptions, separator and decimal mark
        // are converted from velunt.ini's encoding once, here.
        std::optional<TableText> tableText;
        RunSettings converted;
        std::vector<std::string> convertedHeader;
        if (settings.tableEncoding != TableEncoding::Bytes) {
            tableText.emplace(settings.tableEncoding, reader.peek(LineReader::kDefaultBlockSize));
            converted = settings;
            converted.separator = tableText->fromIni(settings.separator, config.encoding);
            converted.decimalMark = tableText->fromIni(settings.decimalMark, config.encoding);
            for (const std::string& text : config.table.texts)
                convertedHeader.push_back(tableText->fromIni(text, config.encoding));
        }
        const bool convert = tableText.has_value();

        if (settings.txtpath.empty())
            throw RuntimeError{kPathFileAccessError,
                               "Keine Ausgabedatei: txtpath= fehlt in velunt.ini und keine "
                               "gewählt (TXT wählen bzw. --txt)."};
        output.emplace(settings.txtpath);
        if (convert) output->append(tableText->preamble());
        Scan scan(convert ? converted : settings, config, reader, *output, observer, totalBytes,
                  convert ? &*tableText : nullptr, convert ? convertedHeader : config.table.texts,
                  keys);
        result.objectCount = scan.run();
        if (DrawingChanged(settings.dxfpath, drawingStamp)) throw DrawingChangedError();
        scan.results(result);
        output->close();
        result.succeeded = true;
    } catch (const RuntimeError& error) {
        // A drawing cut while it was read ends early, often inside an object.
        const bool cut =
            error.number == kInputPastEndOfFile && DrawingChanged(settings.dxfpath, drawingStamp);
        report.show(flushBeforeReport(output, cut ? DrawingChangedError() : error));
    } catch (const std::bad_alloc&) {
        report.show(flushBeforeReport(output, MakeError(kOutOfMemory)));
    }
    return result;
}

}  // namespace velunt
