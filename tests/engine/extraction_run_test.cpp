#include "engine/extraction_run.h"

#include <gtest/gtest.h>

#include "config/config_loader.h"
#include "engine/run_warnings.h"
#include "extraction_run_fixture.h"
#include "test_files.h"

namespace velunt {
namespace {

const std::string kTwoTexts =
    dxf({"  0", "SECTION", "  2", "ENTITIES", "  0", "TEXT", "  8", "L",      " 10", "12.5",
         " 20", " 3.25",   "  1", " Nr. 1 ",  "  0", "LINE", " 10", "99",     "  0", "TEXT",
         " 10", "1",       " 20", "2",        "  1", "%%c5", "  0", "ENDSEC", "  0", "EOF"});

TEST_F(ExtractionRunTest, WritesHeaderAndOneLinePerObject) {
    EXPECT_EQ(run(kTextIni, kTwoTexts), "RW;HW;Text;Index\r\n12.5;3.25;Nr. 1;1\r\n1;2;05;2\r\n");
    EXPECT_TRUE(m_result.succeeded);
    EXPECT_EQ(m_result.objectCount, 2);
    EXPECT_TRUE(m_report.errors.empty());
}

TEST_F(ExtractionRunTest, AcceptsEveryLineEnd) {
    const std::string expected = "RW;HW;Text;Index\r\n12.5;3.25;Nr. 1;1\r\n1;2;05;2\r\n";
    for (const char* end : {"\n", "\r"}) {
        std::string drawing = kTwoTexts;
        std::string converted;
        for (size_t i = 0; i < drawing.size(); ++i) {
            if (drawing.compare(i, 2, "\r\n") == 0) {
                converted += end;
                ++i;
            } else {
                converted += drawing[i];
            }
        }
        EXPECT_EQ(run(kTextIni, converted), expected);
    }
}

TEST_F(ExtractionRunTest, ScanFollowsTheTableOrder) {
    struct Case {
        const char* name;
        std::string ini;
        std::string drawing;
        std::string output;
    };
    const std::string twoKeysIni =
        "masterkey=TEXT\r\ntrennzeich=;\r\n[Spalten]\r\n 10|1|X\r\n 10|2|X2\r\n";
    const Case kCases[] = {
        {"no object of the master type: header without Index", kTextIni,
         dxf({"  0", "LINE", " 10", "1"}), "RW;HW;Text\r\n"},
        {"empty drawing", kTextIni, "", "RW;HW;Text\r\n"},
        {"unpadded group codes read as the standard layout", kTextIni,
         dxf({"0", "TEXT", "10", "1"}), "RW;HW;Text;Index\r\n1;;;1\r\n"},
        {"master key in other case", kTextIni, dxf({"  0", "Text", " 10", "1"}), "RW;HW;Text\r\n"},
        {"keys out of order: fields from the first out-of-order key stay empty", kTextIni,
         dxf({"  0", "TEXT", " 20", "2", " 10", "1", "  1", "t"}), "RW;HW;Text;Index\r\n1;;;1\r\n"},
        {"a repeated key takes the next occurrences", twoKeysIni,
         dxf({"  0", "LWPOLYLINE", "  0", "TEXT", " 10", "1", " 10", "2", " 10", "3"}),
         "X;X2;Index\r\n1;2;1\r\n"},
        {"captures stop at the next object of any type", kTextIni,
         dxf({"  0", "TEXT", " 10", "1", "  0", "LINE", " 20", "2"}),
         "RW;HW;Text;Index\r\n1;;;1\r\n"},
        {"a captured value of \"  0\" is no object start", kTextIni,
         dxf({"  0", "TEXT", " 10", "  0", " 20", "TEXT", "  1", "x"}),
         "RW;HW;Text;Index\r\n0;TEXT;x;1\r\n"},
        {"lines before the first object are not captured", kTextIni,
         dxf({" 10", "7", "  0", "TEXT", " 20", "2"}), "RW;HW;Text;Index\r\n;;;1\r\n"},
        {"a type line equal to the first key is taken as key line",
         "masterkey=TEXT\r\ntrennzeich=;\r\n[Spalten]\r\nTEXT|1|T\r\n",
         dxf({"  0", "TEXT", "value"}), "T;Index\r\nvalue;1\r\n"},
        {"a file without header has empty keys, which match empty lines", "masterkey=TEXT\r\n",
         dxf({"  0", "TEXT", "", "x", "", "y"}), ";Index\r\n;1\r\n"},
        {"an empty velunt.ini captures nothing and raises no error", "",
         dxf({"  0", "", "", "x", "", "y"}), ";Index\r\n;1\r\n"},
    };
    for (const Case& c : kCases) {
        m_report.errors.clear();
        EXPECT_EQ(run(c.ini, c.drawing), c.output) << c.name;
        EXPECT_TRUE(m_report.errors.empty()) << c.name;
    }
}

TEST_F(ExtractionRunTest, TruncatedDrawingKeepsTheLinesWritten) {
    struct Case {
        std::string drawing;
        std::string output;
    };
    const Case kCases[] = {
        {dxf({"  0", "TEXT", " 10", "1", "  0"}), "RW;HW;Text;Index\r\n"},
        {dxf({"  0", "TEXT", " 10", "1", "  0", "TEXT", " 10"}), "RW;HW;Text;Index\r\n1;;;1\r\n"},
        {dxf({"  0", "TEXT", " 10", "1", "  0", "TEXT"}).append(" 10"),
         "RW;HW;Text;Index\r\n1;;;1\r\n"},
    };
    for (const Case& c : kCases) {
        m_report.errors.clear();
        EXPECT_EQ(run(kTextIni, c.drawing), c.output);
        EXPECT_EQ(lastError(), 62);
        EXPECT_FALSE(m_result.succeeded);
    }
}

TEST_F(ExtractionRunTest, MissingDrawingKeepsTheOutputAndReports53) {
    run(kTextIni, "");
    WriteFile(m_dir / "out.txt", "old contents");
    m_settings.dxfpath = m_dir / "missing.dxf";
    EXPECT_EQ(again(), "old contents");
    ASSERT_EQ(m_report.errors.size(), 1u);
    EXPECT_EQ(m_report.errors[0].number, 53);
    EXPECT_EQ(m_report.errors[0].description,
              "Datei nicht gefunden: Zeichnung „" + PathText(m_dir / "missing.dxf") + "“");
    m_settings.dxfpath = m_dir / "no folder" / "in.dxf";
    again();
    EXPECT_EQ(lastError(), 76);
}

TEST_F(ExtractionRunTest, ReadsEveryGroupCodeLayout) {
    const char* const kFiles[] = {
        "unpadded_lf.dxf",          "two_wide_codes.dxf",
        "four_wide_codes.dxf",      "standard_header_unpadded_entities.dxf",
        "pairing_lost_at_name.dxf", "bom_then_unpadded.dxf",
        "left_aligned_codes.dxf",
    };
    const std::string numberKeysIni =
        "masterkey=TEXT\r\ntrennzeich=;\r\n[Spalten]\r\n10|1|RW\r\n 20 |2|HW\r\n1|3|Text\r\n\r\n";
    for (const char* name : kFiles) {
        const std::string drawing = ReadFile(std::filesystem::path(VELUNT_TEST_DATA) / name);
        EXPECT_EQ(run(kTextIni, drawing), "RW;HW;Text;Index\r\n1.5;2.5;A;1\r\n") << name;
        EXPECT_EQ(run(numberKeysIni, drawing), "RW;HW;Text;Index\r\n1.5;2.5;A;1\r\n") << name;
    }
}

TEST_F(ExtractionRunTest, ShiftAmountsMustBeNumbers) {
    struct Case {
        bool shift;
        const char* rw;
        const char* hw;
        int error;
    };
    const Case kCases[] = {
        {true, "5700000,5", "0", 13}, {true, "0", "abc", 13},         {true, "1 2", "0", 13},
        {true, "", "  ", 0},          {true, "-100", "2500000.5", 0}, {false, "abc", "1,5", 0},
    };
    for (const Case& c : kCases) {
        m_settings.shiftCoordinates = c.shift;
        m_settings.rwShift = c.rw;
        m_settings.hwShift = c.hw;
        m_report.errors.clear();
        WriteFile(m_dir / "out.txt", "old contents");
        const std::string table = run(kTextIni, kTwoTexts);
        EXPECT_EQ(lastError(), c.error) << c.rw << " " << c.hw;
        if (c.error != 0) {
            EXPECT_EQ(table, "old contents");  // refused before anything is touched
            EXPECT_NE(
                m_report.errors[0].description.find(c.error == 13 && *c.hw == 'a' ? "HW" : "RW"),
                std::string::npos);
        }
    }
}

TEST_F(ExtractionRunTest, ASecondRunWritesTheSameTable) {
    const std::string first = run(kTextIni, kTwoTexts);
    EXPECT_EQ(again(), first);
    // Also after a failed run.
    const auto drawing = m_settings.dxfpath;
    m_settings.dxfpath = m_dir / "missing.dxf";
    again();
    EXPECT_EQ(lastError(), 53);
    m_settings.dxfpath = drawing;
    EXPECT_EQ(again(), first);
    EXPECT_EQ(m_report.errors.size(), 1u);
}

TEST_F(ExtractionRunTest, NeverWritesOverTheDrawingOrTheConfiguration) {
    run(kTextIni, kTwoTexts);
    std::filesystem::create_symlink(m_dir / "in.dxf", m_dir / "link.dxf");
    std::filesystem::create_hard_link(m_dir / "in.dxf", m_dir / "hard.dxf");
    const std::filesystem::path targets[] = {m_dir / "in.dxf", m_dir / "." / "in.dxf",
                                             m_dir / "link.dxf", m_dir / "hard.dxf",
                                             m_dir / "velunt.ini"};
    for (const auto& target : targets) {
        m_report.errors.clear();
        m_settings.txtpath = target;
        again();
        ASSERT_EQ(m_report.errors.size(), 1u) << target;
        EXPECT_EQ(m_report.errors[0].number, 75) << target;
        EXPECT_EQ(ReadFile(m_dir / "in.dxf"), kTwoTexts);
    }
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.path());
    m_settings.txtpath = "in.dxf";
    again();
    std::filesystem::current_path(cwd);
    EXPECT_EQ(lastError(), 75);
    EXPECT_EQ(ReadFile(m_dir / "in.dxf"), kTwoTexts);
}

// Marks that would spoil every line stop the run before the old table is
// touched, with a description naming the mark.
TEST_F(ExtractionRunTest, RefusesMarksThatWouldSpoilEveryLine) {
    struct Case {
        const char* separator;
        const char* decimalMark;
        bool replaceDecimalPoint;
        const char* named;  // in the description; null: the run goes ahead
    };
    const Case kCases[] = {
        {",", ",", true, "Dezimalzeichen und Trennzeichen sind beide „,“"},
        {"", "", true, "Trennzeichen und Dezimalzeichen sind leer"},
        {"", ",", true, "Das Trennzeichen ist leer"},
        {"", ",", false, "Das Trennzeichen ist leer"},
        {";", "", true, "Das Dezimalzeichen ist leer"},
        {",", ",", false, nullptr},  // without the step the decimal mark is not looked at
        {";", "", false, nullptr},
    };
    const std::string ini = "masterkey=TEXT\r\n[Spalten]\r\n 10|1|X\r\n";
    for (const Case& c : kCases) {
        WriteFile(m_dir / "out.txt", "old");
        m_settings.txtpath = m_dir / "out.txt";
        m_report.errors.clear();
        WriteFile(m_dir / "velunt.ini", ini);
        WriteFile(m_dir / "in.dxf", kTwoTexts);
        m_config = ConfigLoader(m_dir / "velunt.ini");
        m_settings.dxfpath = m_dir / "in.dxf";
        m_settings.separator = c.separator;
        m_settings.decimalMark = c.decimalMark;
        m_settings.replaceDecimalPoint = c.replaceDecimalPoint;
        const std::string table = again();
        if (!c.named) {
            EXPECT_TRUE(m_report.errors.empty()) << c.separator << c.decimalMark;
            EXPECT_EQ(table, std::string("X") + c.separator + "Index\r\n12.5" + c.separator +
                                 "1\r\n1" + c.separator + "2\r\n");
            continue;
        }
        EXPECT_EQ(table, "old");
        ASSERT_EQ(lastError(), 5) << c.named;
        EXPECT_EQ(m_report.errors.back().description.rfind(c.named, 0), 0u)
            << m_report.errors.back().description;
    }
}

TEST_F(ExtractionRunTest, RefusesABinaryDrawingBeforeTouchingTheOutput) {
    WriteFile(m_dir / "out.txt", "old");
    m_settings.txtpath = m_dir / "out.txt";
    EXPECT_EQ(run(kTextIni, std::string("AutoCAD Binary DXF\r\n\x1a\0\x01\x02", 24)), "old");
    EXPECT_EQ(lastError(), 321);
}

TEST_F(ExtractionRunTest, ReportsAFullDisk) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    run(kTextIni, kTwoTexts);
    m_settings.txtpath = "/dev/full";
    again();
    EXPECT_EQ(lastError(), 61);
    EXPECT_FALSE(m_result.succeeded);
}

