#include "cli/drawing_report.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>
#include <vector>

#include "base/text_encoding.h"
#include "cli/error_line.h"
#include "engine/drawing_inventory.h"
#include "engine/group_code_names.h"
#include "engine/ini_draft.h"

namespace velunt::cli {
namespace {

// The codes of --codes, "8,10,20,1"; empty with `error` set when one is no
// group code or comes twice.
std::vector<int> parseCodes(std::string_view text, std::string& error) {
    std::vector<int> codes;
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(text.find(',', start), text.size());
        const std::string_view field = text.substr(start, end - start);
        int code = -1;
        const auto [stop, ec] = std::from_chars(field.data(), field.data() + field.size(), code);
        if (field.empty() || ec != std::errc() || stop != field.data() + field.size() || code < 1 ||
            code > 9999) {
            error =
                "--codes braucht Gruppencodes wie 8,10,20,1 (nicht „" + std::string(field) + "“)";
            return {};
        }
        if (std::find(codes.begin(), codes.end(), code) != codes.end()) {
            error = "--codes nennt Code " + std::to_string(code) + " zweimal";
            return {};
        }
        codes.push_back(code);
        if (end == text.size()) return codes;
        start = end + 1;
    }
}

// Drawing bytes for the terminal: UTF-8 as they are, else read as
// Windows-1252; cut to `limit` characters.
std::string shown(std::string_view bytes, size_t limit = 40) {
    const std::string text =
        ToUtf8(bytes, IsValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Windows1252);
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (++characters > limit) return text.substr(0, i) + "…";
    }
    return text;
}

size_t width(std::string_view utf8) {
    size_t characters = 0;
    for (const char c : utf8) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return characters;
}

std::string left(std::string_view text, size_t columns) {
    std::string out(text);
    out.append(columns > width(text) ? columns - width(text) : 0, ' ');
    return out;
}

std::string right(std::string_view text, size_t columns) {
    return std::string(columns > width(text) ? columns - width(text) : 0, ' ') + std::string(text);
}

// A type for a tab-separated line: a tab or backslash in it escaped, so
// that every line keeps its four fields.
std::string tsvField(std::string_view type) {
    std::string field;
    for (const char c : type) field += c == '\t' ? "\\t" : c == '\\' ? "\\\\" : std::string(1, c);
    return field;
}

// A type for the aligned text: quoted when spaces at its ends (or nothing)
// would otherwise not show.
std::string textField(std::string_view type) {
    const std::string text = shown(type, 60);
    if (!type.empty() && type.front() != ' ' && type.back() != ' ') return text;
    return "„" + text + "“";
}

// Objects first, then the markers of the drawing's structure (sections,
// tables, blocks, sequence and file ends), each group in the inventory's
// order.
std::vector<const TypeCount*> objectsThenStructure(const DrawingInventory& inventory) {
    std::vector<const TypeCount*> types;
    for (const TypeCount& t : inventory.types) types.push_back(&t);
    std::stable_partition(types.begin(), types.end(),
                          [](const TypeCount* t) { return !IsStructureMarker(t->type); });
    return types;
}

void printTypes(const DrawingInventory& inventory, bool asTsv) {
    const std::vector<const TypeCount*> types = objectsThenStructure(inventory);
    if (asTsv) {
        // The kind comes last, so that a script reading the first four
        // columns reads them as before.
        std::puts("Typ\tGesamt\tin ENTITIES\tanderswo\tArt");
        for (const TypeCount* t : types)
            std::printf("%s\t%llu\t%llu\t%llu\t%s\n", tsvField(t->type).c_str(),
                        static_cast<unsigned long long>(t->total()),
                        static_cast<unsigned long long>(t->inEntities),
                        static_cast<unsigned long long>(t->elsewhere),
                        IsStructureMarker(t->type) ? "Struktur" : "Objekt");
        return;
    }
    size_t typeWidth = width("Objekttyp");
    for (const TypeCount* t : types) typeWidth = std::max(typeWidth, width(shown(t->type)));
    std::printf("%s  %s  %s  %s\n", left("Objekttyp", typeWidth).c_str(),
                right("Gesamt", 8).c_str(), "in ENTITIES", right("anderswo", 8).c_str());
    bool inStructure = false;
    for (const TypeCount* t : types) {
        if (!inStructure && IsStructureMarker(t->type)) {
            inStructure = true;
            std::printf("Struktur (Abschnitte, Tabellen, Blöcke, Endmarken), keine Objekte:\n");
        }
        std::printf("%s  %8llu  %11llu  %8llu\n", left(textField(t->type), typeWidth).c_str(),
                    static_cast<unsigned long long>(t->total()),
                    static_cast<unsigned long long>(t->inEntities),
                    static_cast<unsigned long long>(t->elsewhere));
    }
    if (inventory.typesCut)
        std::printf("(mehr als %zu Typen; die weiteren sind nicht aufgeführt)\n",
                    DrawingInventory::kMaxTypes);
}

