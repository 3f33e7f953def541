#pragma once
// Reads velunt.ini into the column table and the settings.
#include <filesystem>

#include "config/configuration.h"

namespace velunt {

// Reads `iniPath` once into memory (so a pipe, FIFO or /dev/stdin works),
// then makes three passes over those bytes (counting the [Spalten] block,
// reading it, reading the settings lines). Lines end at CR LF, CR or LF; a UTF-8
// byte-order mark at the start is skipped. Raises RuntimeError: 53 when the
// file is missing, 5 for a column line with fewer than two bars, 6 for
// overflows, 7 when the file does not fit in memory, 62 when "[Spalten]" is
// the last line, 9 for a third header line, 5 for a "kodierung=" value that
// names no known encoding, 5 for a value other than 1, 0 or nothing of
// "anfuehrung=", "prozentc=", "dezersetzen=", "verschiebung=" or "zaehler="; each description names
// the file and the line
// ("velunt.ini, Zeile 8: ..."). Lines that look like a setting but are none
// become config.warnings.
Configuration ConfigLoader(const std::filesystem::path& iniPath);

}  // namespace velunt
