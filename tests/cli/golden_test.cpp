// Runs every case of the shared reference tables through velunt-cli on the
// real sample drawings and compares the tables byte for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "cli_process.h"

namespace velunt::testing {
namespace {

const std::filesystem::path kShared = VELUNT_SHARED_DIR;

const std::map<std::string, std::vector<std::string>> kColumnBlocks = {
    {"TEXT", {" 10|1|RW", " 20|2|HW", "  1|3|Text", " 40|4|Hoehe", "  8|5|Layer"}},
    {"MTEXT", {" 10|1|X", " 20|2|Y", "  1|3|Inhalt"}},
    {"POINT", {" 10|1|X", " 20|2|Y", " 30|3|Z"}},
    {"INSERT", {"  2|1|Block", " 10|2|X", " 20|3|Y", " 41|4|Skalierung"}},
    {"ATTRIB", {" 10|2|X", " 20|3|Y", "  1|4|Wert", "  2|1|Tag"}},
    {"LINE", {" 10|1|X1", " 20|2|Y1", " 11|3|X2", " 21|4|Y2"}},
    {"CIRCLE", {" 10|1|X", " 20|2|Y", " 40|3|R"}},
    {"LWPOLYLINE", {" 90|1|Punkte", " 10|2|X1", " 20|3|Y1", " 10|4|X2", " 20|5|Y2"}},
};

struct GoldenCase {
    std::string sample, master, options, arguments, outcome, table;
};

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, '\t')) fields.push_back(field);
    if (!line.empty() && line.back() == '\t') fields.emplace_back();
    return fields;
}

// The arguments as a shell would split them: words, '' for the empty text,
// '\t' for a tab.
std::vector<std::string> splitArguments(const std::string& text) {
    std::vector<std::string> args;
    std::stringstream stream(text);
    std::string word;
    while (stream >> word) {
        if (word == "''")
            word.clear();
        else if (word == "'\\t'")
            word = "\t";
        args.push_back(word);
    }
    return args;
}

std::vector<GoldenCase> loadCases() {
    std::ifstream in(kShared / "golden" / "cases.tsv");
    std::vector<GoldenCase> cases;
    std::string line;
    std::getline(in, line);  // heading
    while (std::getline(in, line)) {
        const auto f = splitTabs(line);
        if (f.size() < 6) continue;
        cases.push_back({f[0], f[1], f[2], f[3], f[4], f[5]});
    }
    return cases;
}

TEST(Golden, EveryReferenceTableMatches) {
    const auto cases = loadCases();
    if (cases.empty()) GTEST_SKIP() << "no reference tables at " << kShared;
    int compared = 0;
    for (const GoldenCase& c : cases) {
        TempDir dir;
        std::string ini = "; acceptance\r\ndxfpath=" + (kShared / "samples" / c.sample).string() +
                          "\r\ntxtpath=out.txt\r\nmasterkey=" + c.master +
                          "\r\ntrennzeich=;\r\ndezzeich=,\r\n[Spalten]\r\n";
        for (const std::string& column : kColumnBlocks.at(c.master)) ini += column + "\r\n";
        ini += "\r\n[Ende]\r\n";
        WriteFile(dir / "velunt.ini", ini);

        const CliResult result = RunCli(dir.path(), splitArguments(c.arguments));
        const std::string label = c.sample + " " + c.master + " " + c.options;
        if (c.outcome == "ok") {
            EXPECT_EQ(result.status, 0) << label << ": " << result.err;
        } else {
            EXPECT_EQ(result.status, 1) << label;
            EXPECT_NE(result.err.find(c.outcome), std::string::npos) << label << ": " << result.err;
        }
        if (c.table != "-") {
            EXPECT_EQ(ReadFile(dir / "out.txt"), ReadFile(kShared / "golden" / c.table)) << label;
            ++compared;
        }
    }
    EXPECT_GT(compared, 0);
}

}  // namespace
}  // namespace velunt::testing
