#pragma once
// Assembles the output lines: the fields in output-column order, separated by
// the separator, with the optional counter column.
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/copy_bytes.h"
#include "base/trim_spaces.h"
#include "config/configuration.h"
#include "lines/line_reader.h"

namespace velunt {

// For each column number c = 1 .. columnCount, the first table entry with
// that column number, in output order. Entries below 1, above columnCount or
// repeating an earlier entry's number never appear; a column no entry has
// adds no field.
std::vector<int> FieldOrder(const ColumnTable& table, int columnCount);

// One output line as the fields it is made of, so that long fields go to
// the file without being copied into a line first. The views point into the
// texts, the separator and `counterDigits`.
struct RecordLine {
    // The fields, trimmed, the counter column last; the separator goes
    // between each two. Capacity reused from line to line.
    std::vector<std::string_view> fields;
    std::string_view separator;

    size_t size() const;  // of the whole line, separators included
    std::string joined() const;

    // The decimal digits of `counter` (a whole number above 0), kept in
    // `counterDigits`: one more than last time only moves the digits on.
    std::string_view counterText(double counter);

    char counterDigits[24];  // right-aligned
    size_t counterSize = 0;
    double counterValue = 0;  // what the digits show, once counterSize > 0
};

// Builds one line from `texts`, each field trimmed of spaces. With
// `addCounter`, the counter column follows after a separator (also when
// there is no field): "Index" at an object boundary
// while `objectCounter` is 0 (the header), the counter's decimal digits when
// it is above 0, nothing otherwise.
void BuildRecordLine(std::span<const std::string_view> texts, const std::vector<int>& fieldOrder,
                     std::string_view separator, bool addCounter, bool atObjectStart,
                     double objectCounter, RecordLine& line);

// The counter column of that line, if it has one: "Index" or the digits
// (kept in `line`).
inline bool CounterColumn(bool addCounter, bool atObjectStart, double objectCounter,
                          RecordLine& line, std::string_view& counter) {
    if (addCounter && atObjectStart && objectCounter == 0) {
        counter = "Index";
        return true;
    }
    if (addCounter && objectCounter > 0) {
        counter = line.counterText(objectCounter);
        return true;
    }
    return false;
}

// The room WriteRecordLine() needs at most for `fields` fields whose texts
// (all of them, untrimmed) hold `textBytes` bytes.
inline size_t RecordLineRoom(size_t textBytes, size_t fields, std::string_view separator,
                             std::string_view counter) {
    return textBytes + separator.size() * (fields + 1) + counter.size() + 2;
}

// The same line, and CR LF, written in one pass to `out`, which has
// RecordLineRoom() bytes; returns the end of what it wrote.
char* WriteRecordLine(std::span<const std::string_view> texts, const std::vector<int>& fieldOrder,
                      std::string_view separator, bool withCounter, std::string_view counter,
                      char* out);

// Bytes that may be read past the end of each short text handed to
// WritePaddedRecordLine(), and that it may write past the end of its line:
// the slack the line reader leaves after every line.
inline constexpr size_t kTextPadding = kReadableSlack;

// WriteRecordLine() for texts that, when of up to kTextPadding bytes, are
// followed by kTextPadding readable bytes (an empty text too: its data()
// must point to such bytes), into `out` with RecordLineRoom() +
// kTextPadding bytes: each short field is copied as 16 bytes, with no
// branch on its length.
inline char* WritePaddedRecordLine(std::span<const std::string_view> texts,
                                   const std::vector<int>& fieldOrder, std::string_view separator,
                                   bool withCounter, std::string_view counter, char* out) {
    if (separator.size() != 1)
        return WriteRecordLine(texts, fieldOrder, separator, withCounter, counter, out);
    const char mark = separator[0];
    // Each field and a separator after it; the last separator stays only
    // before a counter (which also follows one when there is no field).
    for (const int entry : fieldOrder) {
        std::string_view text = texts[static_cast<size_t>(entry)];
        if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) [[unlikely]] {
            // What is left of a trimmed text may have no padding behind it.
            text = TrimSpaces(text);
            CopyBytes(out, text.data(), text.size());
        } else if (text.size() <= kTextPadding) {
            std::memcpy(out, text.data(), kTextPadding);
        } else {
            std::memcpy(out, text.data(), text.size());
        }
        out += text.size();
        *out++ = mark;
    }
    if (withCounter) {
        if (fieldOrder.empty()) *out++ = mark;
        CopyBytes(out, counter.data(), counter.size());
        out += counter.size();
    } else if (!fieldOrder.empty()) {
        --out;
    }
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

}  // namespace velunt
