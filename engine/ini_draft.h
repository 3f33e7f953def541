#pragma once
// A first velunt.ini for one object type of a drawing, drawn up from its
// inventory: the five settings, the section and encoding that give one
// UTF-8 row per drawn object, the window's switches at their start values
// as comments, and a column block whose keys a run finds in every object,
// in the order every object has them. The file is UTF-8.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/drawing_inventory.h"

namespace velunt {

struct IniDraft {
    std::string text;                // the whole file, CR LF line ends
    std::vector<std::string> notes;  // German hints (UTF-8), also in the file as comments
};

// `inventory` was taken with the type as master key and holds objects of it;
// `drawing` is written into dxfpath= as given. `wanted` are the codes asked
// for; empty: every code each object holds in the same order, the
// bookkeeping codes (handles, subclass markers, owners, extended data) left
// out. Codes are written in the order they come in the objects; a note tells
// of each code that can leave later fields empty. abschnitt=ENTITIES is
// written when objects of the type stand there (a comment counts the
// others); without any there, a run takes them wherever they stand. Throws RuntimeError 5
// when no column can be drawn up.
IniDraft DraftIni(const DrawingInventory& inventory, std::string_view drawing,
                  std::span<const int> wanted);

}  // namespace velunt
