#include "engine/extraction_run.h"

#include <algorithm>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/always_inline.h"
#include "base/copy_bytes.h"
#include "base/file_io.h"
#include "base/read_number.h"
#include "base/trim_spaces.h"
#include "engine/binary_drawing.h"
#include "engine/drawing_stamp.h"
#include "engine/output_file.h"
#include "engine/record_line.h"
#include "engine/section_filter.h"
#include "engine/table_text.h"
#include "engine/value_transform.h"
#include "lines/group_code.h"
#include "lines/line_matcher.h"
#include "lines/line_reader.h"

namespace velunt {
namespace {

constexpr size_t kKeptValueCapacity = size_t{1} << 20;

// An empty value, with the bytes a line may read past it.
constexpr char kNoTextBytes[kTextPadding] = {};
constexpr std::string_view kNoText(kNoTextBytes, 0);

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    // An empty path names no file (both resolve to ""); opening it fails on
    // its own with the file layer's error.
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
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
    if (sameFile(settings.txtpath, settings.dxfpath))
        throw RuntimeError{kPathFileAccessError,
                           accessError + NamedFile(FileRole::Output, settings.txtpath) +
                               " ist die Zeichnung selbst; sie würde überschrieben. Einen "
                               "anderen Namen wählen."};
    if (!config.iniPath.empty() && sameFile(settings.txtpath, config.iniPath))
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

class Scan : private BlockListener {
public:
    Scan(const RunSettings& settings, const Configuration& config, LineReader& reader,
         OutputFile& output, RunObserver* observer, std::uint64_t totalBytes, TableText* tableText,
         const std::vector<std::string>& header, const std::vector<std::string>& keys)
        : m_settings(settings),
          m_config(config),
          m_reader(reader),
          m_output(output),
          m_observer(observer),
          m_totalBytes(totalBytes),
          m_fieldOrder(FieldOrder(config.table, config.columnCount)),
          m_masterkey(config.settings.masterkey),
          m_values(static_cast<size_t>(config.columnCount) + 1),
          m_views(m_values.size(), kNoText),
          m_headerViews(header.begin(), header.end()),
          m_filled(static_cast<size_t>(config.columnCount), 0),
          m_tableText(tableText),
          m_transform(settings),
          m_current(&m_headerViews) {
        for (const std::string_view text : m_headerViews) m_textBytes += text.size();
        if (!settings.section.empty()) m_section.emplace(settings.section);
        for (const std::string& key : keys) {
            m_keys.emplace_back(key);
            m_shifts.push_back(m_transform.shiftFor(key));
        }
        m_reader.setBlockListener(this);
        // Only captured values are kept; every other line is only compared
        // with "  0", the master key and the keys.
        size_t longest = std::string_view("  0").size();
        longest = std::max(longest, m_masterkey.text().size());
        for (const LineMatcher& key : m_keys) longest = std::max(longest, key.text().size());
        m_reader.setLineLimit(longest);
        m_inBlockWalk = !m_section && !m_tableText && config.columnCount > 0 &&
                        m_keys.front().text() != m_masterkey.text();
    }
    ~Scan() override { m_reader.setBlockListener(nullptr); }

    double run() {
        const int columnCount = m_config.columnCount;
        const LineMatcher objectStart("  0");
        std::string_view line;
        // Reading a line succeeds exactly when the file is not at its end.
        for (;;) {
            if (m_inBlockWalk && m_reader.canLendCursor()) walkBlock();
            // Outside an object of the master type only object starts matter;
            // inside one, object starts and key lines.
            if (!m_inObject) {
                m_reader.skipToObjectStart();
            } else {
                m_reader.skipToKeyOrObjectStart(static_cast<size_t>(m_nextKeyIndex));
            }
            if (!m_reader.next(line)) break;
            if (objectStart.matches(line)) {
                readRequired(line);
                // Only a run without objects needs the types (for its
                // warning); the first object ends the counting.
                if (m_objectCounter == 0) m_types.add(line);
                if (m_section) [[unlikely]] {
                    if (m_section->inside(line, m_reader) && m_masterkey.matches(line)) {
                        objectBoundary();
                    } else {
                        m_inObject = false;
                    }
                } else if (m_masterkey.matches(line)) {
                    objectBoundary();
                } else {
                    m_inObject = false;
                }
            }
            // With an empty table there is no key to await.
            if (m_inObject && columnCount > 0 && m_keys[m_nextKeyIndex].matches(line)) {
                if (!m_reader.nextWhole(line)) throwCutDrawing();
                capture(line, m_nextKeyIndex);
                if (++m_nextKeyIndex == columnCount) m_inObject = false;
            }
        }
        writeLine(false);
        return m_objectCounter;
    }

