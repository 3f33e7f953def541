#pragma once
// Assembles the output lines: the fields in output-column order, separated by
// the separator, with the optional counter column.
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "base/copy_bytes.h"
#include "base/find_byte.h"
#include "base/trim_spaces.h"
#include "config/configuration.h"
#include "lines/line_reader.h"

namespace velunt {

// For each column number c = 1 .. columnCount, the first table entry with
// that column number, in output order. Entries below 1, above columnCount or
// repeating an earlier entry's number never appear; a column no entry has
// adds no field.
std::vector<int> FieldOrder(const ColumnTable& table, int columnCount);

// The fields written that hold the separator while quoting is off: each one
// moves the later fields of its line one column on.
struct SeparatorFields {
    double count = 0;
    double firstRow = 0;  // the first one's line: its counter value, 0 for the header
    int firstColumn = 0;  // its 1-based place in that line

    void note(double row, int column) {
        if (count++ == 0) {
            firstRow = row;
            firstColumn = column;
        }
    }
};

// How the writers below write a field (a header description or a value):
// with `quote`, one that holds the separator or a '"' goes in double quotes
// with each '"' doubled, as spreadsheet programs read delimited text, and
// every other field as it is; without, every field as it is, and those that
// hold the separator are counted. Lives for one run.
struct FieldQuoting {
    explicit FieldQuoting(bool quoteFields = false) : quote(quoteFields) {}

    bool quote;
    SeparatorFields separatorFields;  // counted while `quote` is off
};

// Whether `text` holds `separator` (never, when it is empty).
inline bool HoldsSeparator(std::string_view text, std::string_view separator) {
    if (separator.size() == 1) return ContainsByte(text, separator[0]);
    return !separator.empty() && text.find(separator) != std::string_view::npos;
}

// Whether `text`, the field at place `column` of the line `row` (see
// SeparatorFields), goes in quotes; with quoting off it is counted when it
// holds the separator.
inline bool QuoteOrCount(std::string_view text, std::string_view separator, FieldQuoting& quoting,
                         double row, int column) {
    if (quoting.quote) return HoldsSeparator(text, separator) || ContainsByte(text, '"');
    if (HoldsSeparator(text, separator)) quoting.separatorFields.note(row, column);
    return false;
}

// Writes that field to `out`, quoted where QuoteOrCount() says so; returns
// the end of what it wrote, at most 2 * text.size() + 2 bytes.
char* WriteField(std::string_view text, std::string_view separator, FieldQuoting& quoting,
                 double row, int column, char* out);

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
    // The quoted fields, where quoting changed them; per place in the line.
    std::vector<std::string> quotedFields;
};

// Builds one line from `texts`, each field trimmed of spaces and then
// quoted or counted as `quoting` says (the line's row is `objectCounter`).
// With `addCounter`, the counter column follows after a separator (also when
// there is no field): "Index" at an object boundary
// while `objectCounter` is 0 (the header), the counter's decimal digits when
// it is above 0, nothing otherwise.
void BuildRecordLine(std::span<const std::string_view> texts, const std::vector<int>& fieldOrder,
                     std::string_view separator, bool addCounter, bool atObjectStart,
                     double objectCounter, FieldQuoting& quoting, RecordLine& line);

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
// (all of them, untrimmed) hold `textBytes` bytes; quoting may double each
// text and adds two quotes.
inline size_t RecordLineRoom(size_t textBytes, size_t fields, std::string_view separator,
                             std::string_view counter, const FieldQuoting& quoting) {
    const size_t quotes = quoting.quote ? textBytes + 2 * fields : 0;
    return textBytes + quotes + separator.size() * (fields + 1) + counter.size() + 2;
}

// The same line, and CR LF, written in one pass to `out`, which has
// RecordLineRoom() bytes; returns the end of what it wrote. `row` is the
// line's counter value, 0 for the header.
char* WriteRecordLine(std::span<const std::string_view> texts, const std::vector<int>& fieldOrder,
                      std::string_view separator, bool withCounter, std::string_view counter,
                      FieldQuoting& quoting, double row, char* out);

// Bytes that may be read past the end of each short text handed to
// WritePaddedRecordLine(), and that it may write past the end of its line:
// the slack the line reader leaves after every line.
inline constexpr size_t kTextPadding = kReadableSlack;

// Finds the fields that hold `mark`. A short field, of at most
// kTextPadding bytes followed by padding, is copied and looked at whole
// with one 16-byte load. Each test gives a number that is not 0 for a field
// that holds `mark`.
class MarkInFields {
public:
    explicit MarkInFields(char mark) : m_mark(mark) {
#if defined(__SSE2__) || defined(_M_X64)
        m_marks = _mm_set1_epi8(mark);
#endif
    }

    // Copies the short field at `p` as 16 bytes to `out`, and tests it.
    unsigned copyShort(char* out, const char* p, size_t size) const {
#if defined(__SSE2__) || defined(_M_X64)
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
        const unsigned hits =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, m_marks)));
        return hits & kFirstBytes[size];
#else
        std::memcpy(out, p, kTextPadding);
        return ContainsBytePadded(std::string_view(p, size), m_mark);
#endif
    }

    unsigned inLong(std::string_view text) const { return ContainsByte(text, m_mark); }

private:
    // Per size 0 .. 16, the bits of the bytes a field of that size has.
    static constexpr unsigned kFirstBytes[] = {0x0,   0x1,    0x3,    0x7,    0xF,   0x1F,
                                               0x3F,  0x7F,   0xFF,   0x1FF,  0x3FF, 0x7FF,
                                               0xFFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF};

    char m_mark;
#if defined(__SSE2__) || defined(_M_X64)
    __m128i m_marks;
#endif
};

// WriteRecordLine() for texts that, when of up to kTextPadding bytes, are
// followed by kTextPadding readable bytes (an empty text too: its data()
// must point to such bytes), into `out` with RecordLineRoom() +
// kTextPadding bytes: each short field is copied as 16 bytes, with no
// branch on its length. With quoting on, or a separator of other than one
// byte, it is WriteRecordLine().
inline char* WritePaddedRecordLine(std::span<const std::string_view> texts,
                                   const std::vector<int>& fieldOrder, std::string_view separator,
                                   bool withCounter, std::string_view counter,
                                   FieldQuoting& quoting, double row, char* out) {
    if (separator.size() != 1 || quoting.quote)
        return WriteRecordLine(texts, fieldOrder, separator, withCounter, counter, quoting, row,
                               out);
    const char mark = separator[0];
    const MarkInFields marks(mark);
    char* const start = out;
    unsigned found = 0;
    // Each field and a separator after it; the last separator stays only
    // before a counter (which also follows one when there is no field).
    for (const int entry : fieldOrder) {
        std::string_view text = texts[static_cast<size_t>(entry)];
        if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) [[unlikely]] {
            // What is left of a trimmed text may have no padding behind it.
            text = TrimSpaces(text);
            found |= marks.inLong(text);
            CopyBytes(out, text.data(), text.size());
        } else if (text.size() <= kTextPadding) {
            found |= marks.copyShort(out, text.data(), text.size());
        } else {
            found |= marks.inLong(text);
            std::memcpy(out, text.data(), text.size());
        }
        out += text.size();
        *out++ = mark;
    }
    // A line with a field that holds the separator is written again, over
    // it, the plain way, which counts such fields.
    if (found != 0) [[unlikely]]
        return WriteRecordLine(texts, fieldOrder, separator, withCounter, counter, quoting, row,
                               start);
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
