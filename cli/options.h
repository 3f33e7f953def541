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
    std::optional<bool> quote;            // --quote/--no-quote; overrides anfuehrung=
    // Each overrides its setting of velunt.ini when given (rw=, hw=,
    // dezersetzen=, verschiebung=, prozentc=, zaehler=).
    std::optional<std::string> rw;
    std::optional<std::string> hw;
    std::optional<bool> replaceDecimalPoint;
    std::optional<bool> shift;
    std::optional<bool> percentC;
    std::optional<bool> counter;
    std::optional<std::string> outDir;
    int jobs = 0;          // 0: one per core
    bool verbose = false;  // -v: one line per drawing
    bool help = false;
    bool version = false;
    std::vector<std::string> drawings;  // positional arguments: a batch run
    // Looking into one drawing instead of a run (cli/drawing_report.h).
    bool inspect = false;
    std::optional<std::string> masterkey;  // with --inspect: list this type's codes
    std::optional<std::string> format;     // with --inspect: "text" or "tsv"
    std::optional<std::string> makeIni;    // --make-ini TYPE
    std::optional<std::string> codes;      // with --make-ini: "8,10,20,1"
};

struct ParseResult {
    Options options;
    std::string error;  // non-empty for a usage error: one line naming the argument
};

// An option's value is the next argument taken literally (also when empty or
// beginning with "-"), or the text after "=" in "--option=value". Drawings
// named together with --dxf or --txt, and --out-dir or --jobs without
// drawings, are usage errors.
ParseResult ParseOptions(const std::vector<std::string>& args);

extern const char* const kUsage;

}  // namespace velunt::cli
