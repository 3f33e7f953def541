#include "engine/drawing_stamp.h"

#include "base/file_identity.h"

namespace velunt {

std::optional<DrawingStamp> StampOf(const std::filesystem::path& path) {
    const PathFacts facts = LookAt(path);
    if (facts.state != PathFacts::State::kPresent || !facts.isRegular) return std::nullopt;
    return DrawingStamp{facts.size, facts.modifiedNanos};
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
