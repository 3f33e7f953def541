// velunt.ini files that are missing, empty, broken, huge or oddly encoded.
#include <algorithm>

#include "bad_input.h"
#include "scoped_environment.h"

namespace velunt::testing {
namespace {

const std::string kDrawing =
    "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nTEXT\r\n 10\r\n1.5\r\n 20\r\n2.5\r\n  1\r\nA\r\n"
    "  0\r\nTEXT\r\n 10\r\n3\r\n 20\r\n4\r\n  1\r\nB\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
const std::string kTable = "RW;HW;Text;Index\r\n1.5;2.5;A;1\r\n3;4;B;2\r\n";

// The settings of kIni, for files that bring their own column block.
const std::string kSettings =
    "dxfpath=in.dxf\r\ntxtpath=out.txt\r\nmasterkey=TEXT\r\ntrennzeich=;\r\ndezzeich=,\r\n";

class BadIni : public BadInputTest {
protected:
    void SetUp() override {
        BadInputTest::SetUp();
        writeDrawing(kDrawing);
    }
    // Loads `ini` as velunt.ini and runs with `args`.
    CliResult runWith(const std::string& ini, const std::vector<std::string>& args = {}) {
        WriteFile(path("velunt.ini"), ini);
        WriteFile(path("out.txt"), kOldOutput);
        return run(args);
    }
};

TEST_F(BadIni, MissingIniReports53AndTouchesNothing) {
    std::filesystem::remove(path("velunt.ini"));
    // Nor one in the user's configuration folder; the message goes on with
    // the places looked at.
    ScopedEnvironment environment;
    environment.set("HOME", m_dir.path().string());
    environment.set("XDG_CONFIG_HOME", std::nullopt);
    const CliResult r = run();
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("velunt.ini: Fehler: 53: Datei nicht gefunden\nGesucht:\n", 0), 0u)
        << r.err;
    EXPECT_EQ(output(), kOldOutput);
    EXPECT_TRUE(drawingUnchanged());
}

TEST_F(BadIni, EmptyIniCapturesNothing) {
    // No columns, no master key, no paths: with paths given, every line is
    // empty and no object matches.
    CliResult r = runWith("", {"--dxf", "in.dxf", "--txt", "out.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "Warnung: Keine Objekte in in.dxf: masterkey= fehlt in velunt.ini oder ist leer "
              "(z. B. masterkey=TEXT).\n");
    EXPECT_EQ(output(), "\r\n");
    // Without paths there is no drawing to open.
    r = runWith("");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Fehler: 53: Keine Zeichnung: dxfpath= fehlt in velunt.ini und keine gewählt (DXF "
              "wählen bzw. --dxf).\n");
    EXPECT_EQ(output(), kOldOutput);
    EXPECT_TRUE(drawingUnchanged());
}

// Every error of the loader's table ends velunt-cli with status 2 before the
// run begins: the old table and the drawing stay as they were. The one line
// names the line of velunt.ini and what is wrong with it.
TEST_F(BadIni, LoaderErrorsStopBeforeTheRun) {
    const std::string k5 = "velunt.ini: Fehler: 5: velunt.ini, Zeile ";
    const std::string k6 = "velunt.ini: Fehler: 6: Überlauf: velunt.ini, Zeile ";
    std::string manyLines;
    for (int i = 0; i < 32768; ++i) manyLines += "; Kommentar\r\n";
    std::string longBlock = "[Spalten]\r\n";
    for (int i = 0; i < 32768; ++i) longBlock += " 10|1|RW\r\n";
    struct Case {
        const char* what;
        std::string ini;
        std::string err;    // the start of the line
        std::string words;  // the line number and what the description must say
    };
    const Case kCases[] = {
        {"empty first block line", kSettings + "[Spalten]\r\n\r\n 10|1|RW\r\n", k5,
         "7: leere Zeile im Block [Spalten]"},
        {"block line without bar", kSettings + "[Spalten]\r\n 10|1|RW\r\n 20\r\n", k5,
         "8: „ 20“ braucht zwei Striche: Schlüssel|Spalte|Beschreibung"},
        {"settings line in the block", "[Spalten]\r\n 10|1|RW\r\n" + kSettings, k5,
         "3: „dxfpath=in.dxf“ braucht zwei Striche: Schlüssel|Spalte|Beschreibung (Einstellungen "
         "gehören vor [Spalten])"},
        {"block line with one bar", kSettings + "[Spalten]\r\n 10|1\r\n", k5, "7: „ 10|1“"},
        {"column number 40000", kSettings + "[Spalten]\r\n 10|40000|RW\r\n", k6,
         "7: Spalte 40000 (erlaubt bis 32767)"},
        {"column number -32769", kSettings + "[Spalten]\r\n 10|-32769|RW\r\n", k6,
         "7: Spalte -32769 (erlaubt ab -32768)"},
        {"column number 1e300", kSettings + "[Spalten]\r\n 10|1e300|RW\r\n", k6,
         "7: Spalte 1e300 (erlaubt bis 32767)"},
        {"column number 1e400", kSettings + "[Spalten]\r\n 10|1e400|RW\r\n", k6,
         "7: Spalte 1e400 (erlaubt bis 32767)"},
        {"column line of 40000 characters",
         kSettings + "[Spalten]\r\n 10|1|" + std::string(40000 - 6, 'x') + "\r\n", k6,
         "7: die Zeile ist länger als 32767 Zeichen"},
        {"more than 32767 lines without header", manyLines + kSettings, k6,
         "32768: mehr als 32767 Zeilen"},
        {"header after line 32767", manyLines + "[Spalten]\r\n 10|1|RW\r\n", k6,
         "32768: mehr als 32767 Zeilen"},
        {"block of 32768 lines", kSettings + longBlock, k6, "32774: mehr als 32767 Zeilen"},
        {"header as the last line", kSettings + "[Spalten]",
         "velunt.ini: Fehler: 62: Eingabe nach Dateiende: velunt.ini, Zeile ",
         "6: nach [Spalten] fehlen die Spaltenzeilen"},
        {"third header line",
         kSettings + "[Spalten]\r\n 10|1|RW\r\n\r\n[Spalten]\r\n 20|2|HW\r\n\r\n[Spalten]\r\n"
                     "  1|3|Text\r\n",
         "velunt.ini: Fehler: 9: Index außerhalb des gültigen Bereichs: velunt.ini, Zeile ",
         "13: kein Platz für diese Spaltenzeile: [Spalten] steht mehr als zweimal"},
    };
    for (const Case& c : kCases) {
        const CliResult r = runWith(c.ini);
        EXPECT_EQ(r.status, 2) << c.what;
        EXPECT_EQ(r.err.rfind(c.err + c.words, 0), 0u) << c.what << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.what;
        EXPECT_EQ(output(), kOldOutput) << c.what;
        EXPECT_TRUE(drawingUnchanged()) << c.what;
    }
}

// Files that are odd but sound load and give the same table as kIni.
TEST_F(BadIni, OddButSoundFilesLoad) {
    std::string comments;  // about 16 MB of lines after the block
    for (int i = 0; i < 400000; ++i) comments += "; Zeile " + std::to_string(i) + " ........\r\n";
    struct Case {
        const char* what;
        std::string ini;
    };
    const Case kCases[] = {
        {"CR, LF and CR LF mixed",
         "dxfpath=in.dxf\ntxtpath=out.txt\rmasterkey=TEXT\r\ntrennzeich=;\n\rdezzeich=,\r"
         "[Spalten]\n 10|1|RW\r 20|2|HW\r\n  1|3|Text\n\n[Ende]\r"},
        {"16 MB of comments after the block, settings at the end",
         "masterkey=LINE\r\n[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n  1|3|Text\r\n\r\n" + comments +
             kSettings},
        {"one line of 20 MB before the header", "; " + std::string(20 << 20, '-') + "\r\n" + kIni},
        {"a 40000-character comment outside the block",
         kIni + "; " + std::string(40000, '#') + "\r\n"},
        {"a UTF-8 byte-order mark",
         "\xEF\xBB\xBF[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n"
         "  1|3|Text\r\n\r\n" +
             kSettings},
    };
    for (const Case& c : kCases) {
        const CliResult r = runWith(c.ini);
        EXPECT_EQ(r.status, 0) << c.what << ": " << r.err;
        EXPECT_EQ(r.err, "") << c.what;
        EXPECT_EQ(output(), kTable) << c.what;
        EXPECT_TRUE(drawingUnchanged()) << c.what;
    }
}

// velunt.ini from another program: it is read once, so a pipe or a FIFO
// gives the whole configuration. A device (here stdin on /dev/null, as a
// terminal would be) is refused.
TEST_F(BadIni, IniFromAPipeOrFifoLoads) {
    struct Case {
        const char* script;
        int status;
        std::string err;
        std::string table;
    };
    const Case kCases[] = {
        {"cat velunt.ini | \"$VELUNT\" --ini /dev/stdin", 0, "", kTable},
        {"bash -c '\"$VELUNT\" --ini <(cat velunt.ini)'", 0, "", kTable},
        // Opened a second time, the FIFO would wait for a writer for ever.
        {"mkfifo ini.fifo && (timeout 20 sh -c 'cat velunt.ini >ini.fifo' &) && "
         "timeout 20 \"$VELUNT\" --ini ini.fifo",
         0, "", kTable},
        {"\"$VELUNT\" --ini /dev/stdin </dev/null", 2,
         "/dev/stdin: Fehler: 75: Fehler beim Zugriff auf Pfad/Datei: velunt.ini „/dev/stdin“ ist "
         "ein Gerät, keine Datei\n",
         kOldOutput},
    };
    for (const Case& c : kCases) {
        WriteFile(path("out.txt"), kOldOutput);
        const CliResult r = runScript(c.script);
        EXPECT_EQ(r.status, c.status) << c.script;
        EXPECT_EQ(r.err, c.err) << c.script;
        EXPECT_EQ(output(), c.table) << c.script;
        std::filesystem::remove(path("ini.fifo"));
    }
}

TEST_F(BadIni, NonUtf8BytesPassThroughUnchanged) {
    // Not valid UTF-8, so read as Windows-1252: descriptions and the master
    // key are compared and written as the file's bytes.
    const std::string nul(1, '\0');
    const std::string drawing =
        "  0\r\nT\xC4XT\r\n 10\r\n1\r\n 20\r\n2\r\n  1\r\n\xFC" + nul + "\r\n  0\r\nEOF\r\n";
    writeDrawing(drawing);
    const std::string ini =
        "dxfpath=in.dxf\r\ntxtpath=out.txt\r\nmasterkey=T\xC4XT\r\n"
        "trennzeich=\xA7\r\n[Spalten]\r\n 10|1|R\xE4\r\n 20|2|\xFF\xFEH\r\n"
        "  1|3|\x80\xC0\xAF" +
        nul + "\r\n";
    const CliResult r = runWith(ini);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(output(), "R\xE4\xA7\xFF\xFEH\xA7\x80\xC0\xAF" + nul +
                            "\xA7Index\r\n1\xA7"
                            "2\xA7\xFC" +
                            nul +
                            "\xA7"
                            "1\r\n");
    EXPECT_TRUE(drawingUnchanged());
}

}  // namespace
}  // namespace velunt::testing
