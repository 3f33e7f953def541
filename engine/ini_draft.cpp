#include "engine/ini_draft.h"

#include <algorithm>

#include "base/runtime_error.h"
#include "config/configuration.h"
#include "engine/group_code_names.h"
#include "lines/group_code.h"

namespace velunt {
namespace {

bool isBookkeeping(int code) {
    return code == 5 || code == 100 || code == 102 || code == 105 || code == 330 || code == 360 ||
           (code >= 1000 && code <= 1071);
}

// The table named after the drawing: its extension replaced by ".txt"; a
// drawing that already ends in ".txt" gets ".txt" added, so the table is
// never the drawing.
std::string tableFor(std::string_view drawing) {
    const size_t name = drawing.find_last_of("/\\") + 1;  // npos + 1 == 0
    const size_t dot = drawing.rfind('.');
    std::string table(drawing);
    if (dot != std::string_view::npos && dot > name) table.resize(dot);
    table += ".txt";
    return table == drawing ? table + ".txt" : table;
}

std::string codeList(const std::vector<int>& codes) {
    std::string list;
    for (const int code : codes) list += (list.empty() ? "" : ", ") + std::to_string(code);
    return list;
}

// The default columns: steady, no bookkeeping, each always after the ones
// taken before it.
std::vector<size_t> steadyColumns(const DrawingInventory& inventory) {
    std::vector<size_t> taken;
    for (size_t i = 0; i < inventory.codes.size(); ++i) {
        if (!inventory.codes[i].isSteady || isBookkeeping(inventory.codes[i].code)) continue;
        if (std::all_of(taken.begin(), taken.end(),
                        [&](size_t t) { return inventory.alwaysBefore(t, i); }))
            taken.push_back(i);
    }
    return taken;
}

// Why the code at `i` can leave the fields after it empty; empty when it
// cannot.
std::string trouble(const DrawingInventory& inventory, size_t i, const std::vector<size_t>& later) {
    const CodeCount& c = inventory.codes[i];
    const std::string code = std::to_string(c.code);
    if (c.objects < inventory.masterObjects)
        return "Code " + code + " steht nur in " + std::to_string(c.objects) + " von " +
               std::to_string(inventory.masterObjects) + " Objekten";
    if (!c.isSteady)
        return "vor Code " + code + " steht in manchen Objekten ein Wert, der wie Code " + code +
               " lautet";
    for (const size_t j : later) {
        if (inventory.codes[j].isSteady && !inventory.alwaysBefore(i, j))
            return "Code " + code + " steht nicht in jedem Objekt vor Code " +
                   std::to_string(inventory.codes[j].code);
    }
    return {};
}

}  // namespace

IniDraft DraftIni(const DrawingInventory& inventory, std::string_view drawing,
                  std::span<const int> wanted) {
    IniDraft draft;
    const std::string& type = inventory.masterType;
    std::vector<size_t> columns;  // indexes into inventory.codes
    std::vector<int> missing;     // wanted codes no object holds
    std::vector<std::string> choice;
    if (wanted.empty()) {
        columns = steadyColumns(inventory);
        choice.push_back("Spalten: die Codes, die jedes " + type +
                         "-Objekt in derselben Reihenfolge hält (ohne Handles, Unterklassen, "
                         "Besitzer und erweiterte Daten).");
        std::vector<int> left;
        for (size_t i = 0; i < inventory.codes.size(); ++i)
            if (std::find(columns.begin(), columns.end(), i) == columns.end())
                left.push_back(inventory.codes[i].code);
        if (columns.empty() && !inventory.codes.empty()) {
            // One column can empty no field after it: the code most objects hold.
            size_t most = 0;
            for (size_t i = 1; i < inventory.codes.size(); ++i)
                if (inventory.codes[i].objects > inventory.codes[most].objects) most = i;
            columns.push_back(most);
            left.erase(std::find(left.begin(), left.end(), inventory.codes[most].code));
        }
        if (!left.empty())
            choice.push_back("Nicht aufgenommen: " + codeList(left) +
                             " (nicht in jedem Objekt, in wechselnder Reihenfolge oder zur "
                             "Verwaltung); siehe velunt-cli --inspect --masterkey " +
                             type + ".");
    } else {
        for (size_t i = 0; i < inventory.codes.size(); ++i)
            if (std::find(wanted.begin(), wanted.end(), inventory.codes[i].code) != wanted.end())
                columns.push_back(i);
        for (const int code : wanted)
            if (std::none_of(columns.begin(), columns.end(),
                             [&](size_t i) { return inventory.codes[i].code == code; }))
                missing.push_back(code);
        choice.push_back(
            "Spalten: die gewünschten Codes in der Reihenfolge, in der sie in den "
            "Objekten stehen.");
        for (size_t n = 0; n + 1 < columns.size(); ++n) {
            const std::vector<size_t> later(columns.begin() + n + 1, columns.end());
            const std::string why = trouble(inventory, columns[n], later);
            if (!why.empty())
                draft.notes.push_back(why + ": dort können die Felder danach leer bleiben.");
        }
        if (!missing.empty())
            draft.notes.push_back("Code " + codeList(missing) + " steht in keinem " + type +
                                  "-Objekt; die Spalte bleibt leer.");
    }
    if (std::any_of(columns.begin(), columns.end(),
                    [&](size_t i) { return inventory.codes[i].repeats; }))
        choice.push_back(
            "Ein Code, der in einem Objekt mehrfach steht (z. B. Stützpunkte), "
            "liefert seinen ersten Wert.");
    if (columns.empty() && missing.empty())
        throw RuntimeError{kInvalidArgument, "Die " + type +
                                                 "-Objekte der Zeichnung halten keinen "
                                                 "Gruppencode; keine Spalte möglich."};
    for (const size_t i : columns)
        if (inventory.codes[i].hasSemicolon)
            draft.notes.push_back("Werte von Code " + std::to_string(inventory.codes[i].code) +
                                  " enthalten das Trennzeichen „;“: trennzeich= ändern.");

    std::vector<int> codes;
    for (const size_t i : columns) codes.push_back(inventory.codes[i].code);
    codes.insert(codes.end(), missing.begin(), missing.end());

    // The draft is UTF-8 whatever the drawing's encoding, and so is the
    // table it asks for: kodierung=UTF-8 turns the drawing's values into
    // UTF-8, and the header comes from this file.
    std::string& out = draft.text;
    const auto line = [&out](std::string_view l) { out.append(l).append("\r\n"); };
    line("; velunt.ini für " + type + "-Objekte, erzeugt mit velunt-cli --make-ini.");
    for (const std::string& c : choice) line("; " + c);
    for (const std::string& n : draft.notes) line("; Hinweis: " + n);
    line("dxfpath=" + std::string(drawing));
    line("txtpath=" + tableFor(drawing));
    line("masterkey=" + type);
    line("trennzeich=;");
    line("dezzeich=,");
    // Objects of the type inside block definitions would come first in the
    // table, rows of no drawn object; ENTITIES holds what is drawn.
    const auto master = std::find_if(inventory.types.begin(), inventory.types.end(),
                                     [&type](const TypeCount& t) { return t.type == type; });
    if (master != inventory.types.end() && master->inEntities > 0) {
        if (master->elsewhere > 0)
            line("; " + std::to_string(master->elsewhere) + " " + type +
                 "-Objekte stehen außerhalb von ENTITIES (z. B. in Blockdefinitionen) und werden "
                 "nicht gelesen; ohne abschnitt= liest ein Lauf alle.");
        line("abschnitt=ENTITIES");
    }
    line("kodierung=UTF-8");
    line(
        "; Die Kästchen des Fensters (1 an, 0 aus) und die Verschiebungen, hier mit ihren "
        "Startwerten:");
    line("; prozentc=" + std::string(kStartPercentC ? "1" : "0"));
    line("; dezersetzen=" + std::string(kStartReplaceDecimalPoint ? "1" : "0"));
    line("; verschiebung=" + std::string(kStartShift ? "1" : "0"));
    line("; zaehler=" + std::string(kStartCounter ? "1" : "0"));
    line("; rw=" + std::string(kStartRw));
    line("; hw=" + std::string(kStartHw));
    line("[Spalten]");
    int column = 0;
    for (const int code : codes)
        line(StandardGroupCode(std::to_string(code)) + "|" + std::to_string(++column) + "|" +
             GroupCodeDescription(code));
    line("[Ende]");
    return draft;
}

}  // namespace velunt
