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

std::string_view TrimSpaces(std::string_view text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && text[first] == ' ') ++first;
    while (last > first && text[last - 1] == ' ') --last;
    return text.substr(first, last - first);
}

void BuildRecordLine(const std::vector<std::string>& texts, const std::vector<int>& fieldOrder,
                     std::string_view trennzeich, bool addCounter, bool atObjectStart,
                     double objectCounter, std::string& line) {
    line.clear();
    bool fieldWritten = false;
    for (const int entry : fieldOrder) {
        if (fieldWritten) line.append(trennzeich);
        fieldWritten = true;
        line.append(TrimSpaces(texts[entry]));
    }
    if (!addCounter) return;
    if (atObjectStart && objectCounter == 0) {
        line.append(trennzeich);
        line.append("Index");
    } else if (objectCounter > 0) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits,
                                       static_cast<std::uint64_t>(objectCounter))
                             .ptr;
        line.append(trennzeich);
        line.append(digits, end);
    }
}

}  // namespace velunt
