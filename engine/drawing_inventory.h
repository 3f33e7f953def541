#pragma once
// What a drawing holds, counted the way a run reads it: the object types with
// their counts, and for one type (the master key) the group codes its objects
// hold. Used by velunt-cli --inspect and --make-ini and by the window's
// "Objekte der Zeichnung" dialog.
//
// Objects are found by the run's rule: every line "  0", wherever it stands,
// starts an object, and the line after it is the object's type. So the
// count of a type is the number of lines a run with that type as master key
// writes under its header. Inside an object of the master type the lines are
// taken in code/value pairs, as the line reader pairs them.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velunt {

struct TypeCount {
    std::string type;              // the type line as the drawing writes it
    std::uint64_t inEntities = 0;  // objects inside the section ENTITIES
    std::uint64_t elsewhere = 0;   // all others (HEADER, TABLES, BLOCKS, OBJECTS ...)
    std::uint64_t total() const { return inEntities + elsewhere; }
};

struct CodeCount {
    int code = 0;
    std::uint64_t objects = 0;  // objects of the master type that hold the code
    bool repeats = false;       // some object holds it more than once
    bool hasSemicolon = false;  // some value of it holds ";"
    std::string firstValue;     // its value in the first object that holds it
    // Held by every object, each time as a group-code line before any value
    // line that reads like it. A key for it then takes the first value.
    bool isSteady = false;
};

struct DrawingInventory {
    std::vector<TypeCount> types;  // most objects first, then by name
    bool typesCut = false;         // more than kMaxTypes types: the rest are not listed

    std::string masterType;
    std::uint64_t masterObjects = 0;
    std::vector<CodeCount> codes;   // in the order they usually come in the objects
    bool hasNonUtf8Values = false;  // a value line of the master type is not UTF-8
    bool codesCut = false;          // more than kMaxCodes codes: the rest are not listed

    // For two steady codes (indexes into `codes`): true when the first of `a`
    // comes before the first of `b` in every object.
    bool alwaysBefore(size_t a, size_t b) const;

    // Filled by TakeInventory: for each steady code its place among the codes
    // of the first object, and for each pair of places whether some object
    // has them the other way round.
    std::vector<int> steadyPlace;
    std::vector<std::vector<bool>> orderVaries;

    static constexpr size_t kMaxTypes = 10000;
    static constexpr size_t kMaxCodes = 2000;
};

// True for the lines that mark a drawing's structure rather than an object
// in it: the starts and ends of sections, tables and blocks, the end of a
// vertex or attribute sequence, and the end of the file. `type` is the type
// line as the drawing writes it; spaces around it do not count.
bool IsStructureMarker(std::string_view type);

// A short German remark on a code of the master type: "* fehlt in N" when
// not every object holds it, "mehrfach" when some object holds it more than
// once, else empty.
std::string CodeRemark(const CodeCount& code, std::uint64_t masterObjects);

// Reads `drawing` once. `masterType` may be empty (types only). Throws
// RuntimeError as a run does: 53 and the other file errors, 321 for a binary
// drawing, 62 when the last line is an object start without its type line.
DrawingInventory TakeInventory(const std::filesystem::path& drawing, std::string_view masterType);

}  // namespace velunt
