// velunt-cli as a user runs it: exit statuses, messages, and the options that
// stand in for the window's fields.
#include <gtest/gtest.h>

#include "../core/scoped_environment.h"
#include "cli_process.h"

namespace velunt::testing {
namespace {

const char* const kIni =
    "dxfpath=in.dxf\r\ntxtpath=out.txt\r\nmasterkey=TEXT\r\ntrennzeich=;\r\ndezzeich=,\r\n"
    "[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n  1|3|Text\r\n\r\n";
const char* const kDrawing =
    "  0\nTEXT\n 10\n12.345\n 20\n3.5\n  1\n%%c12\n  0\nTEXT\n 10\n1\n 20\n2.000\n  1\nx\n  "
    "0\nEOF\n";

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(m_dir / "velunt.ini", kIni);
        WriteFile(m_dir / "in.dxf", kDrawing);
    }
    CliResult run(const std::vector<std::string>& args) { return RunCli(m_dir.path(), args); }
    std::string output(const std::string& name = "out.txt") { return ReadFile(m_dir / name); }
    TempDir m_dir;
};

TEST_F(CliTest, RunsWithWhatAFreshWindowHolds) {
    const CliResult r = run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(output(), "RW;HW;Text;Index\r\n12.345;3.5;012;1\r\n1;2.000;x;2\r\n");
}

TEST_F(CliTest, OptionsOverrideTheWindowFields) {
    struct Case {
        std::vector<std::string> args;
        std::string table;
    };
    const Case kCases[] = {
        {{"--no-counter", "--no-percent-c"}, "RW;HW;Text\r\n12.345;3.5;%%c12\r\n1;2.000;x\r\n"},
        {{"--separator", "", "--no-counter"}, "RWHWText\r\n12.3453.5012\r\n12.000x\r\n"},
        {{"--separator=\t", "--shift", "--rw", "-100", "--hw=0"},
         "RW\tHW\tText\tIndex\r\n-87.655\t3.5\t012\t1\r\n-99\t2\tx\t2\r\n"},
        {{"--replace-decimal-point"}, "RW;HW;Text;Index\r\n12,345;3,5;012;1\r\n1;2,000;x;2\r\n"},
        {{"--replace-decimal-point", "--decimal-mark", ""},
         "RW;HW;Text;Index\r\n12345;35;012;1\r\n1;2000;x;2\r\n"},
        {{"--txt", "other.txt", "--dxf", "./in.dxf", "--no-counter", "--no-percent-c",
          "--separator", "|"},
         "RW|HW|Text\r\n12.345|3.5|%%c12\r\n1|2.000|x\r\n"},
    };
    for (const Case& c : kCases) {
        std::filesystem::remove(m_dir / "other.txt");
        const CliResult r = run(c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        const bool other = std::find(c.args.begin(), c.args.end(), "other.txt") != c.args.end();
        EXPECT_EQ(output(other ? "other.txt" : "out.txt"), c.table) << c.args.front();
    }
}

TEST_F(CliTest, FallbacksOfTheTextBoxes) {
    // "trennzeich=" empty shows ";", an absent key leaves the box empty.
    WriteFile(m_dir / "velunt.ini",
              "dxfpath=in.dxf\r\ntxtpath=out.txt\r\nmasterkey=TEXT\r\ntrennzeich=\r\n"
              "[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n");
    EXPECT_EQ(run({"--no-counter"}).status, 0);
    EXPECT_EQ(output(), "RW;HW\r\n12.345;3.5\r\n1;2.000\r\n");
    WriteFile(m_dir / "velunt.ini",
              "dxfpath=in.dxf\r\ntxtpath=out.txt\r\nmasterkey=TEXT\r\n"
              "[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n");
    EXPECT_EQ(run({"--no-counter"}).status, 0);
    EXPECT_EQ(output(), "RWHW\r\n12.3453.5\r\n12.000\r\n");
}

TEST_F(CliTest, ExitStatusesAndMessages) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string errStart;
    };
    const Case kCases[] = {
        {{"--dxf", "missing.dxf"}, 1, "Fehler: 53: Datei nicht gefunden\n"},
        {{"--dxf", "/dev/zero"}, 1, "Fehler: 75: "},  // a device, not an endless line
        {{"--txt", "in.dxf"}, 1, "Fehler: 75: "},
        {{"--ini", "nothing.ini"}, 2, "nothing.ini: Fehler: 53: Datei nicht gefunden\n"},
        {{"--ini", "bad.ini"},
         2,
         "bad.ini: Fehler: 5: Ungültiger Prozeduraufruf oder ungültiges Argument\n"},
        {{"--bogus"}, 64, "velunt-cli: unbekannte Option --bogus\n"},
        {{"--ini", "nothing.ini", "--rw"}, 64, "velunt-cli: Option --rw braucht einen Wert\n"},
        {{"in.dxf", "--dxf", "in.dxf"}, 64, "velunt-cli: "},
        {{"--out-dir", "x"}, 64, "velunt-cli: "},
        {{"in.dxf", "--jobs", "0"}, 64, "velunt-cli: "},
    };
    WriteFile(m_dir / "bad.ini", "[Spalten]\r\nno bar\r\n");
    for (const Case& c : kCases) {
        const CliResult r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.front();
        EXPECT_EQ(r.err.substr(0, c.errStart.size()), c.errStart) << c.args.front();
    }
    EXPECT_EQ(ReadFile(m_dir / "in.dxf"), kDrawing);
}

