#pragma once
// velunt-cli --inspect and --make-ini: looking into one drawing instead of a
// run. Both read the drawing once through the core's inventory
// (engine/drawing_inventory.h) and need no velunt.ini.
#include <string>

#include "cli/options.h"

namespace velunt::cli {

// The usage error of the inspect options in `options` (also when they are
// given to a run), empty when there is none.
std::string InspectUsageError(const Options& options);

// Runs --inspect or --make-ini; returns the exit status (0, or 1 when the
// drawing could not be read or holds no object of the type).
int RunInspection(const Options& options);

}  // namespace velunt::cli
