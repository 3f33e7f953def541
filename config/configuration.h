#pragma once
// What velunt.ini holds once loaded: the column table, the settings and
// the column lines as written. Texts are the file's bytes, unchanged.
#include <cstdint>
#include <filesystem>
#include <optional>
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

// Each setting is empty when the file has no line for it; the last line for
// a setting wins.
struct Settings {
    std::string dxfpath;     // the drawing
    std::string txtpath;     // the output table
    std::string masterkey;   // the object type whose objects become lines
    std::string dezzeich;    // decimal mark
    std::string trennzeich;  // field separator
    std::string abschnitt;   // the section whose objects count; empty: all
    std::string kodierung;   // the table's encoding name; empty: bytes as read
    // Fields holding the separator or a '"' are written in double quotes
    // (anfuehrung=1).
    bool anfuehrung = false;
    // The window's boxes Check1 .. Check4 as velunt.ini sets them at the
    // start: nullopt when the line is missing or empty, so that the box
    // keeps its own start state.
    std::optional<bool> prozentc;      // Check1: "%%c" becomes "0"
    std::optional<bool> dezersetzen;   // Check2: the decimal point is replaced
    std::optional<bool> verschiebung;  // Check3: coordinates are shifted
    std::optional<bool> zaehler;       // Check4: a counter column
    std::string rw;                    // Text3, the shift of 10 and 11; empty: kStartRw
    std::string hw;                    // Text4, the shift of 20 and 21; empty: kStartHw
};

// What Check1 .. Check4, Text3 and Text4 hold before velunt.ini says
// otherwise.
inline constexpr bool kStartPercentC = true;
inline constexpr bool kStartReplaceDecimalPoint = false;
inline constexpr bool kStartShift = false;
inline constexpr bool kStartCounter = true;
inline constexpr const char* kStartRw = "4400000";
inline constexpr const char* kStartHw = "5700000";

// The shifts a run starts with: the settings, or the start values when they
// are empty or missing.
inline std::string InitialRw(const Settings& settings) {
    return settings.rw.empty() ? std::string(kStartRw) : settings.rw;
}

inline std::string InitialHw(const Settings& settings) {
    return settings.hw.empty() ? std::string(kStartHw) : settings.hw;
}

// The decimal mark a run starts with, as the window's box shows it after
// loading: the setting, or "." when it is empty or missing, so that no run
// starts without one.
inline std::string InitialDecimalMark(const Settings& settings) {
    return settings.dezzeich.empty() ? std::string(".") : settings.dezzeich;
}

// The same for the separator, ";" when it is empty or missing.
inline std::string InitialSeparator(const Settings& settings) {
    return settings.trennzeich.empty() ? std::string(";") : settings.trennzeich;
}

struct Configuration {
    ColumnTable table;
    std::int16_t columnCount = 0;
    Settings settings;
    // How the file's bytes read as text: UTF-8 when the whole file is valid
    // UTF-8, else Windows-1252.
    TextEncoding encoding = TextEncoding::Utf8;
    // The file that was loaded, absolute; a run never writes its table over it.
    std::filesystem::path iniPath;
    // The lines of the [Spalten] block as written, in file order (what the
    // window lists).
    std::vector<std::string> columnLines;
    // Lines that look like a setting but are not read as one, each as a
    // warning text naming its line (UTF-8); loading goes on regardless.
    std::vector<std::string> warnings;
};

}  // namespace velunt
