#pragma once
// Batch runs: several drawings, each into its own table, with the same
// configuration and options, optionally several at once.
#include <filesystem>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "engine/run_settings.h"

namespace velunt::cli {

struct BatchItem {
    std::string name;  // the drawing as named on the command line
    std::filesystem::path drawing;
    std::filesystem::path table;
};

// The table of each drawing: its name with the extension ".txt", beside it
// or in `outDir` when that is not empty.
std::vector<BatchItem> PlanBatch(const std::vector<std::string>& drawings,
                                 const std::filesystem::path& outDir);

// Runs every item with `base` (its paths replaced) and `config`, up to `jobs`
// at once. Failures go to stderr as "NAME: Fehler: N: description", warnings
// as "NAME: Warnung: ...", and with `verbose` one line per finished drawing,
// all in the order of `items`; more than one item end with a summary line.
// A table that an earlier item writes, or that is one of the named drawings,
// is refused. After Ctrl+C or SIGTERM (cli/interrupt.h) the runs under way
// stop with 18 and no further drawing is begun; those fail with 18 too.
// Returns the number of failed items.
int RunBatch(const std::vector<BatchItem>& items, const RunSettings& base,
             const Configuration& config, int jobs, bool showProgress, bool verbose = false);

}  // namespace velunt::cli
