// velunt-cli as a user runs it: exit statuses, messages, and the options that
// stand in for the window's fields.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli_process.h"
#include "scoped_environment.h"

namespace velunt::testing {
namespace {

const char* const kIni =
    "dxfpath=in.dxf\r\ntxtpath=out.txt\r\nmasterkey=TEXT\r\ntrennzeich=;\r\ndezzeich=,\r\n"
    "[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n  1|3|Text\r\n\r\n";
const char* const kDrawing =
    "  0\nTEXT\n 10\n12.345\n 20\n3.5\n  1\n%%c12\n  0\nTEXT\n 10\n1\n 20\n2.000\n  1\nx\n  "
    "0\nEOF\n";

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(m_dir / "velunt.ini", kIni);
        WriteFile(m_dir / "in.dxf", kDrawing);
    }
    CliResult run(const std::vector<std::string>& args) { return RunCli(m_dir.path(), args); }
    std::string output(const std::string& name = "out.txt") { return ReadFile(m_dir / name); }
    TempDir m_dir;
};

TEST_F(Cli, RunsWithWhatAFreshWindowHolds) {
    const CliResult r = run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(output(), "RW;HW;Text;Index\r\n12.345;3.5;012;1\r\n1;2.000;x;2\r\n");
}

TEST_F(Cli, OptionsOverrideTheWindowFields) {
    struct Case {
        std::vector<std::string> args;
        std::string table;
    };
    const Case kCases[] = {
        {{"--no-counter", "--no-percent-c"}, "RW;HW;Text\r\n12.345;3.5;%%c12\r\n1;2.000;x\r\n"},
        {{"--separator=\t", "--shift", "--rw", "-100", "--hw=0"},
         "RW\tHW\tText\tIndex\r\n-87.655\t3.5\t012\t1\r\n-99\t2\tx\t2\r\n"},
        {{"--replace-decimal-point"}, "RW;HW;Text;Index\r\n12,345;3,5;012;1\r\n1;2,000;x;2\r\n"},
        // Quoting touches only fields with the separator or a quote.
        {{"--quote", "--separator", "."},
         "RW.HW.Text.Index\r\n\"12.345\".\"3.5\".012.1\r\n1.\"2.000\".x.2\r\n"},
        {{"--quote", "--no-quote", "--separator", "."},
         "RW.HW.Text.Index\r\n12.345.3.5.012.1\r\n1.2.000.x.2\r\n"},
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

// velunt.ini sets the switches and shifts a run starts with; each option
// overrides its setting, both ways.
TEST_F(Cli, StartsFromTheSwitchesOfVeluntIniAndOptionsOverrideThem) {
    WriteFile(m_dir / "utm.ini",
              std::string("verschiebung=1\r\nrw=32000000\r\nhw=0\r\ndezersetzen=1\r\n"
                          "zaehler=0\r\nprozentc=0\r\n") +
                  kIni);
    struct Case {
        std::vector<std::string> args;
        std::string table;
    };
    const Case kCases[] = {
        {{}, "RW;HW;Text\r\n32000012,345;3,5;%%c12\r\n32000001;2;x\r\n"},
        {{"--no-shift", "--no-replace-decimal-point", "--counter", "--percent-c"},
         "RW;HW;Text;Index\r\n12.345;3.5;012;1\r\n1;2.000;x;2\r\n"},
        {{"--rw", "1"}, "RW;HW;Text\r\n13,345;3,5;%%c12\r\n2;2;x\r\n"},
    };
    for (const Case& c : kCases) {
        std::vector<std::string> args = {"--ini", "utm.ini"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(output(), c.table) << (c.args.empty() ? "" : c.args.front());
    }
    // A value that is neither 1 nor 0 stops before the run.
    WriteFile(m_dir / "bad.ini", std::string("verschiebung=ja\r\n") + kIni);
    const CliResult bad = run({"--ini", "bad.ini"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("bad.ini, Zeile 1: verschiebung=„ja“"), std::string::npos) << bad.err;
}

TEST_F(Cli, FallbacksOfTheTextBoxes) {
    // "trennzeich=" empty or absent shows ";", "dezzeich=" empty or absent ".".
    for (const char* marks : {"trennzeich=\r\ndezzeich=\r\n", ""}) {
        WriteFile(m_dir / "velunt.ini",
                  std::string("dxfpath=in.dxf\r\ntxtpath=out.txt\r\nmasterkey=TEXT\r\n") + marks +
                      "[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n");
        EXPECT_EQ(run({"--no-counter", "--replace-decimal-point"}).status, 0);
        EXPECT_EQ(output(), "RW;HW\r\n12.345;3.5\r\n1;2.000\r\n") << marks;
    }
}

// Each situation a user can cause: the exit status, the start of the first
// line on stderr (its number), and the words its description must contain
// (what failed, where, and what to do).
TEST_F(Cli, ExitStatusesAndMessages) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string errStart;
        std::vector<std::string> words;
    };
    const Case kCases[] = {
        {{"--dxf", "missing.dxf"},
         1,
         "Fehler: 53: Datei nicht gefunden: ",
         {"Zeichnung „missing.dxf“"}},
        {{"--dxf", "/dev/zero"}, 1, "Fehler: 75: ", {"Zeichnung „/dev/zero“", "Gerät"}},
        {{"--txt", "in.dxf"}, 1, "Fehler: 75: ", {"Ausgabedatei „in.dxf“", "Zeichnung selbst"}},
        {{"--txt", "kein/out.txt"},
         1,
         "Fehler: 76: Pfad nicht gefunden: ",
         {"Ausgabedatei „kein/out.txt“", "Ordner „kein“ fehlt"}},
        {{"--txt", "ordner"}, 1, "Fehler: 75: ", {"Ausgabedatei „ordner“", "ist ein Ordner"}},
        {{"--ini", "notxt.ini"}, 1, "Fehler: 75: Keine Ausgabedatei: txtpath= fehlt", {"--txt"}},
        {{"--replace-decimal-point", "--decimal-mark", ";"},
         1,
         "Fehler: 5: ",
         {"Dezimalzeichen und Trennzeichen", "„;“", "zwei Spalten"}},
        {{"--separator", ""}, 1, "Fehler: 5: Das Trennzeichen ist leer", {"trennzeich="}},
        {{"--replace-decimal-point", "--decimal-mark", ""},
         1,
         "Fehler: 5: Das Dezimalzeichen ist leer",
         {"dezzeich=", "--replace-decimal-point"}},
        {{"--separator", "x"},
         0,
         "Warnung: 2 Felder enthalten das Trennzeichen (das erste in der Kopfzeile, Spalte 3 "
         "„Text“)",
         {"anfuehrung=1", "--quote"}},
        {{"--ini", "quote.ini"},
         2,
         "quote.ini: Fehler: 5: quote.ini, Zeile 2: anfuehrung=„ja“",
         {"erlaubt sind 1"}},
        {{"--ini", "nothing.ini"},
         2,
         "nothing.ini: Fehler: 53: Datei nicht gefunden: ",
         {"velunt.ini „nothing.ini“"}},
        {{"--ini", "bad.ini"},
         2,
         "bad.ini: Fehler: 5: ",
         {"bad.ini, Zeile 2: „no bar“ braucht zwei Striche: Schlüssel|Spalte|Beschreibung"}},
        {{"--ini", "wide.ini"},
         2,
         "wide.ini: Fehler: 6: Überlauf: ",
         {"wide.ini, Zeile 3: Spalte 99999 (erlaubt bis 32767)"}},
        {{"--ini", "last.ini"},
         2,
         "last.ini: Fehler: 62: Eingabe nach Dateiende: ",
         {"last.ini, Zeile 2", "Spaltenzeilen"}},
        {{"--out-dir", "in.dxf/x", "in.dxf"},
         1,
         "Fehler: 76: Pfad nicht gefunden: ",
         {"Ordner „in.dxf/x“", "(--out-dir)"}},
        {{"--ini", "lower.ini"},
         0,
         "Warnung: Keine Objekte vom Typ „text“ in in.dxf.",
         {"Vorhanden: TEXT 2.", "masterkey=TEXT"}},
        {{"--ini", "typo.ini"},
         0,
         "Warnung: typo.ini, Zeile 2: unbekannte Einstellung „trennzeichen“",
         {"trennzeich=", "dezzeich=", "abschnitt=", "kodierung=", "anfuehrung="}},
        {{"--ini", "order.ini"},
         0,
         "Warnung: Spalte „HW“ (·20) blieb in allen 2 Objekten leer",
         {"vor dem vorigen Schlüssel (··1)"}},
        {{"--bogus"},
         64,
         "velunt-cli: unbekannte Option „--bogus“\nMehr mit: velunt-cli --help\n",
         {}},
        {{"--ini", "nothing.ini", "--rw"},
         64,
         "velunt-cli: Option „--rw“ braucht einen Wert\n",
         {}},
        {{"in.dxf", "--dxf", "in.dxf"}, 64, "velunt-cli: Zeichnung „in.dxf“ und --dxf", {}},
        {{"--out-dir", "x"}, 64, "velunt-cli: --out-dir gilt nur mit Zeichnungen", {}},
        {{"in.dxf", "--jobs", "0"}, 64, "velunt-cli: --jobs „0“", {}},
    };
    WriteFile(m_dir / "bad.ini", "[Spalten]\r\nno bar\r\n");
    WriteFile(m_dir / "quote.ini", "masterkey=TEXT\r\nanfuehrung=ja\r\n");
    WriteFile(m_dir / "wide.ini", "masterkey=TEXT\r\n[Spalten]\r\n 10|99999|RW\r\n");
    WriteFile(m_dir / "last.ini", "masterkey=TEXT\r\n[Spalten]");
    WriteFile(m_dir / "notxt.ini", "dxfpath=in.dxf\r\nmasterkey=TEXT\r\n[Spalten]\r\n 10|1|RW\r\n");
    WriteFile(m_dir / "lower.ini", "dxfpath=in.dxf\r\ntxtpath=out.txt\r\nmasterkey=text\r\n");
    WriteFile(m_dir / "typo.ini",
              "dxfpath=in.dxf\r\ntrennzeichen=|\r\ntxtpath=out.txt\r\n"
              "masterkey=TEXT\r\n[Spalten]\r\n 10|1|RW\r\n");
    WriteFile(m_dir / "order.ini",
              "dxfpath=in.dxf\r\ntxtpath=out.txt\r\nmasterkey=TEXT\r\n"
              "[Spalten]\r\n  1|1|Text\r\n 20|2|HW\r\n");
    std::filesystem::create_directories(m_dir / "ordner");
    for (const Case& c : kCases) {
        const CliResult r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back();
        EXPECT_EQ(r.err.substr(0, c.errStart.size()), c.errStart) << c.args.back();
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), c.status == 64 ? 2 : 1) << r.err;
        for (const std::string& word : c.words)
            EXPECT_NE(r.err.find(word), std::string::npos) << word << " in " << r.err;
    }
    EXPECT_EQ(ReadFile(m_dir / "in.dxf"), kDrawing);
}

