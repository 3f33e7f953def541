#include "engine/scan.h"

#include <algorithm>

#include "base/copy_bytes.h"
#include "lines/block_cursor.h"

namespace velunt {
namespace {

constexpr size_t kKeptValueCapacity = size_t{1} << 20;

// An empty value, with the bytes a line may read past it.
constexpr char kNoTextBytes[kTextPadding] = {};
constexpr std::string_view kNoText(kNoTextBytes, 0);

}  // namespace

Scan::Scan(const RunSettings& settings, const Configuration& config, LineReader& reader,
           OutputFile& output, RunObserver* observer, std::uint64_t totalBytes,
           TableText* tableText, const std::vector<std::string>& header,
           const std::vector<std::string>& keys)
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
    // Only captured values are kept whole in any case; every other line is
    // compared with "  0", the master key, the keys or the section's lines,
    // or counted as a type.
    size_t longest = std::max(std::string_view("  0").size(), TypeCounter::kMaxTypeLength);
    longest = std::max(longest, m_masterkey.text().size());
    for (const LineMatcher& key : m_keys) longest = std::max(longest, key.text().size());
    if (m_section) longest = std::max(longest, m_section->longestLineCompared());
    m_reader.setLineLimit(longest);
    m_inBlockWalk = !m_section && !m_tableText && config.columnCount > 0 &&
                    m_keys.front().text() != m_masterkey.text();
}

double Scan::run() {
    const int columnCount = m_config.columnCount;
    // The state lives in local variables, which may stay in registers (this
    // object's members are reloaded after every store through a char
    // pointer, a value copied, which may alias them).
    bool inObject = false;
    int keyIndex = 0;
    for (;;) {
        // Within the block, on a cursor whose place stays in registers too:
        // each step (a skip, then an object start and its type line, or the
        // awaited key and its value) is taken whole or left to the reader.
        BlockCursor cursor;
        if (m_inBlockWalk && m_reader.lendCursor(cursor)) {
            for (;;) {
                // After the last key no key is awaited until the next object.
                const std::uint32_t awaited =
                    m_reader.keyLine(static_cast<size_t>(keyIndex == columnCount ? 0 : keyIndex));
                bool atObjectStart = true;
                std::string_view line;  // the type line, or the awaited key's value
                if (!(inObject ? cursor.skipToKeyOrObjectStart(awaited, atObjectStart)
                               : cursor.skipToObjectStart()) ||
                    !cursor.takeLineAfterStop(line))
                    break;
                if (atObjectStart) {
                    if (m_objectCounter == 0) m_types.add(line);
                    inObject = m_masterkey.matches(line);
                    if (inObject) objectBoundary();
                    keyIndex = 0;
                } else {
                    captureLine(line, keyIndex);
                    if (++keyIndex == columnCount) inObject = false;
                }
            }
            m_reader.takeBackCursor(cursor);
        }
        // The same step on the reader, for what the cursor cannot take.
        // Outside an object of the master type only object starts matter;
        // inside one, object starts and key lines.
        if (!inObject) {
            m_reader.skipToObjectStart();
        } else {
            m_reader.skipToKeyOrObjectStart(static_cast<size_t>(keyIndex));
        }
        // Reading a line succeeds exactly when the file is not at its end.
        std::string_view line;
        if (!m_reader.next(line)) break;
        if (m_objectStart.matches(line)) {
            readRequired(line);
            // Only a run without objects needs the types (for its warning);
            // the first object ends the counting.
            if (m_objectCounter == 0) m_types.add(line);
            inObject =
                (!m_section || m_section->inside(line, m_reader)) && m_masterkey.matches(line);
            if (inObject) {
                objectBoundary();
                keyIndex = 0;
            }
        }
        // With an empty table there is no key to await.
        if (inObject && columnCount > 0 && m_keys[keyIndex].matches(line)) {
            if (!m_reader.nextWhole(line)) throwCutDrawing();
            capture(line, keyIndex);
            if (++keyIndex == columnCount) inObject = false;
        }
    }
    writeLine(false);
    return m_objectCounter;
}

void Scan::results(RunResult& result) const {
    if (m_objectCounter == 0) result.typeCounts = m_types.counts();
    result.columnFilled.assign(m_filled.begin(), m_filled.end());
    result.separatorFields = m_quoting.separatorFields;
}

inline void Scan::readRequired(std::string_view& line) {
    if (!m_reader.next(line)) throwCutDrawing();
}

void Scan::throwCutDrawing() const {
    throw RuntimeError{kInputPastEndOfFile,
                       StandardDescription(kInputPastEndOfFile) + ": " +
                           NamedFile(FileRole::Drawing, m_settings.dxfpath) +
                           " endet mitten in einem Objekt (abgeschnitten?); die "
                           "Zeilen davor stehen in der Tabelle."};
}

inline void Scan::capture(std::string_view value, int index) {
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

inline void Scan::captureLine(std::string_view value, int index) {
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
        size = size <= kShortTransformRoom ? m_transform.writeShort(value, shift, slot.data()) : 0;
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

inline void Scan::noteLargeSlot(const std::string& slot) {
    if (slot.capacity() > kKeptValueCapacity) m_largeSlot = true;
}

inline size_t Scan::padSlot(std::string& slot) {
    const size_t size = slot.size();
    if (size <= kTextPadding) slot.resize(size + kTextPadding);
    return size;
}

void Scan::captureConverted(std::string_view value, std::string& slot, Shift shift) {
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

inline void Scan::objectBoundary() {
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
}

void Scan::writeLine(bool atObjectStart) {
    std::string_view counter;
    const bool withCounter =
        CounterColumn(m_settings.addCounter, atObjectStart, m_objectCounter, m_line, counter);
    // Written in place when the line fits the buffer, which it nearly
    // always does.
    const size_t bound =
        RecordLineRoom(m_textBytes, m_fieldOrder.size(), m_settings.separator, counter, m_quoting);
    if (char* out = m_output.lineRoom(bound + kTextPadding)) {
        // The values are padded in their slots; the header's texts are not.
        m_output.lineWritten(
            m_current == &m_views
                ? WritePaddedRecordLine(m_views, m_fieldOrder, m_settings.separator, withCounter,
                                        counter, m_quoting, m_objectCounter, out)
                : WriteRecordLine(*m_current, m_fieldOrder, m_settings.separator, withCounter,
                                  counter, m_quoting, m_objectCounter, out));
        return;
    }
    BuildRecordLine(*m_current, m_fieldOrder, m_settings.separator, m_settings.addCounter,
                    atObjectStart, m_objectCounter, m_quoting, m_line);
    m_output.appendLine(m_line.fields, m_line.separator);
}

void Scan::blockRead(std::uint64_t bytesRead) {
    m_output.flushIfDue();
    if (m_observer && !m_observer->progress(bytesRead, m_totalBytes))
        throw MakeError(kUserInterrupt);
}

}  // namespace velunt
