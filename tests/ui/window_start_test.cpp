// The window's command line, velunt [--ini DATEI] [ZEICHNUNG], and which
// velunt.ini it loads: parsed, then started with a temporary HOME,
// XDG_CONFIG_HOME and working directory; --help and friends run as a
// process that could not open a window.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstdlib>

#include "base/ini_location.h"
#include "scoped_environment.h"
#include "ui/start_up.h"
#include "ui/window_options.h"
#include "ui_test_support.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace velunt::ui {
namespace {

using testing::ReadFile;
using testing::ScriptedPlatform;
using testing::TempDir;
using testing::WriteFile;
using velunt::testing::ScopedEnvironment;

TEST(WindowOptions, ParsesTheCommandLine) {
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> ini, drawing;
        std::vector<std::string> qt;
        bool isError = false;
    };
    const Case kCases[] = {
        {{"--ini", "a.ini", "p.dxf"}, "a.ini", "p.dxf", {}},
        {{"p.dxf", "--ini=--x.ini"}, "--x.ini", "p.dxf", {}},
        {{"--ini", "--help"}, "--help", std::nullopt, {}},
        {{"-style", "fusion", "-reverse", "-", "-session", "s1"},
         std::nullopt,
         "-",
         {"-style", "fusion", "-reverse", "-session", "s1"}},
        {{"--", "-style"}, std::nullopt, "-style", {}},
        {{"a.dxf", "b.dxf"}, {}, {}, {}, true},
        {{"--", "a.dxf", "b.dxf"}, {}, {}, {}, true},
        {{"a.dxf", "--ini"}, {}, {}, {}, true},
        {{"-style"}, {}, {}, {}, true},
        {{"--bogus"}, {}, {}, {}, true},
        {{"-x"}, {}, {}, {}, true},
    };
    for (const Case& c : kCases) {
        const WindowCommandLine parsed = ParseWindowOptions(c.args);
        const std::string what = c.args.front() + " ...";
        EXPECT_EQ(!parsed.error.empty(), c.isError) << what << ": " << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << what;
        if (c.isError) continue;
        EXPECT_EQ(parsed.options.ini, c.ini) << what;
        EXPECT_EQ(parsed.options.drawing, c.drawing) << what;
        EXPECT_EQ(parsed.options.qtArguments, c.qt) << what;
    }
}

class RecordingReport : public StartUpReport {
public:
    std::vector<QString> messages;
    void fatal(const QString& message) override { messages.push_back(message); }
};

// Each velunt.ini names its own output file, so Label4 tells which was read.
TEST(WindowStart, LoadsTheFirstVeluntIniFoundAndShowsTheDrawingNamed) {
    TempDir root;
    const auto work = root / "work", home = root / "home", xdg = root / "xdg";
    const auto inWork = work / "velunt.ini", inXdg = xdg / "velunt" / "velunt.ini",
               inHome = home / ".config" / "velunt" / "velunt.ini", other = root / "other.ini";
    struct Case {
        const char* what;
        std::vector<std::string> args;
        bool withXdg;
        std::vector<std::filesystem::path> files;
        std::string txtpath;  // of the velunt.ini read; empty: start-up fails
        QString label2, label4;
    };
    // A drawing named sets the table beside it.
    const Case kCases[] = {
        {"working directory first", {}, true, {inWork, inXdg}, "work.txt", "ini.dxf", "work.txt"},
        {"then XDG_CONFIG_HOME",
         {"plan.dxf"},
         true,
         {inXdg, inHome},
         "xdg.txt",
         "plan.dxf",
         "plan.txt"},
        {"else ~/.config", {}, false, {inHome}, "home.txt", "ini.dxf", "home.txt"},
        {"--ini",
         {"--ini", other.string(), "/z/Pl\xC3\xA4ne.dxf"},
         true,
         {inWork, other},
         "other.txt",
         QString::fromUtf8("/z/Pläne.dxf"),
         QString::fromUtf8("/z/Pläne.txt")},
        {"none", {"plan.dxf"}, true, {inHome}, "", "", ""},
    };
    for (const Case& c : kCases) {
        std::filesystem::remove_all(work);
        std::filesystem::remove_all(home);
        std::filesystem::remove_all(xdg);
        std::filesystem::remove(other);
        for (const auto& file : c.files) {
            std::filesystem::create_directories(file.parent_path());
            const std::string name = file == other    ? "other"
                                     : file == inWork ? "work"
                                     : file == inXdg  ? "xdg"
                                                      : "home";
            WriteFile(file,
                      "dxfpath=ini.dxf\r\ntxtpath=" + name + ".txt\r\n[Spalten]\r\n 10|1|RW\r\n");
        }
        std::filesystem::create_directories(work);
        ScopedEnvironment environment;
        environment.set("HOME", home.string());
        environment.set("XDG_CONFIG_HOME",
                        c.withXdg ? std::optional<std::string>(xdg.string()) : std::nullopt);
        environment.changeDirectory(work);

        const WindowCommandLine parsed = ParseWindowOptions(c.args);
        ASSERT_EQ(parsed.error, "") << c.what;
        ScriptedPlatform platform;
        RecordingReport report;
        const auto form = StartUp(parsed.options, platform, report);
        if (c.txtpath.empty()) {
            EXPECT_EQ(form, nullptr) << c.what;
            ASSERT_EQ(report.messages.size(), 1u) << c.what;
            const QString canonicalWork =
                QString::fromStdString(std::filesystem::canonical(work).string());
            EXPECT_EQ(report.messages.front(),
                      "velunt.ini: Fehler 53: Datei nicht gefunden\nGesucht:\n  " + canonicalWork +
                          "/velunt.ini\n  " + QString::fromStdString(inXdg.string()) +
                          "\nBeispiel: /usr/share/doc/velunt/examples/velunt.ini"
                          "\nZum Start kopieren: mkdir -p " +
                          QString::fromStdString((xdg / "velunt").string()) +
                          " && cp /usr/share/doc/velunt/examples/velunt.ini " +
                          QString::fromStdString((xdg / "velunt").string()) + "/");
            continue;
        }
        ASSERT_NE(form, nullptr) << c.what;
        EXPECT_TRUE(report.messages.empty()) << c.what;
        EXPECT_EQ(form->configuration().settings.txtpath, c.txtpath) << c.what;
        EXPECT_EQ(form->Label4->text(), c.label4) << c.what;
        EXPECT_EQ(form->Label2->text(), c.label2) << c.what;
        EXPECT_FALSE(form->isVisible()) << c.what;
    }
}

