#include "engine/record_line.h"

#include <charconv>
#include <cstdint>
#include <cstring>

namespace velunt {

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
    size_t total = 0;
    for (const std::string_view piece : pieces) total += piece.size();
    return total;
}

std::string RecordLine::joined() const {
    std::string text;
    text.reserve(size());
    for (const std::string_view piece : pieces) text.append(piece);
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

void BuildRecordLine(const std::vector<std::string>& texts, const std::vector<int>& fieldOrder,
                     std::string_view separator, bool addCounter, bool atObjectStart,
                     double objectCounter, RecordLine& line) {
    std::string_view counter;
    bool withCounter = false;
    if (addCounter && atObjectStart && objectCounter == 0) {
        counter = "Index";
        withCounter = true;
    } else if (addCounter && objectCounter > 0) {
        counter = line.counterText(objectCounter);
        withCounter = true;
    }
    const size_t fields = fieldOrder.size();
    line.pieces.resize((fields > 0 ? 2 * fields - 1 : 0) + (withCounter ? 2 : 0));
    std::string_view* piece = line.pieces.data();
    for (size_t i = 0; i < fields; ++i) {
        if (i > 0) *piece++ = separator;
        *piece++ = TrimSpaces(texts[fieldOrder[i]]);
    }
    if (withCounter) {
        *piece++ = separator;
        *piece = counter;
    }
}

}  // namespace velunt
