#pragma once
// The lines velunt-cli writes about a run besides errors: the warnings after
// a run that found nothing, the -v line per drawing, a batch's summary.
#include <filesystem>
#include <optional>
#include <string>

#include "base/runtime_error.h"
#include "config/configuration.h"
#include "engine/extraction_run.h"

namespace velunt::cli {

// The warning lines for `result` (engine/run_warnings.h), each after
// "SUBJECT: " when `subject` is not empty; empty when there is none.
std::string WarningLines(std::string_view subject, const RunResult& result,
                         const Configuration& config, const std::filesystem::path& drawing);

// "plan.dxf → plan.txt: 54 Objekte (TEXT)\n".
std::string VerboseLine(const std::filesystem::path& drawing, const std::filesystem::path& table,
                        double objectCount, const Configuration& config);

// "31 Zeichnungen: 30 fertig, 1 Fehler\n".
std::string BatchSummary(size_t drawings, size_t failed);

// Creates `outDir` with its parents when missing; the RuntimeError it
// throws names it as the folder of --out-dir.
void PrepareOutDir(const std::filesystem::path& outDir);

}  // namespace velunt::cli