void printCodes(const DrawingInventory& inventory) {
    const std::string& type = inventory.masterType;
    std::printf("\n");
    if (inventory.masterObjects == 0) {
        std::printf("Die Zeichnung enthält kein Objekt vom Typ %s.\n", shown(type).c_str());
        return;
    }
    std::printf("Gruppencodes der %llu %s-Objekte, in der üblichen Reihenfolge:\n",
                static_cast<unsigned long long>(inventory.masterObjects), shown(type).c_str());
    std::printf("%s  %s  %s  %s  %s\n", right("Code", 5).c_str(), right("Objekte", 8).c_str(),
                left("Bezeichnung", 22).c_str(), left("Hinweis", 20).c_str(), "erster Wert");
    bool anyMissing = false;
    for (const CodeCount& c : inventory.codes) {
        const std::string note = CodeRemark(c, inventory.masterObjects);
        anyMissing |= c.objects < inventory.masterObjects;
        std::printf("%5d  %8llu  %s  %s  %s\n", c.code, static_cast<unsigned long long>(c.objects),
                    left(GroupCodeDescription(c.code), 22).c_str(), left(note, 20).c_str(),
                    shown(c.firstValue).c_str());
    }
    if (anyMissing)
        std::printf(
            "* nicht in jedem Objekt: in [Spalten] vor anderen Codes aufgeführt, leert er in den\n"
            "  Objekten ohne ihn die Felder danach (die Schlüssel werden der Reihe nach "
            "erwartet).\n");
    if (std::any_of(inventory.codes.begin(), inventory.codes.end(),
                    [](const CodeCount& c) { return c.repeats; }))
        std::printf("mehrfach: ein Schlüssel nimmt den ersten Wert im Objekt.\n");
    if (inventory.codesCut)
        std::printf("(mehr als %zu Codes; die weiteren sind nicht aufgeführt)\n",
                    DrawingInventory::kMaxCodes);
}

}  // namespace

std::string InspectUsageError(const Options& o) {
    if (!o.inspect && !o.makeIni) {
        if (o.masterkey || o.format) return "--masterkey und --format gelten nur mit --inspect";
        if (o.codes) return "--codes gilt nur mit --make-ini";
        return {};
    }
    if (o.inspect && o.makeIni) return "--inspect und --make-ini schliessen einander aus";
    if (o.drawings.size() != 1) return "--inspect und --make-ini brauchen genau eine Zeichnung";
    if (o.ini || o.dxf || o.txt || o.outDir || o.jobs > 0)
        return "--inspect und --make-ini lesen nur die Zeichnung (ohne --ini, --dxf, --txt, "
               "--out-dir, --jobs)";
    if (o.makeIni && (o.masterkey || o.format))
        return "--masterkey und --format gelten nur mit --inspect";
    if (o.inspect && o.codes) return "--codes gilt nur mit --make-ini";
    if (o.format && *o.format != "text" && *o.format != "tsv") return "--format kennt text und tsv";
    if (o.format == "tsv" && o.masterkey)
        return "--format tsv listet die Typen; --masterkey nur mit der Textausgabe";
    if (o.makeIni && o.makeIni->empty()) return "--make-ini braucht einen Objekttyp";
    if (o.codes) {
        std::string error;
        parseCodes(*o.codes, error);
        return error;
    }
    return {};
}

int RunInspection(const Options& o) {
    const std::string& drawing = o.drawings.front();
    const std::string master = o.makeIni ? *o.makeIni : o.masterkey.value_or("");
    try {
        const DrawingInventory inventory = TakeInventory(std::filesystem::path(drawing), master);
        if (o.inspect) {
            printTypes(inventory, o.format == "tsv");
            if (!master.empty()) printCodes(inventory);
            return 0;
        }
        if (inventory.masterObjects == 0)
            throw RuntimeError{kInvalidArgument, "Die Zeichnung enthält kein Objekt vom Typ „" +
                                                     shown(master) +
                                                     "“; die Typen nennt velunt-cli --inspect."};
        std::string error;
        const std::vector<int> codes = o.codes ? parseCodes(*o.codes, error) : std::vector<int>{};
        const IniDraft draft = DraftIni(inventory, drawing, codes);
        std::fwrite(draft.text.data(), 1, draft.text.size(), stdout);
        for (const std::string& note : draft.notes)
            std::fprintf(stderr, "Hinweis: %s\n", note.c_str());
        return 0;
    } catch (const std::exception& caught) {
        PrintError(drawing, CaughtError(caught));
        return 1;
    }
}

}  // namespace velunt::cli
