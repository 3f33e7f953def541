#include "config/ini_messages.h"

#include "base/trim_spaces.h"

namespace velunt {
namespace {

constexpr size_t kShownCharacters = 60;

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

bool isKnownSetting(std::string_view name) {
    for (const std::string_view known : kKnownSettings)
        if (name == known) return true;
    return false;
}

// A setting name as people write one: letters, digits, "_", "-", ".".
bool looksLikeName(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
        if (!ok) return false;
    }
    return true;
}

std::string knownList() {
    std::string list;
    for (const std::string_view known : kKnownSettings) {
        if (!list.empty()) list += ", ";
        list.append(known).append("=");
    }
    return list;
}

}  // namespace

std::string LineLocation(std::string_view fileName, int lineNumber) {
    return std::string(fileName) + ", Zeile " + std::to_string(lineNumber);
}

std::string QuotedLine(std::string_view line, TextEncoding encoding) {
    std::string text = ToUtf8(line, encoding);
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        // Counts the first byte of each UTF-8 character.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 &&
            ++characters > kShownCharacters) {
            text.resize(i);
            text += "…";
            break;
        }
    }
    return "„" + text + "“";
}

std::string ColumnLineWithoutBars(std::string_view line, TextEncoding encoding) {
    constexpr std::string_view kForm = "Schlüssel|Spalte|Beschreibung";
    if (TrimSpaces(line).empty())
        return "leere Zeile im Block [Spalten]; jede Zeile dort braucht zwei Striche: " +
               std::string(kForm) + " (eine Leerzeile direkt nach [Spalten] entfernen)";
    std::string text = QuotedLine(line, encoding) + " braucht zwei Striche: " + std::string(kForm);
    const size_t eq = line.find('=');
    if (eq != std::string_view::npos && isKnownSetting(lowerAscii(TrimSpaces(line.substr(0, eq)))))
        text += " (Einstellungen gehören vor [Spalten])";
    return text;
}

std::optional<std::string> SettingLineWarning(std::string_view line, TextEncoding encoding) {
    const std::string_view trimmed = TrimSpaces(line);
    if (trimmed != "[Spalten]" && lowerAscii(trimmed) == "[spalten]")
        return QuotedLine(line, encoding) +
               " gilt nicht als Überschrift des Spaltenblocks: genau „[Spalten]“ schreiben";
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#' ||
        trimmed.front() == '[')
        return std::nullopt;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view rawName = line.substr(0, eq);
    const std::string_view name = TrimSpaces(rawName);
    if (!looksLikeName(name)) return std::nullopt;
    const std::string lower = lowerAscii(name);
    if (isKnownSetting(lower)) {
        if (rawName == name) return std::nullopt;  // a setting, read as such
        return QuotedLine(line, encoding) + " wird nicht gelesen: Leerzeichen um „" + lower +
               "“ entfernen (" + lower + "=Wert)";
    }
    return "unbekannte Einstellung „" + ToUtf8(name, encoding) +
           "“ wird nicht gelesen; bekannt: " + knownList();
}

}  // namespace velunt
