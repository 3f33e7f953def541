#include "cli/run_lines.h"

#include <cstdio>

#include "cli/error_line.h"
#include "engine/run_warnings.h"

namespace velunt::cli {

std::string WarningLines(std::string_view subject, const RunResult& result,
                         const Configuration& config, const std::filesystem::path& drawing) {
    std::string lines;
    for (const std::string& warning : RunWarnings(result, config, drawing))
        lines += WarningLine(subject, warning);
    return lines;
}

std::string VerboseLine(const std::filesystem::path& drawing, const std::filesystem::path& table,
                        double objectCount, const Configuration& config) {
    char count[32];
    std::snprintf(count, sizeof count, "%.0f", objectCount);
    return PathText(drawing) + " → " + PathText(table) + ": " + count +
           (objectCount == 1 ? " Objekt (" : " Objekte (") +
           ToUtf8(config.settings.masterkey, config.encoding) + ")\n";
}

std::string BatchSummary(size_t drawings, size_t failed) {
    return std::to_string(drawings) + " Zeichnungen: " + std::to_string(drawings - failed) +
           " fertig, " + std::to_string(failed) + " Fehler\n";
}

void PrepareOutDir(const std::filesystem::path& outDir) {
    std::error_code ec;
    if (std::filesystem::is_directory(outDir, ec)) return;
    if (std::filesystem::exists(outDir, ec))
        throw RuntimeError{kPathNotFound, StandardDescription(kPathNotFound) + ": " +
                                              NamedFile(FileRole::Folder, outDir) +
                                              " (--out-dir) ist eine Datei, kein Ordner"};
    ec.clear();
    std::filesystem::create_directories(outDir, ec);
    if (!ec) return;
    RuntimeError error = FileError(ec, outDir, FileRole::Folder);
    error.description += " (--out-dir)";
    throw error;
}

}  // namespace velunt::cli
