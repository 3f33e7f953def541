#pragma once
// What velunt.ini holds once loaded: the column table and the five settings.
// Texts are the file's bytes, unchanged.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/text_encoding.h"

namespace velunt {

// Three parallel arrays with the slots 0 .. columnCount; slot columnCount is
// a spare that normally stays empty.
struct ColumnTable {
    std::vector<std::string> keys;      // the exact DXF line that selects the column
    std::vector<std::int16_t> columns;  // the 1-based output column
    std::vector<std::string> texts;     // the column descriptions (header line)

    void resize(std::size_t slots) {
        keys.assign(slots, {});
        columns.assign(slots, 0);
        texts.assign(slots, {});
    }
};

struct Settings {
    std::string dxfpath;
    std::string txtpath;
    std::string masterkey;
    std::string dezzeich;    // decimal mark
    std::string trennzeich;  // field separator
};

struct Configuration {
    ColumnTable table;
    std::int16_t columnCount = 0;
    Settings settings;
    // How the file's bytes read as text: UTF-8 when the whole file is valid
    // UTF-8, else Windows-1252.
    TextEncoding encoding = TextEncoding::Utf8;
    // The file that was loaded, absolute; a run never writes its table over it.
    std::filesystem::path iniPath;
};

}  // namespace velunt