    // Filled in by run(), for the warnings after a run that found nothing.
    void results(RunResult& result) const {
        if (m_objectCounter == 0) result.typeCounts = m_types.counts();
        result.columnFilled.assign(m_filled.begin(), m_filled.end());
        result.separatorFields = m_quoting.separatorFields;
    }

private:
    // The loop of run() within the current block, on a cursor whose place
    // stays in registers; every step (a skip, then an object start and its
    // type line, or the awaited key and its value) is taken whole or left to
    // run(). Only for runs where each stop of a skip is "  0" or the awaited
    // key, and the type line can be no key.
    VELUNT_NEVER_INLINE void walkBlock() {
        BlockCursor cursor;
        if (!m_reader.lendCursor(cursor)) return;
        const int columnCount = m_config.columnCount;
        bool inObject = m_inObject;
        int keyIndex = m_nextKeyIndex;
        // After the last key no key is awaited until the next object.
        const auto awaitedKey = [&] {
            return m_reader.keyLine(static_cast<size_t>(keyIndex == columnCount ? 0 : keyIndex));
        };
        std::uint32_t awaited = awaitedKey();
        for (;;) {
            bool atObjectStart = true;
            if (!(inObject ? cursor.skipToKeyOrObjectStart(awaited, atObjectStart)
                           : cursor.skipToObjectStart()))
                break;
            std::string_view line;  // the type line, or the awaited key's value
            if (!cursor.takeLineAfterStop(line)) break;
            if (atObjectStart) {
                if (m_objectCounter == 0) m_types.add(line);
                inObject = m_masterkey.matches(line);
                if (inObject) objectBoundary();
                keyIndex = 0;
            } else {
                captureLine(line, keyIndex);
                if (++keyIndex == columnCount) inObject = false;
            }
            awaited = awaitedKey();
        }
        m_reader.takeBackCursor(cursor);
        m_inObject = inObject;
        m_nextKeyIndex = keyIndex;
    }

    void readRequired(std::string_view& line) {
        if (!m_reader.next(line)) throwCutDrawing();
    }

    [[noreturn]] void throwCutDrawing() const {
        throw RuntimeError{kInputPastEndOfFile,
                           StandardDescription(kInputPastEndOfFile) + ": " +
                               NamedFile(FileRole::Drawing, m_settings.dxfpath) +
                               " endet mitten in einem Objekt (abgeschnitten?); die "
                               "Zeilen davor stehen in der Tabelle."};
    }

    void capture(std::string_view value, int index) {
        if (!m_tableText && !m_reader.lastLineSpilled()) [[likely]] {
            captureLine(value, index);
            return;
        }
        m_filled[index] = 1;
        std::string& slot = m_values[index];
        const Shift shift = m_shifts[index];
        if (m_tableText) {
            captureConverted(value, slot, shift);
        } else {
            // A value that spans blocks is moved, not copied.
            m_reader.moveLastLineInto(slot);
            m_transform.applyInPlace(slot, shift);
        }
        const size_t size = padSlot(slot);
        m_views[index] = std::string_view(slot.data(), size);
        m_textBytes += size;
        noteLargeSlot(slot);
    }

    // A value line that lies in the block, with the reader's readable slack
    // after it. The usual cases write into the room the slot's earlier
    // values left (its text beyond the view is stale): the value as read, or
    // a number changed on its digits.
    void captureLine(std::string_view value, int index) {
        m_filled[index] = 1;
        std::string& slot = m_values[index];
        const Shift shift = m_shifts[index];
        size_t size = value.size();
        if (!m_transform.changesPadded(value, shift)) {
            if (size + kTextPadding > slot.size()) [[unlikely]] {
                slot.resize(size + kTextPadding);
                noteLargeSlot(slot);
            }
            CopyBytes(slot.data(), value.data(), size);
        } else {
            constexpr size_t kRoom = kShortTransformRoom + kTextPadding;
            if (slot.size() < kRoom) slot.resize(kRoom);
            size =
                size <= kShortTransformRoom ? m_transform.writeShort(value, shift, slot.data()) : 0;
            if (size == 0) {
                slot.assign(value);
                m_transform.applyInPlace(slot, shift);
                size = padSlot(slot);
                noteLargeSlot(slot);
            }
        }
        m_views[index] = std::string_view(slot.data(), size);
        m_textBytes += size;
    }

    // A very long value's room is given back at the next object.
    void noteLargeSlot(const std::string& slot) {
        if (slot.capacity() > kKeptValueCapacity) m_largeSlot = true;
    }

    // Gives a short text in `slot` the bytes a line may read past it (a long
    // one, maybe moved in whole, is not copied for it); returns the text's
    // size.
    static size_t padSlot(std::string& slot) {
        const size_t size = slot.size();
        if (size <= kTextPadding) slot.resize(size + kTextPadding);
        return size;
    }

