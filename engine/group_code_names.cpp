#include "engine/group_code_names.h"

#include <iterator>

namespace velunt {

std::string GroupCodeDescription(int code) {
    struct Name {
        int code;
        const char* text;
    };
    static constexpr Name kNames[] = {
        {1, "Text"},
        {2, "Name"},
        {3, "Zusatztext"},
        {5, "Handle"},
        {6, "Linientyp"},
        {7, "Textstil"},
        {8, "Layer"},
        {10, "RW (X)"},
        {11, "RW 2 (X)"},
        {20, "HW (Y)"},
        {21, "HW 2 (Y)"},
        {30, "Höhe (Z)"},
        {31, "Höhe 2 (Z)"},
        {39, "Dicke"},
        {40, "Texthöhe/Radius"},
        {41, "Skalierung X"},
        {50, "Drehwinkel"},
        {51, "Schrägwinkel"},
        {62, "Farbe"},
        {66, "Attribute folgen"},
        {70, "Schalter"},
        {72, "Ausrichtung horizontal"},
        {73, "Ausrichtung vertikal"},
        {100, "Unterklasse"},
        {210, "Extrusion X"},
        {220, "Extrusion Y"},
        {230, "Extrusion Z"},
        {330, "Besitzer"},
        {370, "Linienstärke"},
        {420, "Farbe (RGB)"},
    };
    for (const Name& name : kNames)
        if (name.code == code) return name.text;
    return "Code " + std::to_string(code);
}

}  // namespace velunt
