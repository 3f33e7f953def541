#pragma once
// One extraction: a single pass over the drawing's lines that finds every
// object of the master type, captures the values of the table's keys in
// table order, transforms them and writes one line per object under a
// header line.
#include <string>
#include <vector>

#include "config/configuration.h"
#include "engine/record_line.h"
#include "engine/run_interfaces.h"
#include "engine/run_settings.h"
#include "engine/type_counts.h"

namespace velunt {

struct RunResult {
    bool succeeded = false;
    double objectCount = 0;  // objects of the master type found
    // When the drawing holds no object of the master type: every object type
    // it does hold (the line after each "  0"), most frequent first, gathered
    // in the same pass. Empty otherwise: counting stops at the first object,
    // so a run that finds objects pays nothing for it.
    std::vector<ObjectTypeCount> typeCounts;
    // Per table slot 0 .. columnCount-1: whether its key was found in at
    // least one object of the master type.
    std::vector<bool> columnFilled;
    // The section the objects were counted in (RunSettings::section); the
    // type counts above are the whole drawing's.
    std::string section;
    // The fields written that hold the separator, with quoting off.
    SeparatorFields separatorFields;
};

// Runs the extraction with `settings` and the loaded `config`, and reports any error through
// `report` after the lines written so far are in the file and every file is
// closed. `config` is left as it was. `observer`, when given, is told of the
// progress after each block and may stop the run.
//
// Runs on different drawings, into different output files, may go on at the
// same time, each on a thread of its own and all with the same `config`: a
// run only reads `config` and `settings`, keeps its reader, buffers and
// output to itself, and the code it calls holds no shared state that
// changes (the batch mode relies on it). `report` and `observer` are called
// on the run's own thread.
RunResult ExtractionRun(const RunSettings& settings, const Configuration& config,
                        ErrorReport& report, RunObserver* observer = nullptr);

}  // namespace velunt
