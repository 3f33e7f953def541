#pragma once
// The run as plainly as it can be written, for the harnesses to compare the
// core's run with: every line split off by a byte loop and looked at in turn,
// the values transformed by the reference (fuzz_reference.h), the record
// lines joined by hand.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/configuration.h"
#include "engine/run_settings.h"

namespace velunt::fuzz {

// `text` rewritten as a group code in the standard layout when it is a whole
// number (spaces, digits, spaces) in another layout; nullopt otherwise.
std::optional<std::string> plainStandardCode(std::string_view text);

// A shift amount the run accepts: blank, or spaces around an optional sign
// and digits with at most one ".".
bool plainAmount(std::string_view amount);

// The error number (0 for a normal end) and the table the run must leave.
struct Expected {
    int error = 0;
    std::string table;
    bool sure = true;  // false: a value the reference does not judge
};

Expected plainRun(std::string_view drawing, const Configuration& config,
                  const RunSettings& settings);

}  // namespace velunt::fuzz
