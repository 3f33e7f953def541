#pragma once
// The warnings after a run that ended normally but found nothing useful or
// wrote a table whose columns may slip, in words both front ends show
// (UTF-8, one text per warning):
//   Keine Objekte vom Typ „Text“ in plan.dxf. Vorhanden: TEXT 54, LINE 12.
//   Spalte „Drehung“ (·50) blieb in allen 40 Objekten leer: ...
//   3 Felder enthalten das Trennzeichen (das erste in Objekt 5, ...
#include <filesystem>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "engine/extraction_run.h"

namespace velunt {

// None for a failed run. A run that wrote fields holding the separator
// (quoting off) gets one saying how many and where the first one is. A run
// that wrote no object gets one naming
// the master key and the types the drawing holds; otherwise each column whose
// key is a group code and was found in no object gets one naming the column
// and the likely cause.
std::vector<std::string> RunWarnings(const RunResult& result, const Configuration& config,
                                     const std::filesystem::path& drawing);

}  // namespace velunt
