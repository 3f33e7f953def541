#pragma once
// Trimming of the texts read from velunt.ini and the drawing: only the space
// (code 32) counts, so tabs and other blanks stay part of a value.
#include <string_view>

namespace velunt {

// `text` without spaces at both ends.
inline std::string_view TrimSpaces(std::string_view text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && text[first] == ' ') ++first;
    while (last > first && text[last - 1] == ' ') --last;
    return text.substr(first, last - first);
}

}  // namespace velunt
