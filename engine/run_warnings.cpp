#include "engine/run_warnings.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "base/runtime_error.h"
#include "base/trim_spaces.h"
#include "engine/record_line.h"

namespace velunt {
namespace {

constexpr size_t kTypesShown = 10;

// Section and table markers say nothing about what the drawing holds.
bool isStructureMarker(std::string_view type) {
    constexpr std::string_view kMarkers[] = {"SECTION", "ENDSEC", "TABLE",  "ENDTAB",
                                             "BLOCK",   "ENDBLK", "SEQEND", "EOF"};
    return std::find(std::begin(kMarkers), std::end(kMarkers), TrimSpaces(type)) !=
           std::end(kMarkers);
}

std::string countText(double count) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.0f", count);
    return digits;
}

// Printable text: valid UTF-8 without control characters.
bool isShowable(std::string_view text) {
    return !text.empty() && IsValidUtf8(text) && std::none_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string noObjects(const RunResult& result, const Configuration& config,
                      const std::filesystem::path& drawing) {
    const std::string masterkey = ToUtf8(config.settings.masterkey, config.encoding);
    const std::string name = PathText(drawing.filename());
    if (masterkey.empty())
        return "Keine Objekte in " + name +
               ": masterkey= fehlt in velunt.ini oder ist leer (z. B. masterkey=TEXT).";
    std::string text = "Keine Objekte vom Typ „" + masterkey + "“ in " + name + ".";
    if (!result.section.empty())
        text = "Keine Objekte vom Typ „" + masterkey + "“ im Abschnitt „" +
               ToUtf8(result.section, config.encoding) + "“ von " + name +
               " (abschnitt= bzw. --section).";
    std::string present, meant;
    size_t shown = 0, left = 0;
    bool sections = false;
    for (const ObjectTypeCount& entry : result.typeCounts) {
        if (isStructureMarker(entry.type)) {
            sections = true;
            continue;
        }
        const std::string type = ToUtf8(entry.type, config.encoding);
        if (!isShowable(type)) {  // binary noise after a "  0" line
            ++left;
            continue;
        }
        if (meant.empty() && type != masterkey &&
            sameIgnoringCase(TrimSpaces(type), TrimSpaces(masterkey)))
            meant = type;
        if (shown == kTypesShown) {
            ++left;
            continue;
        }
        present += (shown++                  ? ", "
                    : result.section.empty() ? " Vorhanden: "
                                             : " In der ganzen Zeichnung: ") +
                   type + " " + countText(entry.count);
    }
    if (shown == 0 && sections && left == 0) return text + " Die Zeichnung enthält keine Objekte.";
    if (shown == 0)
        return text +
               " Die Datei enthält keine lesbaren Objekte; ist sie eine DXF-Datei im "
               "Textformat?";
    if (left > 0) present += " und " + std::to_string(left) + " weitere Typen";
    text += present + ".";
    if (!meant.empty())
        text += " Gemeint ist wohl masterkey=" + meant +
                " (genau wie in der Zeichnung geschrieben, auch Groß-/Kleinschreibung).";
    return text;
}

bool isGroupCode(std::string_view key) {
    const std::string_view digits = TrimSpaces(key);
    return !digits.empty() &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "(·50)": the key, its spaces shown as "·".
std::string shownKey(const Configuration& config, size_t slot) {
    std::string shown = "(";
    for (const char c : ToUtf8(config.table.keys[slot], config.encoding))
        shown += c == ' ' ? std::string("·") : std::string(1, c);
    return shown + ")";
}

// "„Drehung“ (·50)": the description and the key.
std::string columnName(const Configuration& config, size_t slot) {
    return "„" + ToUtf8(TrimSpaces(config.table.texts[slot]), config.encoding) + "“ " +
           shownKey(config, slot);
}

std::string emptyColumn(const RunResult& result, const Configuration& config, size_t slot) {
    const std::string objects = result.objectCount == 1
                                    ? "im einzigen Objekt"
                                    : "in allen " + countText(result.objectCount) + " Objekten";
    std::string text = "Spalte " + columnName(config, slot) + " blieb " + objects + " leer: ";
    if (slot == 0)
        return text + "kommt der Code in Objekten vom Typ „" +
               ToUtf8(config.settings.masterkey, config.encoding) + "“ vor?";
    if (!result.columnFilled[slot - 1])
        return text + "schon die Spalte davor, " + columnName(config, slot - 1) +
               ", blieb leer, und ein fehlender Code leert alle Spalten nach ihm.";
    return text + "steht der Code im Objekt vor dem vorigen Schlüssel " +
           shownKey(config, slot - 1) +
           ", oder fehlt er? Die Schlüssel müssen in der Reihenfolge stehen, in der die Codes "
           "im Objekt folgen.";
}

// "3 Felder enthalten das Trennzeichen (das erste in Objekt 5, Spalte 3
// „Text“): ...".
std::string fieldsWithSeparator(const SeparatorFields& found, const Configuration& config) {
    const bool one = found.count == 1;
    std::string text = countText(found.count) + (one ? " Feld enthält das Trennzeichen (in "
                                                     : " Felder enthalten das "
                                                       "Trennzeichen (das erste in ");
    text +=
        found.firstRow == 0 ? std::string("der Kopfzeile") : "Objekt " + countText(found.firstRow);
    text += ", Spalte " + std::to_string(found.firstColumn);
    const std::vector<int> written = FieldOrder(config.table, config.columnCount);
    if (found.firstColumn >= 1 && static_cast<size_t>(found.firstColumn) <= written.size()) {
        const size_t slot = static_cast<size_t>(written[found.firstColumn - 1]);
        text += " „" + ToUtf8(TrimSpaces(config.table.texts[slot]), config.encoding) + "“";
    }
    return text +
           (one ? "): die Felder nach ihm rücken in seiner Zeile eine Spalte weiter."
                : "): die Felder nach ihnen rücken in ihrer Zeile eine Spalte weiter.") +
           " anfuehrung=1 in velunt.ini (bzw. --quote) oder ein anderes Trennzeichen hält die "
           "Spalten auseinander.";
}

}  // namespace

std::vector<std::string> RunWarnings(const RunResult& result, const Configuration& config,
                                     const std::filesystem::path& drawing) {
    std::vector<std::string> warnings;
    if (!result.succeeded) return warnings;
    if (result.separatorFields.count > 0)
        warnings.push_back(fieldsWithSeparator(result.separatorFields, config));
    if (result.objectCount == 0) {
        warnings.push_back(noObjects(result, config, drawing));
        return warnings;
    }
    const std::vector<int> written = FieldOrder(config.table, config.columnCount);
    for (size_t slot = 0; slot < result.columnFilled.size(); ++slot) {
        if (result.columnFilled[slot] || !isGroupCode(config.table.keys[slot])) continue;
        if (std::find(written.begin(), written.end(), static_cast<int>(slot)) == written.end())
            continue;  // not in the table: nobody misses it
        warnings.push_back(emptyColumn(result, config, slot));
    }
    return warnings;
}

}  // namespace velunt
