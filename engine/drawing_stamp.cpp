#include "engine/drawing_stamp.h"

namespace velunt {

std::optional<DrawingStamp> StampOf(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    DrawingStamp stamp;
    stamp.size = std::filesystem::file_size(path, ec);
    if (ec) return std::nullopt;
    stamp.modified = std::filesystem::last_write_time(path, ec);
    if (ec) return std::nullopt;
    return stamp;
}

bool DrawingChanged(const std::filesystem::path& path, const std::optional<DrawingStamp>& before) {
    return before && StampOf(path) != before;
}

RuntimeError DrawingChangedError() {
    return {kDeviceIoError, StandardDescription(kDeviceIoError) +
                                ": Die Zeichnung wurde während des Lesens geändert; die Tabelle "
                                "enthält, was bis dahin gelesen wurde. Bitte erneut auslesen, "
                                "wenn die Zeichnung nicht mehr geschrieben wird."};
}

}  // namespace velunt
