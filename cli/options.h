#pragma once
// The command line of velunt-cli.
#include <optional>
#include <string>
#include <vector>

namespace velunt::cli {

struct Options {
    // --ini; without it velunt.ini is looked for (see base/ini_location.h).
    std::optional<std::string> ini;
    std::optional<std::string> dxf;
    std::optional<std::string> txt;
    std::optional<std::string> separator;
    std::optional<std::string> decimalMark;
    std::optional<std::string> section;   // overrides abschnitt=
    std::optional<std::string> encoding;  // overrides kodierung=
    std::string rw = "4400000";
    std::string hw = "5700000";
    bool replaceDecimalPoint = false;
    bool shift = false;
    bool percentC = true;
    bool counter = true;
    std::optional<std::string> outDir;
    int jobs = 0;  // 0: one per core
    bool help = false;
    bool version = false;
    std::vector<std::string> drawings;  // positional arguments: a batch run
};

struct ParseResult {
    Options options;
    std::string error;  // non-empty for a usage error
};

// An option's value is the next argument taken literally (also when empty or
// beginning with "-"), or the text after "=" in "--option=value". Drawings
// named together with --dxf or --txt, and --out-dir or --jobs without
// drawings, are usage errors.
ParseResult ParseOptions(const std::vector<std::string>& args);

extern const char* const kUsage;

}  // namespace velunt::cli
