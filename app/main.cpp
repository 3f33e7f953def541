// velunt: the program a user starts, as `velunt [--ini DATEI] [ZEICHNUNG]`.
// Reads its command line before Qt starts (--help, --version and usage
// errors need no display), then creates Form1, which loads velunt.ini before
// it is shown; closing it ends the program.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "ui/start_up.h"
#include "ui/window_look.h"
#include "ui/window_options.h"
#include "ui/window_platform.h"

namespace {

constexpr int kExitUsage = 64;

}  // namespace

int main(int argc, char** argv) {
    velunt::IgnoreFileSizeSignal();
    velunt::ui::WindowCommandLine commandLine =
        velunt::ui::ParseWindowOptions(std::vector<std::string>(argv + 1, argv + argc));
    velunt::ui::WindowOptions& options = commandLine.options;
    if (!commandLine.error.empty()) {
        std::fprintf(stderr, "velunt: %s\nMehr mit: velunt --help\n", commandLine.error.c_str());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(velunt::ui::kWindowUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::puts("velunt " VELUNT_VERSION);
        return 0;
    }

    // Qt sees only its own options; a drawing named like one of them stays
    // ours.
    std::vector<char*> qtArgv{argv[0]};
    for (std::string& arg : options.qtArguments) qtArgv.push_back(arg.data());
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(qtArgv.size()) - 1;

    QApplication app(qtArgc, qtArgv.data());
    QApplication::setApplicationName(QStringLiteral("VELUNT"));
    QApplication::setWindowIcon(velunt::ui::WindowIcon());
    // The window is German; so are Qt's own dialogs and buttons where Qt's
    // translations are installed (qt6-translations-l10n), else they stay
    // English.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    velunt::ui::DesktopPlatform platform;
    velunt::ui::StartUpBox report;
    const std::unique_ptr<velunt::ui::Form1> form = velunt::ui::StartUp(options, platform, report);
    if (!form) return velunt::ui::kExitStartUpFailed;
    form->show();
    return QApplication::exec();
}
