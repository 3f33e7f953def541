// abschnitt= and kodierung= end to end through the run, on the small
// drawings in tests/data that each show one case.
#include <gtest/gtest.h>

#include "collected_errors.h"
#include "config/config_loader.h"
#include "engine/extraction_run.h"
#include "engine/table_text.h"
#include "test_files.h"

namespace velunt {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const std::filesystem::path kData = VELUNT_TEST_DATA;

// Loads `ini` and runs it over `drawing` with `section` and `encoding`;
// returns the table, or "error N" when the run failed.
std::string run(const std::string& ini, const std::filesystem::path& drawing,
                const std::string& section, TableEncoding encoding) {
    TempDir dir;
    WriteFile(dir / "velunt.ini", ini);
    const Configuration config = ConfigLoader(dir / "velunt.ini");
    RunSettings settings;
    settings.dxfpath = drawing;
    settings.txtpath = dir / "out.txt";
    settings.separator = InitialSeparator(config.settings);
    settings.decimalMark = InitialDecimalMark(config.settings);
    settings.section = section;
    settings.tableEncoding = encoding;
    testing::CollectedErrors report;
    ExtractionRun(settings, config, report);
    if (!report.errors.empty()) return "error " + std::to_string(report.errors[0].number);
    return ReadFile(settings.txtpath);
}

const std::string kTextIni =
    "masterkey=TEXT\r\ntrennzeich=;\r\n[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n  1|3|Text\r\n\r\n";

TEST(Section, OnlyObjectsInsideTheNamedSectionCount) {
    struct Case {
        const char* drawing;
        const char* section;
        const char* table;
    };
    const Case cases[] = {
        {"section_text_in_block_and_entities.dxf", "",
         "RW;HW;Text;Index\r\n-188.5;-1.5;Symbol;1\r\n3221759.5;5712345.25;Punkt 1;2\r\n"
         "3221761.5;5712347.25;Punkt 2;3\r\n"},
        {"section_text_in_block_and_entities.dxf", "ENTITIES",
         "RW;HW;Text;Index\r\n3221759.5;5712345.25;Punkt 1;1\r\n"
         "3221761.5;5712347.25;Punkt 2;2\r\n"},
        {"section_text_in_block_and_entities.dxf", "BLOCKS",
         "RW;HW;Text;Index\r\n-188.5;-1.5;Symbol;1\r\n"},
        {"section_endsec_then_objects.dxf", "ENTITIES", "RW;HW;Text;Index\r\n1.0;2.0;innen;1\r\n"},
        {"section_endsec_then_objects.dxf", "OBJECTS", "RW;HW;Text;Index\r\n3.0;4.0;Objekte;1\r\n"},
        {"section_endsec_then_objects.dxf", "",
         "RW;HW;Text;Index\r\n1.0;2.0;innen;1\r\n3.0;4.0;Objekte;2\r\n"
         "5.0;6.0;ohne Abschnitt;3\r\n"},
        {"section_entities_lower_case.dxf", "ENTITIES", "RW;HW;Text;Index\r\n3.0;4.0;gross;1\r\n"},
        {"section_entities_lower_case.dxf", "entities", "RW;HW;Text;Index\r\n1.0;2.0;klein;1\r\n"},
        // No such section: only the header, as for a drawing without objects.
        {"section_entities_lower_case.dxf", "Entities", "RW;HW;Text\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(run(kTextIni, kData / c.drawing, c.section, TableEncoding::Bytes), c.table)
            << c.drawing << " / " << c.section;
}

TEST(Section, AnObjectOutsideEndsTheCaptureOfTheOneBefore) {
    TempDir dir;
    // The entity text has no "  1"; the block's text after ENDSEC must not
    // lend it one.
    WriteFile(dir / "in.dxf",
              "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nTEXT\r\n 10\r\n1\r\n 20\r\n2\r\n"
              "  0\r\nENDSEC\r\n  0\r\nSECTION\r\n  2\r\nBLOCKS\r\n  0\r\nTEXT\r\n  1\r\nB\r\n"
              "  0\r\nENDSEC\r\n  0\r\nEOF\r\n");
    EXPECT_EQ(run(kTextIni, dir / "in.dxf", "ENTITIES", TableEncoding::Bytes),
              "RW;HW;Text;Index\r\n1;2;;1\r\n");
    // A section start cut off after its "  2" line is an error, as an object
    // start without type line is.
    WriteFile(dir / "cut.dxf", "  0\r\nSECTION\r\n  2");
    EXPECT_EQ(run(kTextIni, dir / "cut.dxf", "ENTITIES", TableEncoding::Bytes), "error 62");
}

// Column descriptions with "ö" and the separator "§", in either encoding of
// velunt.ini.
const std::string kUtf8Ini =
    "masterkey=TEXT\r\ntrennzeich=\xC2\xA7\r\n[Spalten]\r\n 10|1|RW\r\n  1|2|H\xC3\xB6he\r\n\r\n";
const std::string kCp1252Ini =
    "masterkey=TEXT\r\ntrennzeich=\xA7\r\n[Spalten]\r\n 10|1|RW\r\n  1|2|H\xF6he\r\n\r\n";

TEST(Encoding, WritesEveryTextInTheChosenEncoding) {
    struct Case {
        const char* drawing;
        const std::string* ini;
        TableEncoding encoding;
        std::string table;
    };
    const std::string utf8Header = "RW\xC2\xA7H\xC3\xB6he\xC2\xA7Index\r\n";
    const std::string cp1252Header = "RW\xA7H\xF6he\xA7Index\r\n";
    const Case cases[] = {
        // Windows-1252 bytes and \U+00C4 both become "Ä"/"ä" in UTF-8.
        {"cp1252_umlaut_and_u_escape.dxf", &kUtf8Ini, TableEncoding::Utf8,
         utf8Header + "1.0\xC2\xA7Stra\xC3\x9F"
                      "e \xC3\xA4 \xC3\x84nd\xC2\xA7"
                      "1\r\n"},
        {"cp1252_umlaut_and_u_escape.dxf", &kUtf8Ini, TableEncoding::Utf8Bom,
         "\xEF\xBB\xBF" + utf8Header +
             "1.0\xC2\xA7Stra\xC3\x9F"
             "e \xC3\xA4 \xC3\x84nd\xC2\xA7"
             "1\r\n"},
        {"cp1252_umlaut_and_u_escape.dxf", &kUtf8Ini, TableEncoding::Windows1252,
         cp1252Header + "1.0\xA7Stra\xDF"
                        "e \xE4 \xC4nd\xA7"
                        "1\r\n"},
        // Without a setting the bytes pass through, escapes and all.
        {"cp1252_umlaut_and_u_escape.dxf", &kUtf8Ini, TableEncoding::Bytes,
         utf8Header + "1.0\xC2\xA7Stra\xDF"
                      "e \xE4 \\U+00C4nd\xC2\xA7"
                      "1\r\n"},
        // A UTF-8 drawing under a Windows-1252 velunt.ini: one encoding in the table.
        {"utf8_drawing_ac1024.dxf", &kCp1252Ini, TableEncoding::Utf8,
         utf8Header + "1.0\xC2\xA7H\xC3\xB6he \xC3\xA4 \xE2\x82\xAC\xC2\xA7"
                      "1\r\n"},
        {"utf8_drawing_ac1024.dxf", &kCp1252Ini, TableEncoding::Windows1252,
         cp1252Header + "1.0\xA7H\xF6he \xE4 \x80\xA7"
                        "1\r\n"},
        // Windows-1250 through the system's conversion; what Windows-1252
        // cannot hold becomes "?".
        {"ansi_1250_drawing.dxf", &kUtf8Ini, TableEncoding::Utf8,
         utf8Header + "1.0\xC2\xA7\xC5\x81\xC3\xB3"
                      "d\xC5\xBA\xC2\xA7"
                      "1\r\n"},
        {"ansi_1250_drawing.dxf", &kUtf8Ini, TableEncoding::Windows1252,
         cp1252Header + "1.0\xA7?\xF3"
                        "d?\xA7"
                        "1\r\n"},
        // Bytes that do not decode become U+FFFD.
        {"broken_utf8_byte.dxf", &kUtf8Ini, TableEncoding::Utf8,
         utf8Header + "1.0\xC2\xA7"
                      "a\xEF\xBF\xBD"
                      "b\xC2\xA7"
                      "1\r\n3.0\xC2\xA7\xEF\xBF\xBD\xC2\xA7"
                      "2\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(run(*c.ini, kData / c.drawing, "", c.encoding), c.table)
            << c.drawing << " / " << static_cast<int>(c.encoding);
}

TEST(Encoding, WithoutHeaderVariablesTheFirstNonAsciiTextDecides) {
    TempDir dir;
    const std::string start = "  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n 10\n1\n  1\n";
    const std::string header = "RW\xC2\xA7H\xC3\xB6he\xC2\xA7Index\r\n";
    // Valid UTF-8 first: UTF-8, and the later Windows-1252 byte does not decode.
    WriteFile(dir / "a.dxf", start + "\xC3\xA4\n  0\nTEXT\n 10\n2\n  1\n\xE4\n");
    EXPECT_EQ(run(kUtf8Ini, dir / "a.dxf", "", TableEncoding::Utf8),
              header +
                  "1\xC2\xA7\xC3\xA4\xC2\xA7"
                  "1\r\n2\xC2\xA7\xEF\xBF\xBD\xC2\xA7"
                  "2\r\n");
    // Windows-1252 first: every text read as Windows-1252.
    WriteFile(dir / "b.dxf", start + "\xE4\n  0\nTEXT\n 10\n2\n  1\n\xC3\xA4\n");
    EXPECT_EQ(run(kUtf8Ini, dir / "b.dxf", "", TableEncoding::Utf8),
              header +
                  "1\xC2\xA7\xC3\xA4\xC2\xA7"
                  "1\r\n2\xC2\xA7\xC3\x83\xC2\xA4\xC2\xA7"
                  "2\r\n");
}

// The word-wise check finds a backslash or a high byte at every position,
// and nothing in plain ASCII (the bytes around "\\" and 0x80 included).
TEST(Encoding, OnlyValuesWithAHighByteOrABackslashAreConverted) {
    for (size_t length = 0; length <= 19; ++length) {
        const std::string plain(length, '[');
        EXPECT_FALSE(TableText::NeedsConverting(plain + "]~\x7F\x01")) << length;
        for (size_t at = 0; at < length; ++at) {
            for (const char mark : {'\\', '\x80', '\xFF'}) {
                std::string value = plain;
                value[at] = mark;
                EXPECT_TRUE(TableText::NeedsConverting(value)) << length << " " << at;
            }
        }
    }
}

TEST(Encoding, SettingsAreReadLikeTheOthersAndCheckedAtLoading) {
    TempDir dir;
    WriteFile(dir / "a.ini", "ABSCHNITT= ENTITIES \r\nKodierung=utf-8\r\n[Spalten]\r\n 10|1|X\r\n");
    const Configuration config = ConfigLoader(dir / "a.ini");
    EXPECT_EQ(config.settings.abschnitt, "ENTITIES");
    EXPECT_EQ(config.settings.kodierung, "utf-8");
    EXPECT_EQ(ParseTableEncoding(config.settings.kodierung), TableEncoding::Utf8);

    WriteFile(dir / "old.ini", "masterkey=TEXT\r\n[Spalten]\r\n 10|1|X\r\n");
    const Configuration old = ConfigLoader(dir / "old.ini");
    EXPECT_EQ(old.settings.abschnitt, "");
    EXPECT_EQ(ParseTableEncoding(old.settings.kodierung), TableEncoding::Bytes);

    WriteFile(dir / "bad.ini", "kodierung=latin1\r\n[Spalten]\r\n 10|1|X\r\n");
    try {
        ConfigLoader(dir / "bad.ini");
        ADD_FAILURE() << "an unknown encoding must not load";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number, 5);
        EXPECT_NE(error.description.find("kodierung="), std::string::npos);
        EXPECT_NE(error.description.find("latin1"), std::string::npos);
        EXPECT_NE(error.description.find("UTF-8-BOM"), std::string::npos);
        EXPECT_NE(error.description.find("WINDOWS-1252"), std::string::npos);
    }
}

}  // namespace
}  // namespace velunt
