#pragma once
// The words of velunt.ini's messages: where (file and line), the column line
// that cannot be read, and the warnings for lines that look like a setting
// but are none. Texts are UTF-8.
#include <optional>
#include <string>
#include <string_view>

#include "base/text_encoding.h"

namespace velunt {

// Every setting name the loader knows, lower case.
inline constexpr std::string_view kKnownSettings[] = {
    "dxfpath",    "txtpath",  "masterkey",   "trennzeich",   "dezzeich", "abschnitt", "kodierung",
    "anfuehrung", "prozentc", "dezersetzen", "verschiebung", "zaehler",  "rw",        "hw"};

// "velunt.ini, Zeile 8".
std::string LineLocation(std::string_view fileName, int lineNumber);

// `line` (in `encoding`) as UTF-8 in quotes, shortened when long:
// "„ 10 1 RW“".
std::string QuotedLine(std::string_view line, TextEncoding encoding);

// Why a column line without two bars cannot be read, and what to do:
// "„ 10 1 RW“ braucht zwei Striche: Schlüssel|Spalte|Beschreibung".
std::string ColumnLineWithoutBars(std::string_view line, TextEncoding encoding);

// The warning for a line outside the column block that looks like a setting
// ("name=value") but is not read as one: an unknown name (listing the known
// ones), spaces around a known name, or a header "[Spalten]" in other case.
// nullopt for every other line (settings, comments, sections, free text).
std::optional<std::string> SettingLineWarning(std::string_view line, TextEncoding encoding);

}  // namespace velunt