TEST_F(CliTest, HelpAndVersionExitZero) {
    const CliResult help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--separator"), std::string::npos);
    const CliResult version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("velunt-cli ", 0), 0u);
}

TEST_F(CliTest, OpensUmlautPathsFromAWindows1252Ini) {
    WriteFile(m_dir / std::filesystem::path(u8"Pläne.dxf"), kDrawing);
    WriteFile(m_dir / "velunt.ini",
              "dxfpath=Pl\xE4ne.dxf\r\ntxtpath=Ausgabe \xFC.txt\r\nmasterkey=TEXT\r\n"
              "trennzeich=;\r\n[Spalten]\r\n 10|1|R\xE4\r\n");
    const CliResult r = run({"--no-counter"});
    EXPECT_EQ(r.status, 0) << r.err;
    // The description's bytes pass through unchanged.
    EXPECT_EQ(ReadFile(m_dir / std::filesystem::path(u8"Ausgabe ü.txt")),
              "R\xE4\r\n12.345\r\n1\r\n");
}

}  // namespace
}  // namespace velunt::testing

namespace velunt::testing {
namespace {

// Several drawings, each into its own table.
class BatchTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        std::filesystem::create_directories(m_dir / "a");
        std::filesystem::create_directories(m_dir / "b");
        WriteFile(m_dir / "a" / "x.dxf", kDrawing);
        WriteFile(m_dir / "b" / "x.dxf", "  0\nTEXT\n 10\n7\n");
        WriteFile(m_dir / "b" / "cut.dxf", "  0\nTEXT\n 10\n1\n  0\nTEXT\n 10\n");
    }
};

