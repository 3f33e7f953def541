// Output paths that cannot be written, and output paths that name the
// drawing or velunt.ini.
#include <unistd.h>

#include "bad_input.h"

namespace velunt::testing {
namespace {

const std::string kDrawing =
    "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nTEXT\r\n 10\r\n1.5\r\n 20\r\n2.5\r\n  1\r\nA\r\n"
    "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";

class BadOutput : public BadInputTest {
protected:
    void SetUp() override {
        BadInputTest::SetUp();
        writeDrawing(kDrawing);
    }
};

TEST_F(BadOutput, UnwritablePathsAreReported) {
    std::filesystem::create_directory(path("ordner"));
    struct Case {
        std::string txt;
        std::string err;
    };
    const Case kCases[] = {
        {"fehlt/out.txt",
         "Fehler: 76: Pfad nicht gefunden: Ausgabedatei „fehlt/out.txt“ (voller Pfad: "
         "DIR/fehlt/out.txt): Ordner „fehlt“ fehlt\n"},
        {"fehlt/auch/out.txt",
         "Fehler: 76: Pfad nicht gefunden: Ausgabedatei „fehlt/auch/out.txt“ (voller Pfad: "
         "DIR/fehlt/auch/out.txt): Ordner „fehlt/auch“ fehlt\n"},
        {"in.dxf/out.txt",  // a file on the way
         "Fehler: 76: Pfad nicht gefunden: Ausgabedatei „in.dxf/out.txt“ (voller Pfad: "
         "DIR/in.dxf/out.txt): „in.dxf“ ist eine Datei, kein Ordner\n"},
        {"ordner",
         "Fehler: 75: Fehler beim Zugriff auf Pfad/Datei: Ausgabedatei „ordner“ ist ein Ordner, "
         "keine Datei\n"},
        {"ordner/",
         "Fehler: 75: Fehler beim Zugriff auf Pfad/Datei: Ausgabedatei „ordner/“ ist ein Ordner, "
         "keine Datei\n"},
        // The write fails, not the open: the error must not be swallowed.
        {"/dev/full",
         "Fehler: 61: Datenträger voll: Ausgabedatei „/dev/full“: Platz schaffen und erneut "
         "auslesen\n"},
    };
    for (const Case& c : kCases) {
        const CliResult r = run({"--txt", c.txt});
        EXPECT_EQ(r.status, 1) << c.txt;
        // DIR: the working directory a relative path was looked for from.
        std::string err = c.err;
        if (const size_t at = err.find("DIR"); at != std::string::npos)
            err.replace(at, 3, std::filesystem::canonical(path(".")).string());
        EXPECT_EQ(r.err, err) << c.txt;
        EXPECT_TRUE(drawingUnchanged()) << c.txt;
        EXPECT_EQ(output(), kOldOutput) << c.txt;
    }
    EXPECT_FALSE(std::filesystem::exists(path("fehlt")));
    EXPECT_TRUE(std::filesystem::is_empty(path("ordner")));
}

TEST_F(BadOutput, ReadOnlyOutputReports70) {
    if (::geteuid() == 0) {
        // Permissions do not hold for root; no one can create a file in
        // sysfs, whether it is mounted read-only or not.
        if (!std::filesystem::is_directory("/sys/kernel"))
            GTEST_SKIP() << "running as root without /sys: no path that root cannot write";
        const CliResult r = run({"--txt", "/sys/velunt-out.txt"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err,
                  "Fehler: 70: Zugriff verweigert: Ausgabedatei „/sys/velunt-out.txt“ ist "
                  "schreibgeschützt oder gesperrt\n");
        EXPECT_TRUE(drawingUnchanged());
        EXPECT_FALSE(std::filesystem::exists("/sys/velunt-out.txt"));
        return;
    }
    std::filesystem::permissions(path("out.txt"), std::filesystem::perms::owner_read);
    std::filesystem::create_directory(path("fest"));
    std::filesystem::permissions(
        path("fest"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    for (const std::string txt : {"out.txt", "fest/out.txt"}) {
        const CliResult r = run({"--txt", txt});
        EXPECT_EQ(r.status, 1) << txt;
        EXPECT_EQ(r.err, "Fehler: 70: Zugriff verweigert: Ausgabedatei „" + txt +
                             "“ ist schreibgeschützt oder gesperrt\n")
            << txt;
        EXPECT_TRUE(drawingUnchanged()) << txt;
    }
    EXPECT_EQ(output(), kOldOutput);
    EXPECT_FALSE(std::filesystem::exists(path("fest/out.txt")));
    std::filesystem::permissions(path("fest"), std::filesystem::perms::owner_all);
}

// A separator or decimal mark with a line break would split the table's
// lines; it is refused with 5 before the table is touched.
TEST_F(BadOutput, LineBreaksInMarksAreRefused) {
    const std::string kSeparatorErr =
        "Fehler: 5: Das Trennzeichen enthält einen Zeilenumbruch (CR oder LF); jede Zeile der "
        "Tabelle würde auf zwei Zeilen geteilt.\n";
    const std::string kMarkErr =
        "Fehler: 5: Das Dezimalzeichen enthält einen Zeilenumbruch (CR oder LF); jede Zeile mit "
        "einer Dezimalzahl würde auf zwei Zeilen geteilt.\n";
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case kCases[] = {
        {{"--separator", "\r\n"}, kSeparatorErr},
        {{"--separator", ";\n"}, kSeparatorErr},
        {{"--separator", "\r"}, kSeparatorErr},
        {{"--replace-decimal-point", "--decimal-mark", "\n"}, kMarkErr},
        {{"--replace-decimal-point", "--decimal-mark", ",\r"}, kMarkErr},
    };
    for (const Case& c : kCases) {
        const CliResult r = run(c.args);
        const std::string what = ::testing::PrintToString(c.args.back());
        EXPECT_EQ(r.status, 1) << what;
        EXPECT_EQ(r.err, c.err) << what;
        EXPECT_EQ(output(), kOldOutput) << what;
    }
}

// The output may never be the drawing or velunt.ini, however it is named:
// the run stops with 75 before the output is created or emptied.
TEST_F(BadOutput, NamesOfTheDrawingOrTheIniAreRefused) {
    std::filesystem::create_directory(path("sub"));
    std::filesystem::create_symlink("in.dxf", path("link.dxf"));
    std::filesystem::create_hard_link(path("in.dxf"), path("hard.dxf"));
    std::filesystem::create_symlink("velunt.ini", path("link.ini"));
    std::filesystem::create_hard_link(path("velunt.ini"), path("hard.ini"));
    // The line names the output as given and says why it is refused.
    const std::string kDrawingErr = "ist die Zeichnung selbst; sie würde überschrieben.";
    const std::string kIniErr = "ist die Konfigurationsdatei velunt.ini; sie würde überschrieben.";
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case kCases[] = {
        {{"--txt", "in.dxf"}, kDrawingErr},
        {{"--txt", "./in.dxf"}, kDrawingErr},
        {{"--txt", "sub/../in.dxf"}, kDrawingErr},
        {{"--txt", path("in.dxf").string()}, kDrawingErr},
        {{"--txt", "link.dxf"}, kDrawingErr},
        {{"--txt", "hard.dxf"}, kDrawingErr},
        {{"--dxf", "link.dxf", "--txt", "hard.dxf"}, kDrawingErr},
        {{"--txt", "velunt.ini"}, kIniErr},
        {{"--txt", "sub/../velunt.ini"}, kIniErr},
        {{"--txt", "link.ini"}, kIniErr},
        {{"--txt", "hard.ini"}, kIniErr},
        {{"--ini", "hard.ini", "--txt", "velunt.ini"}, kIniErr},
    };
    for (const Case& c : kCases) {
        const CliResult r = run(c.args);
        const std::string what = c.args.back();
        EXPECT_EQ(r.status, 1) << what;
        const std::string start =
            "Fehler: 75: Fehler beim Zugriff auf Pfad/Datei: Ausgabedatei „" + what + "“ ";
        EXPECT_EQ(r.err.rfind(start + c.err, 0), 0u) << what << ": " << r.err;
        EXPECT_TRUE(drawingUnchanged()) << what;
        EXPECT_EQ(ReadFile(path("velunt.ini")), kIni) << what;
        EXPECT_EQ(output(), kOldOutput) << what;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.dxf")));
}

}  // namespace
}  // namespace velunt::testing
