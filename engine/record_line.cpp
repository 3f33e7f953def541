#include "engine/record_line.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#include "base/copy_bytes.h"

namespace velunt {
namespace {

// `text` in double quotes, each '"' in it doubled.
char* writeQuoted(std::string_view text, char* out) {
    *out++ = '"';
    for (;;) {
        const size_t quote = text.find('"');
        const size_t plain = quote == std::string_view::npos ? text.size() : quote + 1;
        CopyBytes(out, text.data(), plain);
        out += plain;
        if (quote == std::string_view::npos) break;
        *out++ = '"';
        text.remove_prefix(plain);
    }
    *out++ = '"';
    return out;
}

}  // namespace

char* WriteField(std::string_view text, std::string_view separator, FieldQuoting& quoting,
                 double row, int column, char* out) {
    if (QuoteOrCount(text, separator, quoting, row, column)) return writeQuoted(text, out);
    CopyBytes(out, text.data(), text.size());
    return out + text.size();
}

std::vector<int> FieldOrder(const ColumnTable& table, int columnCount) {
    std::vector<int> firstEntry(static_cast<size_t>(columnCount) + 1, -1);
    for (int entry = 0; entry < columnCount; ++entry) {
        const int column = table.columns[entry];
        if (column >= 1 && column <= columnCount && firstEntry[column] < 0)
            firstEntry[column] = entry;
    }
    std::vector<int> order;
    for (int column = 1; column <= columnCount; ++column)
        if (firstEntry[column] >= 0) order.push_back(firstEntry[column]);
    return order;
}

size_t RecordLine::size() const {
    size_t total = fields.empty() ? 0 : separator.size() * (fields.size() - 1);
    for (const std::string_view field : fields) total += field.size();
    return total;
}

std::string RecordLine::joined() const {
    std::string text;
    text.reserve(size());
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) text.append(separator);
        text.append(fields[i]);
    }
    return text;
}

std::string_view RecordLine::counterText(double counter) {
    char* const end = counterDigits + sizeof counterDigits;
    if (counterSize > 0 && counter == counterValue + 1) {
        char* digit = end - 1;
        while (digit >= end - counterSize && *digit == '9') *digit-- = '0';
        if (digit >= end - counterSize) {
            ++*digit;
        } else {  // 99 becomes 100: one digit more
            *digit = '1';
            ++counterSize;
        }
    } else {
        char digits[sizeof counterDigits];
        const auto last =
            std::to_chars(digits, digits + sizeof digits, static_cast<std::uint64_t>(counter)).ptr;
        counterSize = static_cast<size_t>(last - digits);
        std::memcpy(end - counterSize, digits, counterSize);
    }
    counterValue = counter;
    return std::string_view(end - counterSize, counterSize);
}

void BuildRecordLine(std::span<const std::string_view> texts, const std::vector<int>& fieldOrder,
                     std::string_view separator, bool addCounter, bool atObjectStart,
                     double objectCounter, FieldQuoting& quoting, RecordLine& line) {
    std::string_view counter;
    const bool withCounter = CounterColumn(addCounter, atObjectStart, objectCounter, line, counter);
    line.separator = separator;
    // The counter column follows a separator even when no field comes
    // before it: an empty first field gives that.
    const bool emptyFirst = withCounter && fieldOrder.empty();
    line.fields.resize(fieldOrder.size() + (withCounter ? 1 : 0) + (emptyFirst ? 1 : 0));
    std::string_view* field = line.fields.data();
    if (emptyFirst) *field++ = {};
    line.quotedFields.resize(fieldOrder.size());
    for (size_t i = 0; i < fieldOrder.size(); ++i) {
        const std::string_view text = TrimSpaces(texts[static_cast<size_t>(fieldOrder[i])]);
        if (!QuoteOrCount(text, separator, quoting, objectCounter, static_cast<int>(i) + 1)) {
            *field++ = text;
            continue;
        }
        std::string& quoted = line.quotedFields[i];
        quoted.resize(2 * text.size() + 2);
        quoted.resize(static_cast<size_t>(writeQuoted(text, quoted.data()) - quoted.data()));
        *field++ = quoted;
    }
    if (withCounter) *field = counter;
}

char* WriteRecordLine(std::span<const std::string_view> texts, const std::vector<int>& fieldOrder,
                      std::string_view separator, bool withCounter, std::string_view counter,
                      FieldQuoting& quoting, double row, char* out) {
    // Separators are mostly one byte.
    const bool oneByte = separator.size() == 1;
    const auto putSeparator = [&out, separator, oneByte] {
        if (oneByte) {
            *out++ = separator[0];
        } else {
            CopyBytes(out, separator.data(), separator.size());
            out += separator.size();
        }
    };
    const auto put = [&out](std::string_view text) {
        CopyBytes(out, text.data(), text.size());
        out += text.size();
    };
    for (size_t i = 0; i < fieldOrder.size(); ++i) {
        if (i > 0) putSeparator();
        out = WriteField(TrimSpaces(texts[static_cast<size_t>(fieldOrder[i])]), separator, quoting,
                         row, static_cast<int>(i) + 1, out);
    }
    if (withCounter) {
        putSeparator();
        put(counter);
    }
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

}  // namespace velunt