TEST_F(ExtractionRunTest, OutputFolderProblemsAreReported) {
    struct Case {
        std::filesystem::path output;
        int number;
    };
    const Case kCases[] = {
        {m_dir / "no such folder" / "out.txt", 76},
        {m_dir.path(), 75},
        {"", 75},
    };
    run(kTextIni, kTwoTexts);
    for (const Case& c : kCases) {
        m_report.errors.clear();
        m_settings.txtpath = c.output;
        again();
        EXPECT_EQ(lastError(), c.number) << c.output;
        EXPECT_EQ(ReadFile(m_dir / "in.dxf"), kTwoTexts);
    }
}

}  // namespace
}  // namespace velunt

namespace velunt {
namespace {

class RecordingObserver : public RunObserver {
public:
    explicit RecordingObserver(bool stop) : m_stop(stop) {}
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    bool progress(std::uint64_t bytesRead, std::uint64_t totalBytes) override {
        calls.emplace_back(bytesRead, totalBytes);
        return !m_stop;
    }

private:
    bool m_stop;
};

TEST_F(ExtractionRunTest, ReportsProgressAndStopsWhenAsked) {
    run(kTextIni, kTwoTexts);
    RecordingObserver watching(false);
    m_result = ExtractionRun(m_settings, m_config, m_report, &watching);
    EXPECT_TRUE(m_result.succeeded);
    ASSERT_FALSE(watching.calls.empty());  // also a drawing of one block
    EXPECT_EQ(watching.calls.back(),
              std::make_pair(std::uint64_t{kTwoTexts.size()}, std::uint64_t{kTwoTexts.size()}));

    const std::string table = ReadFile(m_settings.txtpath);
    RecordingObserver stopping(true);
    m_result = ExtractionRun(m_settings, m_config, m_report, &stopping);
    EXPECT_FALSE(m_result.succeeded);
    EXPECT_EQ(lastError(), 18);
    EXPECT_EQ(m_report.errors.back().description, "Benutzerunterbrechung");
    // Stopped at the first block, before the table was touched.
    EXPECT_EQ(ReadFile(m_settings.txtpath), table);
}

}  // namespace
}  // namespace velunt

