// Runs every case of the shared reference tables through velunt-cli on the
// real sample drawings and compares the tables byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

#include "cli_process.h"

namespace velunt::testing {
namespace {

const std::filesystem::path kShared = VELUNT_SHARED_DIR;
// The reference tables and their cases.tsv: the one place that names the folder.
const std::filesystem::path kReference = kShared / "reference-next";

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

// What a failing case prints as its parameter.
void PrintTo(const GoldenCase& c, std::ostream* out) {
    *out << c.sample << " " << c.master << " " << c.options << " " << c.arguments;
}

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

// A column line with its key written as a plain number: even codes without
// spaces ("10|1|RW"), odd ones with one space on each side (" 1 |3|Text").
std::string withNumberKey(const std::string& column) {
    const size_t bar = column.find('|');
    std::string code = column.substr(0, bar);
    code.erase(0, code.find_first_not_of(' '));
    const bool isEven = (code.back() - '0') % 2 == 0;
    return (isEven ? code : " " + code + " ") + column.substr(bar);
}

std::vector<GoldenCase> loadCases() {
    std::ifstream in(kReference / "cases.tsv");
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

// Where this program deliberately writes another line than a reference
// table: the case, the 1-based line and the line written instead
// (tests/cli/reference_deviations.tsv, "\\t" for a tab).
struct Deviation {
    std::string sample, master, options;
    size_t line;
    std::string tableLine;
};

std::vector<Deviation> loadDeviations() {
    std::ifstream in(std::filesystem::path(VELUNT_SOURCE_DIR) /
                     "tests/cli/reference_deviations.tsv");
    std::vector<Deviation> deviations;
    std::string line;
    std::getline(in, line);  // heading
    while (std::getline(in, line)) {
        const auto f = splitTabs(line);
        if (f.size() < 5) continue;
        std::string tableLine = f[4];
        for (size_t at; (at = tableLine.find("\\t")) != std::string::npos;)
            tableLine.replace(at, 2, "\t");
        deviations.push_back({f[0], f[1], f[2], std::stoul(f[3]), tableLine});
    }
    return deviations;
}

// The reference table with the deviations of its case applied.
std::string expectedTable(const GoldenCase& c, const std::vector<Deviation>& deviations) {
    std::string table = ReadFile(kReference / c.table);
    for (const Deviation& d : deviations) {
        if (d.sample != c.sample || d.master != c.master || d.options != c.options) continue;
        size_t start = 0;
        for (size_t n = 1; n < d.line; ++n) start = table.find("\r\n", start) + 2;
        table.replace(start, table.find("\r\n", start) - start, d.tableLine);
    }
    return table;
}

// The cases and deviations, read once for every case.
const std::vector<GoldenCase>& Cases() {
    static const std::vector<GoldenCase> cases = loadCases();
    return cases;
}
const std::vector<Deviation>& Deviations() {
    static const std::vector<Deviation> deviations = loadDeviations();
    return deviations;
}

// "sample.dxf", "LINE", "shift+comma" -> "sample_LINE_shift_comma": letters,
// digits and underscores only, as test names must be; a name taken already
// gets the row number appended.
std::string caseName(const ::testing::TestParamInfo<GoldenCase>& info) {
    static std::map<std::string, size_t> rowOfName;
    const GoldenCase& c = info.param;
    if (c.sample.empty()) return "NoReferenceTables";
    std::string name =
        std::filesystem::path(c.sample).stem().string() + "_" + c.master + "_" + c.options;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    const auto [it, isNew] = rowOfName.emplace(name, info.index);
    if (!isNew && it->second != info.index) name += "_row" + std::to_string(info.index + 1);
    return name;
}

// One case per row of cases.tsv; without the reference tables one case that
// is skipped and says so.
std::vector<GoldenCase> casesOrPlaceholder() {
    return Cases().empty() ? std::vector<GoldenCase>{GoldenCase{}} : Cases();
}

class Golden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, TableMatchesTheReference) {
    const auto& deviations = Deviations();
    const GoldenCase& c = GetParam();
    if (c.sample.empty()) GTEST_SKIP() << "no reference tables at " << kReference;
    TempDir dir;
    std::string ini = "; acceptance\r\ndxfpath=" + (kShared / "samples" / c.sample).string() +
                      "\r\ntxtpath=out.txt\r\nmasterkey=" + c.master +
                      "\r\ntrennzeich=;\r\ndezzeich=,\r\n[Spalten]\r\n";
    for (const std::string& column : kColumnBlocks.at(c.master))
        ini += (c.options == "number-keys" ? withNumberKey(column) : column) + "\r\n";
    ini += "\r\n[Ende]\r\n";
    WriteFile(dir / "velunt.ini", ini);

    const CliResult result = RunCli(dir.path(), splitArguments(c.arguments));
    if (c.outcome == "ok") {
        EXPECT_EQ(result.status, 0) << result.err;
    } else {
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(c.outcome), std::string::npos) << result.err;
    }
    if (c.table != "-") {
        EXPECT_EQ(ReadFile(dir / "out.txt"), expectedTable(c, deviations));
    }
}

INSTANTIATE_TEST_SUITE_P(Reference, Golden, ::testing::ValuesIn(casesOrPlaceholder()), caseName);

// The rows hold tables to compare, not only expected failures.
TEST(Golden, SomeCaseComparesATable) {
    if (Cases().empty()) GTEST_SKIP() << "no reference tables at " << kReference;
    EXPECT_TRUE(std::any_of(Cases().begin(), Cases().end(),
                            [](const GoldenCase& c) { return c.table != "-"; }));
}

}  // namespace
}  // namespace velunt::testing
