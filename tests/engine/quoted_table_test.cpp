// Fields that hold the separator, end to end through the run: quoted so
// that a spreadsheet program reads each back into its column, or, with
// quoting off, written as they are and counted for the warning after the run.
#include <gtest/gtest.h>

#include "config/config_loader.h"
#include "engine/extraction_run.h"
#include "engine/run_warnings.h"
#include "test_files.h"

namespace velunt {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class NoReport : public ErrorReport {
public:
    void show(const RuntimeError& error) override { ADD_FAILURE() << error.description; }
};

// The table and the result of one run with `settings` (their files are
// set here) on `drawing`, with velunt.ini's column table.
struct Extracted {
    Configuration config;
    RunResult result;
    std::string table;
};

Extracted extract(const std::string& ini, const std::string& drawing, RunSettings settings) {
    TempDir dir;
    WriteFile(dir / "velunt.ini", ini);
    WriteFile(dir / "in.dxf", drawing);
    Extracted extracted{ConfigLoader(dir / "velunt.ini"), {}, {}};
    settings.dxfpath = dir / "in.dxf";
    settings.txtpath = dir / "out.txt";
    NoReport report;
    extracted.result = ExtractionRun(settings, extracted.config, report);
    extracted.table = ReadFile(settings.txtpath);
    return extracted;
}

// Reads `table` as RFC 4180 delimited text with `separator` and CR LF line
// ends: a field that starts with '"' runs to the next lone '"', in which
// "" stands for one '"'.
std::vector<std::vector<std::string>> readDelimited(std::string_view table, char separator) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    size_t i = 0;
    while (i < table.size()) {
        if (table[i] == '"') {
            for (++i;; ++i) {
                if (i >= table.size()) ADD_FAILURE() << "unclosed quote";
                if (i >= table.size()) return rows;
                if (table[i] != '"') {
                    field += table[i];
                } else if (i + 1 < table.size() && table[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        }
        while (i < table.size() && table[i] != separator && table[i] != '\r') {
            if (table[i] == '"') ADD_FAILURE() << "quote inside an unquoted field at " << i;
            field += table[i++];
        }
        row.push_back(std::move(field));
        field.clear();
        if (i < table.size() && table[i] == separator) {
            ++i;
        } else {
            EXPECT_EQ(table.substr(i, 2), "\r\n");
            i += 2;
            rows.push_back(std::move(row));
            row.clear();
        }
    }
    return rows;
}

// With quoting on, a spreadsheet program reads every field back into its
// own column as it was in the drawing: separators and quotes anywhere in
// values and descriptions, empty values, and a value too long for the
// output buffer, which takes the other way to the file.
TEST(FieldsWithSeparator, QuotedTableReadsBackAsTheDrawingsTexts) {
    const std::string longValue = "lang;" + std::string(3 << 20, 'x') + "\"ende\"";
    const std::vector<std::vector<std::string>> objects = {
        {"Kanaldeckel; Schmutzwasser", "12.5", "Zoll \"6\""},
        {"\"", ";", "\"\";\"\""},
        {"", "a\"b;c", ";;"},
        {"Str. 5", "plain", longValue},
        {"\"am Anfang", "am Ende\"", "mitten\"drin"},
    };
    std::string drawing;
    for (const auto& texts : objects)
        drawing += "  0\r\nTEXT\r\n  1\r\n" + texts[0] + "\r\n  3\r\n" + texts[1] + "\r\n  7\r\n" +
                   texts[2] + "\r\n";
    drawing += "  0\r\nEOF\r\n";
    const std::string ini =
        "masterkey=TEXT\r\ntrennzeich=;\r\nanfuehrung=1\r\n[Spalten]\r\n"
        "  1|1|Text; erster\r\n  3|2|Zweiter \"Wert\"\r\n  7|3|Stil\r\n\r\n";
    RunSettings settings;
    settings.separator = ";";
    settings.quoteFields = true;  // as anfuehrung=1 gives it
    const Extracted run = extract(ini, drawing, settings);
    ASSERT_TRUE(run.config.settings.anfuehrung);
    ASSERT_TRUE(run.result.succeeded);
    const auto rows = readDelimited(run.table, ';');
    ASSERT_EQ(rows.size(), objects.size() + 1);
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{"Text; erster", "Zweiter \"Wert\"", "Stil", "Index"}));
    for (size_t i = 0; i < objects.size(); ++i) {
        std::vector<std::string> expected = objects[i];
        expected.push_back(std::to_string(i + 1));
        EXPECT_EQ(rows[i + 1], expected) << "object " << i + 1;
    }
    EXPECT_EQ(run.result.separatorFields.count, 0);  // quoted fields keep their columns
}

// With quoting off the table stays as it was, and the run counts the fields
// that push later ones a column on, remembering the first.
TEST(FieldsWithSeparator, AreCountedWhenNotQuoted) {
    struct Case {
        const char* separator;
        const char* columns;
        double count, firstRow;
        int firstColumn;
        const char* warning;  // its start
    };
    const Case kCases[] = {
        // Values in objects 2 and 3.
        {";", "  1|1|eins\r\n  8|2|zwei", 2, 2, 1,
         "2 Felder enthalten das Trennzeichen (das erste in Objekt 2, Spalte 1 „eins“)"},
        // A description: the header comes first.
        {";", "  1|1|eins\r\n  8|2|zw;ei", 3, 0, 2,
         "3 Felder enthalten das Trennzeichen (das erste in der Kopfzeile, Spalte 2 „zw;ei“)"},
        // A separator of several bytes.
        {" | ", "  1|1|eins\r\n  8|2|zwei", 1, 3, 1,
         "1 Feld enthält das Trennzeichen (in Objekt 3, Spalte 1 „eins“)"},
        {"#", "  1|1|eins\r\n  8|2|zwei", 0, 0, 0, nullptr},
    };
    const std::string drawing =
        "  0\r\nTEXT\r\n  1\r\nohne\r\n  8\r\nL\r\n"
        "  0\r\nTEXT\r\n  1\r\nmit;\r\n  8\r\nL\r\n"
        "  0\r\nTEXT\r\n  1\r\na | b;c\r\n  8\r\nL\r\n  0\r\nEOF\r\n";
    RunSettings settings;
    for (const Case& c : kCases) {
        const std::string ini =
            std::string("masterkey=TEXT\r\n[Spalten]\r\n") + c.columns + "\r\n\r\n";
        settings.separator = c.separator;
        const Extracted run = extract(ini, drawing, settings);
        ASSERT_TRUE(run.result.succeeded);
        EXPECT_EQ(run.table.find('"'), std::string::npos);  // nothing is quoted
        const SeparatorFields& found = run.result.separatorFields;
        EXPECT_EQ(found.count, c.count) << c.separator << c.columns;
        EXPECT_EQ(found.firstRow, c.firstRow) << c.separator << c.columns;
        EXPECT_EQ(found.firstColumn, c.firstColumn) << c.separator << c.columns;
        const auto warnings = RunWarnings(run.result, run.config, "in.dxf");
        ASSERT_EQ(warnings.size(), c.warning ? 1u : 0u);
        if (c.warning) {
            EXPECT_EQ(warnings[0].rfind(c.warning, 0), 0u) << warnings[0];
        }
        // Quoted, the same fields raise no warning.
        RunSettings quoted = settings;
        quoted.quoteFields = true;
        const Extracted again = extract(ini, drawing, quoted);
        EXPECT_EQ(again.result.separatorFields.count, 0);
        EXPECT_TRUE(RunWarnings(again.result, again.config, "in.dxf").empty());
    }
}

}  // namespace
}  // namespace velunt
