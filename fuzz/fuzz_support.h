#pragma once
// What the fuzz harnesses share: a folder of this process for the files an
// input is written into, byte-exact file helpers, and the check every
// finished run must pass.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/runtime_error.h"
#include "engine/extraction_run.h"
#include "engine/run_interfaces.h"

namespace velunt::fuzz {

// A folder of this process for the files an input is written into; removed
// when the process ends normally.
class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    std::filesystem::path operator/(const char* name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

const Scratch& scratch();

void writeBytes(const std::filesystem::path& path, std::string_view bytes);
std::string readBytes(const std::filesystem::path& path);

class CollectingReport : public ErrorReport {
public:
    std::vector<RuntimeError> errors;
    void show(const RuntimeError& error) override { errors.push_back(error); }
};

// Marks a run refuses with error 5: an empty separator, or, with the
// decimal-mark step on, an empty decimal mark or one equal to the separator.
bool refusedMarks(const RunSettings& settings);

// What every finished run must leave: exactly one report when it failed and
// none when it succeeded, and an output made of whole CR LF lines (lines
// cannot hold a CR or LF of their own, since the drawing is split at them).
// Empty when it did, else what is wrong.
std::string checkRunOutcome(const RunResult& result, const CollectingReport& report,
                            const std::filesystem::path& txtpath);

}  // namespace velunt::fuzz
