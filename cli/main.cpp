// velunt-cli: the extraction without a window. Behaves as if the window had
// just loaded velunt.ini and "Auslesen" were clicked; with drawings named,
// extracts each into its own table.
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/file_io.h"
#include "base/table_encoding.h"
#include "cli/batch.h"
#include "cli/config_file.h"
#include "cli/drawing_report.h"
#include "cli/error_line.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/run_lines.h"
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
        number = error.number;
    }
    int number = 0;  // of the error shown
};

// Loads velunt.ini and extracts the drawing, or each drawing named; returns
// the exit status.
int extract(const cli::Options& options) {
    Configuration config;
    if (!cli::LoadConfiguration(options.ini, config)) return kExitConfigError;
    for (const std::string& warning : config.warnings) cli::PrintWarning("", warning);

    RunSettings settings;
    // As the window starts: each switch and shift as velunt.ini sets it,
    // unless given here.
    const Settings& s = config.settings;
    settings.rwShift = options.rw.value_or(InitialRw(s));
    settings.hwShift = options.hw.value_or(InitialHw(s));
    settings.replacePercentC = options.percentC.value_or(s.prozentc.value_or(kStartPercentC));
    settings.replaceDecimalPoint =
        options.replaceDecimalPoint.value_or(s.dezersetzen.value_or(kStartReplaceDecimalPoint));
    settings.shiftCoordinates = options.shift.value_or(s.verschiebung.value_or(kStartShift));
    settings.addCounter = options.counter.value_or(s.zaehler.value_or(kStartCounter));
    // As "Auslesen" does: the decimal mark and separator are what the text
    // boxes hold after loading, unless given here.
    settings.decimalMark = options.decimalMark.value_or(InitialDecimalMark(config.settings));
    settings.separator = options.separator.value_or(InitialSeparator(config.settings));
    settings.section = options.section.value_or(config.settings.abschnitt);
    settings.quoteFields = options.quote.value_or(config.settings.anfuehrung);
    // kodierung= was checked when velunt.ini was loaded; --encoding is here.
    const std::string encoding = options.encoding.value_or(config.settings.kodierung);
    const std::optional<TableEncoding> tableEncoding = ParseTableEncoding(encoding);
    if (!tableEncoding) {
        cli::PrintError("", UnknownTableEncodingError("--encoding", encoding));
        return kExitConfigError;
    }
    settings.tableEncoding = *tableEncoding;
    const bool showProgress = cli::StderrIsTerminal();
    // From here on Ctrl+C stops the run at a whole line.
    cli::CatchInterrupts();

    if (!options.drawings.empty()) {
        if (options.outDir) {
            cli::PrepareOutDir(*options.outDir);
        }
        const auto items = cli::PlanBatch(options.drawings, options.outDir.value_or(""));
        const int jobs =
            options.jobs > 0 ? options.jobs : static_cast<int>(std::thread::hardware_concurrency());
        const int failed =
            cli::RunBatch(items, settings, config, jobs, showProgress, options.verbose);
        if (failed > 0 && cli::InterruptSignal() != 0) return cli::InterruptExitStatus();
        return failed > 0 ? kExitRunError : 0;
    }

    settings.dxfpath = options.dxf ? std::filesystem::path(*options.dxf)
                                   : PathFromBytes(config.settings.dxfpath, config.encoding);
    settings.txtpath = options.txt ? std::filesystem::path(*options.txt)
                                   : PathFromBytes(config.settings.txtpath, config.encoding);

    StderrReport report;
    cli::TerminalProgress progress;
    cli::InterruptCheck interruptCheck(showProgress ? &progress : nullptr);
    const RunResult result = ExtractionRun(settings, config, report, &interruptCheck);
    progress.finish();
    if (!result.succeeded)
        return report.number == kUserInterrupt && cli::InterruptSignal() != 0
                   ? cli::InterruptExitStatus()
                   : kExitRunError;
    if (options.verbose)
        std::fputs(cli::VerboseLine(settings.dxfpath, settings.txtpath, result.objectCount, config)
                       .c_str(),
                   stderr);
    if (progress.wasShown())
        std::fprintf(stderr, "%.0f Objekte geschrieben, %.1f s\n", result.objectCount,
                     progress.secondsElapsed());
    std::fputs(cli::WarningLines("", result, config, settings.dxfpath).c_str(), stderr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    velunt::IgnoreFileSizeSignal();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const cli::ParseResult parsed = cli::ParseOptions(args);
    const cli::Options& options = parsed.options;
    const std::string error = !parsed.error.empty() || options.help || options.version
                                  ? parsed.error
                                  : cli::InspectUsageError(options);
    if (!error.empty()) {
        std::fprintf(stderr, "velunt-cli: %s\nMehr mit: velunt-cli --help\n", error.c_str());
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

    try {
        if (options.inspect || options.makeIni) return cli::RunInspection(options);
        return extract(options);
    } catch (const std::exception& caught) {
        // The run reports its own errors; one from the steps around it
        // (the output folder, planning a batch) ends the same way.
        cli::PrintError("", CaughtError(caught));
        return kExitRunError;
    }
}
