#pragma once
// Drawings are read as text; a binary DXF file is refused before any line of
// it is read, by the run and by the inventory alike.
#include <filesystem>
#include <string_view>

#include "base/runtime_error.h"
#include "lines/line_reader.h"

namespace velunt {

// How every binary DXF file begins.
inline constexpr std::string_view kBinaryDxfSentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

inline void RefuseBinaryDrawing(LineReader& reader, const std::filesystem::path& drawing) {
    if (reader.peek(kBinaryDxfSentinel.size()) == kBinaryDxfSentinel)
        throw RuntimeError{kInvalidFileFormat,
                           StandardDescription(kInvalidFileFormat) + ": " +
                               NamedFile(FileRole::Drawing, drawing) +
                               " ist eine binäre DXF-Datei; gelesen werden nur DXF-Dateien im "
                               "Textformat. Im CAD-Programm als ASCII-DXF speichern."};
}

}  // namespace velunt
