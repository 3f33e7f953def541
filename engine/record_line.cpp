#include "engine/record_line.h"

#include <charconv>
#include <cstdint>

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

void BuildRecordLine(const std::vector<std::string>& texts, const std::vector<int>& fieldOrder,
                     std::string_view separator, bool addCounter, bool atObjectStart,
                     double objectCounter, RecordLine& line) {
    auto& pieces = line.pieces;
    pieces.clear();
    bool fieldWritten = false;
    for (const int entry : fieldOrder) {
        if (fieldWritten) pieces.push_back(separator);
        fieldWritten = true;
        pieces.push_back(TrimSpaces(texts[entry]));
    }
    if (!addCounter) return;
    if (atObjectStart && objectCounter == 0) {
        pieces.push_back(separator);
        pieces.push_back("Index");
    } else if (objectCounter > 0) {
        char* digits = line.counterDigits;
        const auto end = std::to_chars(digits, digits + sizeof line.counterDigits,
                                       static_cast<std::uint64_t>(objectCounter))
                             .ptr;
        pieces.push_back(separator);
        pieces.push_back(std::string_view(digits, static_cast<size_t>(end - digits)));
    }
}

}  // namespace velunt
