#pragma once
// Reads velunt.ini into the column table and the settings.
#include <filesystem>

#include "config/configuration.h"

namespace velunt {

// Loads `iniPath` in three passes (counting the [Spalten] block, reading it,
// reading the settings lines). Lines end at CR LF, CR or LF; a UTF-8
// byte-order mark at the start is skipped. Raises RuntimeError: 53 when the
// file is missing, 5 for a column line with fewer than two bars, 6 for
// overflows, 62 when "[Spalten]" is the last line, 9 for a third header line,
// 5 for a "kodierung=" value that names no known encoding.
Configuration ConfigLoader(const std::filesystem::path& iniPath);

}  // namespace velunt