#ifndef _WIN32
// A new user's first start from the menu: no velunt.ini, so the message says
// how to copy the example; copied exactly as told, the next start opens the
// window, and "Auslesen" writes the table into the home folder.
TEST(WindowStart, TheFirstMenuStartWorksWithTheExampleCopiedAsTold) {
    TempDir root;
    const std::filesystem::path home = std::filesystem::canonical(root.path()) / "home";
    std::filesystem::create_directories(home);
    ScopedEnvironment environment;
    environment.set("HOME", home.string());
    environment.set("XDG_CONFIG_HOME", std::nullopt);
    environment.changeDirectory(home);  // where a menu start runs
    ScriptedPlatform platform;
    RecordingReport report;
    ASSERT_EQ(StartUp(WindowOptions{}, platform, report), nullptr);
    ASSERT_EQ(report.messages.size(), 1u);
    const std::string message = report.messages.front().toStdString();
    const std::string kTold = "Zum Start kopieren: ";
    const size_t told = message.find(kTold);
    ASSERT_NE(told, std::string::npos) << message;
    std::string command = message.substr(told + kTold.size());
    // Without the package installed, the build's copy of the installed
    // example stands in for it; the command is otherwise run as shown.
    const std::string installed = kExampleIniPath;
    if (!std::filesystem::exists(installed))
        command.replace(command.find(installed), installed.size(), VELUNT_INSTALLED_EXAMPLE_INI);
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const auto form = StartUp(WindowOptions{}, platform, report);
    ASSERT_NE(form, nullptr) << report.messages.back().toStdString();
    const std::filesystem::path drawing =
        std::filesystem::path(kExampleIniPath).parent_path() / "beispiel.dxf";
    EXPECT_EQ(form->Label2->text(), QString::fromStdString(drawing.string()));
    EXPECT_EQ(form->Label4->text(), "beispiel.txt");
    if (!std::filesystem::exists(drawing))
        form->Label2->setText(VELUNT_SOURCE_DIR "/examples/beispiel.dxf");
    testing::MessageBoxAnswerer answerer;
    QTest::mouseClick(form->Command3, Qt::LeftButton);
    EXPECT_TRUE(answerer.boxes.empty());
    EXPECT_NE(ReadFile(home / "beispiel.txt").find("Punktnummer"), std::string::npos);
}

struct ProcessResult {
    int status = -1;  // -1: ended by a signal
    std::string out, err;
};

// Runs the program `velunt` where no window can be opened: no display, and
// a Qt platform that does not exist. Creating the application aborts there.
ProcessResult RunWithoutDisplay(const std::vector<std::string>& args) {
    TempDir dir;
    std::string command = "cd '" + dir.path().string() +
                          "' && ulimit -c 0 && env -u DISPLAY -u WAYLAND_DISPLAY "
                          "QT_QPA_PLATFORM=velunt-no-such-platform '" VELUNT_WINDOW "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >out 2>err </dev/null";
    const int raw = std::system(command.c_str());
    ProcessResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(dir / "out");
    result.err = ReadFile(dir / "err");
    return result;
}

TEST(WindowStart, HelpVersionAndUsageErrorsOpenNoWindow) {
    const ProcessResult help = RunWithoutDisplay({"--help"});
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(help.out.rfind("Aufruf: velunt [--ini DATEI] [ZEICHNUNG]\n", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("~/.config/velunt/velunt.ini"), std::string::npos);
    EXPECT_NE(help.out.find("\xC3\x96"
                            "ffnet"),
              std::string::npos);  // UTF-8 "Öffnet"

    const ProcessResult version = RunWithoutDisplay({"plan.dxf", "--version"});
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out.rfind("velunt 1.", 0), 0u) << version.out;

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"a.dxf", "b.dxf"}, {"--bogus", "--help"}, {"--ini"}}) {
        const ProcessResult usage = RunWithoutDisplay(args);
        EXPECT_EQ(usage.status, 64) << args.front();
        EXPECT_EQ(usage.out, "") << args.front();
        EXPECT_EQ(usage.err.rfind("velunt: ", 0), 0u) << usage.err;
        const std::size_t lineEnd = usage.err.find('\n');
        EXPECT_EQ(usage.err.substr(lineEnd + 1), "Mehr mit: velunt --help\n") << usage.err;
    }

    // The premise: a start that does create the application fails here.
    EXPECT_NE(RunWithoutDisplay({}).status, 0);
}
#endif

}  // namespace
}  // namespace velunt::ui