namespace velunt {
namespace {

// The same pass counts every object type of a drawing without objects of the
// master type, and marks the columns found: what the warnings after a run are
// made of. More distinct types than the counter keeps must neither crash nor
// lose the counts of the ones kept.
TEST_F(ExtractionRunTest, CountsObjectTypesAndColumnsFoundInTheSamePass) {
    std::string drawing = kTwoTexts;
    for (int i = 0; i < 600; ++i) drawing += "  0\r\nTYPE" + std::to_string(i % 300) + "\r\n";
    drawing += "  0\r\nLINE\r\n  0\r\nLINE\r\n";
    run("masterkey=CIRCLE\r\n[Spalten]\r\n 10|1|RW\r\n", drawing);
    ASSERT_TRUE(m_result.succeeded);
    EXPECT_EQ(m_result.objectCount, 0);
    ASSERT_EQ(m_result.typeCounts.size(), TypeCounter::kSlots - 1);
    EXPECT_EQ(m_result.typeCounts[0].type, "LINE");
    EXPECT_EQ(m_result.typeCounts[0].count, 3);
    EXPECT_EQ(m_result.typeCounts[1].type, "TEXT");
    EXPECT_EQ(m_result.typeCounts[1].count, 2);
    EXPECT_EQ(m_result.typeCounts[2].count, 2);  // TYPEn, twice each
    const auto none = RunWarnings(m_result, m_config, "in.dxf");
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].rfind("Keine Objekte vom Typ „CIRCLE“ in in.dxf. Vorhanden: LINE 3, TEXT 2, "
                            "TYPE0 2,",
                            0),
              0u)
        << none[0];

    run("masterkey=TEXT\r\n[Spalten]\r\n 10|1|RW\r\n 40|2|H\r\n  1|3|T\r\n", drawing);
    EXPECT_TRUE(m_result.typeCounts.empty());
    EXPECT_EQ(m_result.columnFilled, (std::vector<bool>{true, false, false}));
    const auto warnings = RunWarnings(m_result, m_config, "in.dxf");
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find("„H“ (·40) blieb in allen 2 Objekten leer"), std::string::npos);
    EXPECT_NE(warnings[1].find("schon die Spalte davor, „H“ (·40)"), std::string::npos);
}

}  // namespace
}  // namespace velunt