TEST_F(BatchTest, EachDrawingGetsItsOwnTableAndFailuresAreReportedInOrder) {
    WriteFile(m_dir / "missing.txt", "kept");
    for (const char* jobs : {"1", "3"}) {
        const CliResult r = run({"--jobs", jobs, "a/x.dxf", "missing.dxf", "b/cut.dxf", "b/x.dxf"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err,
                  "missing.dxf: Fehler: 53: Datei nicht gefunden\n"
                  "b/cut.dxf: Fehler: 62: Eingabe nach Dateiende\n");
        EXPECT_EQ(output("a/x.txt"), "RW;HW;Text;Index\r\n12.345;3.5;012;1\r\n1;2.000;x;2\r\n");
        EXPECT_EQ(output("b/x.txt"), "RW;HW;Text;Index\r\n7;;;1\r\n");
        EXPECT_EQ(output("b/cut.txt"), "RW;HW;Text;Index\r\n1;;;1\r\n");  // lines before the error
        EXPECT_EQ(output("missing.txt"), "kept");  // a missing drawing empties no table
    }
    EXPECT_EQ(run({"a/x.dxf", "b/x.dxf"}).status, 0);
}

TEST_F(BatchTest, ATableIsNeverWrittenTwiceNorOverADrawing) {
    std::filesystem::create_directories(m_dir / "out");
    const CliResult r = run({"--out-dir", "out", "a/x.dxf", "b/x.dxf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("b/x.dxf: Fehler: 58: ", 0), 0u) << r.err;
    EXPECT_EQ(output("out/x.txt"), "RW;HW;Text;Index\r\n12.345;3.5;012;1\r\n1;2.000;x;2\r\n");

    // The table of a/x.dxf would be the drawing a/x.txt named with it.
    WriteFile(m_dir / "a" / "x.txt", kDrawing);
    const CliResult clash = run({"a/x.dxf", "a/x.txt"});
    EXPECT_EQ(clash.status, 1);
    EXPECT_EQ(clash.err.rfind("a/x.dxf: Fehler: 75: ", 0), 0u) << clash.err;
    EXPECT_NE(clash.err.find("a/x.txt: Fehler: 75: "), std::string::npos) << clash.err;
    EXPECT_EQ(output("a/x.txt"), kDrawing);
}

TEST(Batch, SeveralJobsWriteWhatOneJobWrites) {
    const std::filesystem::path samples = std::filesystem::path(VELUNT_SHARED_DIR) / "samples";
    if (!std::filesystem::exists(samples)) GTEST_SKIP() << "no samples";
    TempDir dir;
    WriteFile(dir / "velunt.ini",
              "masterkey=TEXT\r\ntrennzeich=;\r\n[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n  1|3|T\r\n");
    std::vector<std::string> drawings;
    for (const auto& entry : std::filesystem::directory_iterator(samples))
        if (entry.path().extension() == ".dxf") drawings.push_back(entry.path().string());
    std::sort(drawings.begin(), drawings.end());
    std::filesystem::create_directories(dir / "one");
    std::filesystem::create_directories(dir / "two");
    std::vector<std::string> args1 = {"--jobs", "1", "--out-dir", "one"};
    std::vector<std::string> args2 = {"--jobs", "2", "--out-dir", "two"};
    args1.insert(args1.end(), drawings.begin(), drawings.end());
    args2.insert(args2.end(), drawings.begin(), drawings.end());
    const CliResult one = RunCli(dir.path(), args1);
    const CliResult two = RunCli(dir.path(), args2);
    EXPECT_EQ(one.status, two.status);
    EXPECT_EQ(one.err, two.err);
    size_t compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "one")) {
        EXPECT_EQ(ReadFile(entry.path()), ReadFile(dir / "two" / entry.path().filename()))
            << entry.path().filename();
        ++compared;
    }
    EXPECT_GT(compared, 20u);
}

}  // namespace
}  // namespace velunt::testing

namespace velunt::testing {
namespace {

// Without velunt.ini in the working directory, the one in the user's
// configuration folder is read; its relative paths still mean the working
// directory. Without either, every place looked at is named.
TEST_F(CliTest, ReadsVeluntIniFromTheConfigurationFolderOrNamesWhereItLooked) {
    TempDir home;
    ScopedEnvironment environment;
    environment.set("HOME", home.path().string());
    environment.set("XDG_CONFIG_HOME", std::nullopt);
    std::filesystem::remove(m_dir / "velunt.ini");
    std::filesystem::create_directories(home / ".config" / "velunt");
    WriteFile(home / ".config" / "velunt" / "velunt.ini", kIni);

    const CliResult found = run({"--no-counter"});
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(output(), "RW;HW;Text\r\n12.345;3.5;012\r\n1;2.000;x\r\n");

    std::filesystem::remove(home / ".config" / "velunt" / "velunt.ini");
    const CliResult missing = run({});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "velunt.ini: Fehler: 53: Datei nicht gefunden\nGesucht:\n  " +
                               (std::filesystem::canonical(m_dir.path()) / "velunt.ini").string() +
                               "\n  " + (home / ".config/velunt/velunt.ini").string() +
                               "\nBeispiel: /usr/share/doc/velunt/examples/velunt.ini\n");
}

}  // namespace
}  // namespace velunt::testing
