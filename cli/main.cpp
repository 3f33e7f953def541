// velunt-cli: the extraction without a window. Behaves as if the window had
// just loaded velunt.ini and "Auslesen" were clicked; with drawings named,
// extracts each into its own table.
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/table_encoding.h"
#include "cli/batch.h"
#include "cli/config_file.h"
#include "cli/error_line.h"
#include "cli/options.h"
#include "cli/terminal_progress.h"
#include "config/config_loader.h"
#include "engine/extraction_run.h"

namespace {

using namespace velunt;

constexpr int kExitRunError = 1;
constexpr int kExitConfigError = 2;
constexpr int kExitUsage = 64;

class StderrReport : public ErrorReport {
public:
    void show(const RuntimeError& error) override {
        cli::PrintError("", error);
    }
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const cli::ParseResult parsed = cli::ParseOptions(args);
    const cli::Options& options = parsed.options;
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "velunt-cli: %s\n%s", parsed.error.c_str(), cli::kUsage);
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(cli::kUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::puts("velunt-cli " VELUNT_VERSION);
        return 0;
    }

    Configuration config;
    if (!cli::LoadConfiguration(options.ini, config)) return kExitConfigError;

    RunSettings settings;
    settings.rwShift = options.rw;
    settings.hwShift = options.hw;
    settings.replacePercentC = options.percentC;
    settings.replaceDecimalPoint = options.replaceDecimalPoint;
    settings.shiftCoordinates = options.shift;
    settings.addCounter = options.counter;
    // As "Auslesen" does: the decimal mark and separator are what the text
    // boxes hold after loading, unless given here.
    settings.decimalMark = options.decimalMark.value_or(InitialDecimalMark(config.settings));
    settings.separator = options.separator.value_or(InitialSeparator(config.settings));
    settings.section = options.section.value_or(config.settings.abschnitt);
    // kodierung= was checked when velunt.ini was loaded; --encoding is here.
    const std::string encoding = options.encoding.value_or(config.settings.kodierung);
    const std::optional<TableEncoding> tableEncoding = ParseTableEncoding(encoding);
    if (!tableEncoding) {
        cli::PrintError("", UnknownTableEncodingError("--encoding", encoding));
        return kExitConfigError;
    }
    settings.tableEncoding = *tableEncoding;
    const bool showProgress = cli::StderrIsTerminal();

    if (!options.drawings.empty()) {
        const auto items = cli::PlanBatch(options.drawings, options.outDir.value_or(""));
        const int jobs =
            options.jobs > 0 ? options.jobs : static_cast<int>(std::thread::hardware_concurrency());
        const int failed = cli::RunBatch(items, settings, config, jobs, showProgress);
        return failed > 0 ? kExitRunError : 0;
    }

    settings.dxfpath = options.dxf ? std::filesystem::path(*options.dxf)
                                   : PathFromBytes(config.settings.dxfpath, config.encoding);
    settings.txtpath = options.txt ? std::filesystem::path(*options.txt)
                                   : PathFromBytes(config.settings.txtpath, config.encoding);

    StderrReport report;
    cli::TerminalProgress progress;
    const RunResult result =
        ExtractionRun(settings, config, report, showProgress ? &progress : nullptr);
    progress.finish();
    if (!result.succeeded) return kExitRunError;
    if (progress.wasShown())
        std::fprintf(stderr, "%.0f Objekte geschrieben, %.1f s\n", result.objectCount,
                     progress.secondsElapsed());
    return 0;
}