// -v names each drawing's table and count; a batch of several ends with a
// summary; a missing --out-dir is created with its parents.
TEST_F(Cli, VerboseLinesSummaryAndOutDirCreated) {
    WriteFile(m_dir / "b.dxf", kDrawing);
    const CliResult r = run({"-v", "--out-dir", "neu/tab", "in.dxf", "b.dxf"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "in.dxf → neu/tab/in.txt: 2 Objekte (TEXT)\n"
              "b.dxf → neu/tab/b.txt: 2 Objekte (TEXT)\n"
              "2 Zeichnungen: 2 fertig, 0 Fehler\n");
    EXPECT_EQ(output("neu/tab/b.txt"), "RW;HW;Text;Index\r\n12.345;3.5;012;1\r\n1;2.000;x;2\r\n");
    EXPECT_EQ(run({"--verbose"}).err, "in.dxf → out.txt: 2 Objekte (TEXT)\n");
}

TEST_F(Cli, HelpAndVersionExitZero) {
    const CliResult help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--separator"), std::string::npos);
    EXPECT_NE(help.out.find("Schlüssel"), std::string::npos);
    EXPECT_EQ(run({"-h"}).out, help.out);
    const CliResult version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("velunt-cli ", 0), 0u);
}

TEST_F(Cli, OpensUmlautPathsFromAWindows1252Ini) {
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
class Batch : public Cli {
protected:
    void SetUp() override {
        Cli::SetUp();
        std::filesystem::create_directories(m_dir / "a");
        std::filesystem::create_directories(m_dir / "b");
        WriteFile(m_dir / "a" / "x.dxf", kDrawing);
        WriteFile(m_dir / "b" / "x.dxf", "  0\nTEXT\n 10\n7\n");
        WriteFile(m_dir / "b" / "cut.dxf", "  0\nTEXT\n 10\n1\n  0\nTEXT\n 10\n");
    }
};

TEST_F(Batch, EachDrawingGetsItsOwnTableAndFailuresAreReportedInOrder) {
    WriteFile(m_dir / "missing.txt", "kept");
    for (const char* jobs : {"1", "3"}) {
        const CliResult r = run({"--jobs", jobs, "a/x.dxf", "missing.dxf", "b/cut.dxf", "b/x.dxf"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(
            r.err,
            "missing.dxf: Fehler: 53: Datei nicht gefunden: Zeichnung „missing.dxf“ "
            "(voller Pfad: " +
                (std::filesystem::canonical(m_dir.path()) / "missing.dxf").string() +
                ")\n"
                "b/cut.dxf: Fehler: 62: Eingabe nach Dateiende: Zeichnung „b/cut.dxf“ endet "
                "mitten in einem Objekt (abgeschnitten?); die Zeilen davor stehen in der "
                "Tabelle.\n"
                "b/x.dxf: Warnung: Spalte „HW“ (·20) blieb im einzigen Objekt leer: steht der "
                "Code im Objekt vor dem vorigen Schlüssel (·10), oder fehlt er? Die Schlüssel "
                "müssen in der Reihenfolge stehen, in der die Codes im Objekt folgen.\n"
                "b/x.dxf: Warnung: Spalte „Text“ (··1) blieb im einzigen Objekt leer: schon "
                "die Spalte davor, „HW“ (·20), blieb leer, und ein fehlender Code leert alle "
                "Spalten nach ihm.\n"
                "4 Zeichnungen: 2 fertig, 2 Fehler\n");
        EXPECT_EQ(output("a/x.txt"), "RW;HW;Text;Index\r\n12.345;3.5;012;1\r\n1;2.000;x;2\r\n");
        EXPECT_EQ(output("b/x.txt"), "RW;HW;Text;Index\r\n7;;;1\r\n");
        EXPECT_EQ(output("b/cut.txt"), "RW;HW;Text;Index\r\n1;;;1\r\n");  // lines before the error
        EXPECT_EQ(output("missing.txt"), "kept");  // a missing drawing empties no table
    }
    EXPECT_EQ(run({"a/x.dxf", "b/x.dxf"}).status, 0);
}

TEST_F(Batch, ATableIsNeverWrittenTwiceNorOverADrawing) {
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

// Names that differ but lead to the same file: through "..", through a
// linked folder, or a table that is a link to another drawing.
TEST_F(Batch, ClashesAreFoundWhateverNamesLeadToTheFiles) {
    WriteFile(m_dir / "a" / "x.txt", kDrawing);
    WriteFile(m_dir / "a" / "y.dxf", kDrawing);
    std::filesystem::create_directory_symlink("a", m_dir / "l");
    std::filesystem::create_symlink("../b/x.dxf", m_dir / "a" / "y.txt");
    struct Case {
        std::vector<std::string> args;
        std::string refused;  // the start of the refused item's line
        std::string kept;     // a drawing that must stay as it was
    };
    const Case kCases[] = {
        {{"a/x.dxf", "l/x.txt"},
         "a/x.dxf: Fehler: 75: Die Tabelle a/x.txt würde die Zeichnung l/x.txt überschreiben.",
         "a/x.txt"},
        {{"a/y.dxf", "b/x.dxf"},
         "a/y.dxf: Fehler: 75: Die Tabelle a/y.txt würde die Zeichnung b/x.dxf überschreiben.",
         "b/x.dxf"},
        {{"a/x.dxf", "a/../a/x.dxf"}, "a/../a/x.dxf: Fehler: 58: ", ""},
    };
    for (const Case& c : kCases) {
        const std::string before = c.kept.empty() ? "" : output(c.kept);
        const CliResult r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.refused;
        EXPECT_NE(r.err.find(c.refused), std::string::npos) << r.err;
        if (!c.kept.empty()) {
            EXPECT_EQ(output(c.kept), before) << c.refused;
        }
    }
}

TEST_F(Batch, SeveralJobsWriteWhatOneJobWrites) {
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
TEST_F(Cli, ReadsVeluntIniFromTheConfigurationFolderOrNamesWhereItLooked) {
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
                               "\nBeispiel: /usr/share/doc/velunt/examples/velunt.ini"
                               "\nZum Start kopieren: mkdir -p " +
                               (home / ".config/velunt").string() +
                               " && cp /usr/share/doc/velunt/examples/velunt.ini " +
                               (home / ".config/velunt").string() + "/\n");
}

}  // namespace
}  // namespace velunt::testing
