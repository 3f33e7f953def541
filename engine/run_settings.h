#pragma once
// What a run takes from the window (or the command line) when it starts:
// the files, the options and the marks it writes with.
#include <cstddef>
#include <filesystem>
#include <string>

#include "base/table_encoding.h"

namespace velunt {

struct RunSettings {
    std::filesystem::path dxfpath;     // the drawing (caption of Label2)
    std::filesystem::path txtpath;     // the output table (caption of Label4)
    std::string rwShift = "4400000";   // Text3, bytes as typed
    std::string hwShift = "5700000";   // Text4, bytes as typed
    std::string decimalMark;           // Text1, bytes as typed
    std::string separator;             // Text2, bytes as typed
    bool replacePercentC = true;       // Check1
    bool replaceDecimalPoint = false;  // Check2
    bool shiftCoordinates = false;     // Check3
    bool addCounter = true;            // Check4
    // Only objects inside the section of this name count (abschnitt=,
    // --section); empty: every object, wherever it stands.
    std::string section;
    // The table's encoding (kodierung=, --encoding); Bytes: as read.
    TableEncoding tableEncoding = TableEncoding::Bytes;
    // Fields holding the separator or a '"' go in double quotes
    // (anfuehrung=, --quote); off: every field as it is.
    bool quoteFields = false;
    // For tests and fuzzing only: the block size the drawing is read in (0:
    // the reader's default) and whether a second thread reads ahead.
    std::size_t readBlockSize = 0;
    bool readAhead = true;
};

}  // namespace velunt
