#include "base/table_encoding.h"

#include <string>

namespace velunt {
namespace {

bool equalsIgnoringCase(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i]) return false;
    }
    return true;
}

}  // namespace

std::optional<TableEncoding> ParseTableEncoding(std::string_view name) {
    if (name.empty()) return TableEncoding::Bytes;
    if (equalsIgnoringCase(name, "UTF-8")) return TableEncoding::Utf8;
    if (equalsIgnoringCase(name, "UTF-8-BOM")) return TableEncoding::Utf8Bom;
    if (equalsIgnoringCase(name, "WINDOWS-1252")) return TableEncoding::Windows1252;
    return std::nullopt;
}

RuntimeError UnknownTableEncodingError(std::string_view setting, std::string_view name) {
    return {kInvalidArgument, StandardDescription(kInvalidArgument) + ": " + std::string(setting) +
                                  " „" + std::string(name) +
                                  "“ ist keine bekannte Kodierung. Erlaubt sind UTF-8, "
                                  "UTF-8-BOM und WINDOWS-1252, oder nichts (die Bytes "
                                  "unverändert)."};
}

}  // namespace velunt
