#pragma once
// The encoding a table is written in (setting "kodierung=", option
// --encoding). Without one, the bytes of the drawing and of velunt.ini pass
// through unchanged.
#include <optional>
#include <string_view>

#include "base/runtime_error.h"

namespace velunt {

enum class TableEncoding {
    Bytes,        // no conversion: the bytes as they are
    Utf8,         // UTF-8
    Utf8Bom,      // UTF-8 with a byte-order mark first
    Windows1252,  // Windows-1252, "?" for what it cannot hold
};

// The encoding `name` stands for: empty for Bytes, else one of "UTF-8",
// "UTF-8-BOM" and "WINDOWS-1252" in any case; nothing for another name.
std::optional<TableEncoding> ParseTableEncoding(std::string_view name);

// Error 5 for an encoding name ParseTableEncoding does not know, naming the
// setting (or option) it came from and the accepted names.
RuntimeError UnknownTableEncodingError(std::string_view setting, std::string_view name);

}  // namespace velunt
