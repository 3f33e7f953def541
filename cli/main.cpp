// velunt-cli: the extraction without a window. Behaves as if the window had
// just loaded velunt.ini and "Auslesen" were clicked; with drawings named,
// extracts each into its own table.
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/batch.h"
#include "cli/config_file.h"
#include "cli/options.h"
#include "cli/terminal_progress.h"
#include "config/config_loader.h"
#include "engine/extraction_run.h"

namespace {

using namespace velunt;

constexpr int kExitRunError = 1;
constexpr int kExitConfigError = 2;
constexpr int kExitUsage = 64;

// Keeps what Text1 and Text2 would show after loading (empty when the file
// has no such key).
class CliDisplay : public ConfigDisplay {
public:
    std::string text1, text2;
    void clearList1() override {}
    void addList1Item(std::string_view) override {}
    void setLabel2(std::string_view) override {}
    void setLabel4(std::string_view) override {}
    void setLabel7(std::string_view) override {}
    void setText1(std::string_view text) override { text1 = text; }
    void setText2(std::string_view text) override { text2 = text; }
};

class StderrReport : public ErrorReport {
public:
    void show(const RuntimeError& error) override {
        std::fprintf(stderr, "Fehler: %d: %s\n", error.number, error.description.c_str());
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
    CliDisplay display;
    if (!cli::LoadConfiguration(options.ini, config, display)) return kExitConfigError;

    RunSettings settings;
    settings.rwShift = options.rw;
    settings.hwShift = options.hw;
    settings.replacePercentC = options.percentC;
    settings.replaceDecimalPoint = options.replaceDecimalPoint;
    settings.shiftCoordinates = options.shift;
    settings.addCounter = options.counter;
    // As "Auslesen" does: the decimal mark and separator are what the text
    // boxes hold.
    config.settings.dezzeich = options.decimalMark.value_or(display.text1);
    config.settings.trennzeich = options.separator.value_or(display.text2);
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