    // The same in the table's encoding; values that are the same in every
    // encoding skip the conversion.
    void captureConverted(std::string_view value, std::string& slot, Shift shift) {
        if (m_reader.lastLineSpilled()) {
            m_reader.moveLastLineInto(slot);
            if (TableText::NeedsConverting(slot)) {
                m_tableText->convertValue(slot, m_converted);
                slot.swap(m_converted);
                if (m_converted.capacity() > kKeptValueCapacity) std::string().swap(m_converted);
            }
            m_transform.applyInPlace(slot, shift);
            return;
        }
        if (TableText::NeedsConverting(value)) {
            m_tableText->convertValue(value, m_converted);
            value = m_converted;
        }
        m_transform.apply(value, shift, slot);
    }

    void objectBoundary() {
        m_inObject = true;
        writeLine(true);
        m_objectCounter += 1;
        m_current = &m_views;
        m_textBytes = 0;
        std::fill(m_views.begin(), m_views.end(), kNoText);
        if (m_largeSlot) [[unlikely]] {
            for (std::string& value : m_values)
                if (value.capacity() > kKeptValueCapacity) std::string().swap(value);
            m_largeSlot = false;
        }
        m_nextKeyIndex = 0;
    }

    // Before the first object the texts are still the column descriptions,
    // so the line built then is the header.
    void writeLine(bool atObjectStart) {
        std::string_view counter;
        const bool withCounter =
            CounterColumn(m_settings.addCounter, atObjectStart, m_objectCounter, m_line, counter);
        // Written in place when the line fits the buffer, which it nearly
        // always does.
        const size_t bound = RecordLineRoom(m_textBytes, m_fieldOrder.size(), m_settings.separator,
                                            counter, m_quoting);
        if (char* out = m_output.lineRoom(bound + kTextPadding)) {
            // The values are padded in their slots; the header's texts are not.
            m_output.lineWritten(
                m_current == &m_views
                    ? WritePaddedRecordLine(m_views, m_fieldOrder, m_settings.separator,
                                            withCounter, counter, m_quoting, m_objectCounter, out)
                    : WriteRecordLine(*m_current, m_fieldOrder, m_settings.separator, withCounter,
                                      counter, m_quoting, m_objectCounter, out));
            return;
        }
        BuildRecordLine(*m_current, m_fieldOrder, m_settings.separator, m_settings.addCounter,
                        atObjectStart, m_objectCounter, m_quoting, m_line);
        m_output.appendLine(m_line.fields, m_line.separator);
    }

    void blockRead(std::uint64_t bytesRead) override {
        m_output.flushIfDue();
        if (m_observer && !m_observer->progress(bytesRead, m_totalBytes))
            throw MakeError(kUserInterrupt);
    }

    const RunSettings& m_settings;
    const Configuration& m_config;
    LineReader& m_reader;
    OutputFile& m_output;
    RunObserver* m_observer;
    std::uint64_t m_totalBytes;
    std::vector<int> m_fieldOrder;
    LineMatcher m_masterkey;
    std::vector<LineMatcher> m_keys;
    std::vector<std::string> m_values;            // room for the current object's values
    std::vector<std::string_view> m_views;        // the values themselves (in m_values)
    std::vector<std::string_view> m_headerViews;  // the column descriptions
    std::vector<char> m_filled;                   // per slot: captured in some object
    TypeCounter m_types;
    TableText* m_tableText;  // null: values pass as read
    std::string m_converted;
    ValueTransform m_transform;
    std::vector<Shift> m_shifts;  // per key
    std::optional<SectionFilter> m_section;
    const std::vector<std::string_view>* m_current;  // the header, then m_views
    size_t m_textBytes = 0;                          // in all texts of *m_current
    RecordLine m_line;
    FieldQuoting m_quoting{m_settings.quoteFields};
    bool m_inObject = false;
    bool m_inBlockWalk = false;  // walkBlock() may take steps
    bool m_largeSlot = false;    // a slot of m_values holds a very long value's room
    int m_nextKeyIndex = 0;
    double m_objectCounter = 0;
};

std::uint64_t fileSize(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
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
        const size_t blockSize = settings.readBlockSize == 0
                                     ? LineReader::kDefaultBlockSize
                                     : std::max(settings.readBlockSize, kBinaryDxfSentinel.size());
        LineReader reader(dxf.get(), settings.dxfpath, blockSize, settings.readAhead);
        reader.readGroupCodesInPairs();
        const std::vector<std::string> keys = StandardKeys(config);
        reader.setKeys(
            std::span<const std::string>(keys).first(static_cast<size_t>(config.columnCount)));
        RefuseBinaryDrawing(reader, settings.dxfpath);

        // The first block was read ahead to tell the format: report it too,
        // so that a run stopped by then leaves the old table as it was.
        const std::uint64_t totalBytes = fileSize(settings.dxfpath);
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
