// velunt-cli --inspect and --make-ini on the real sample drawings: the counts
// are the objects a run writes, and the velunt.ini drawn up, run as written,
// gives a full table.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "base/text_encoding.h"
#include "base/trim_spaces.h"
#include "cli_process.h"

namespace velunt::testing {
namespace {

const std::filesystem::path kSamples = std::filesystem::path(VELUNT_SHARED_DIR) / "samples";

std::vector<std::string> splitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = std::min(bytes.find_first_of("\r\n", start), bytes.size());
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
        if (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n') ++start;
    }
    return lines;
}

std::vector<std::string> split(const std::string& line, char separator) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t at; (at = line.find(separator, start)) != std::string::npos; start = at + 1)
        fields.push_back(line.substr(start, at - start));
    fields.push_back(line.substr(start));
    return fields;
}

// An independent reading of a well-formed drawing: pairs of lines, codes
// trimmed; for each object of the `types`, the first value of each code,
// and whether it stands in the section ENTITIES.
struct Object {
    std::map<int, std::string> values;
    bool inEntities = false;
};
std::map<std::string, std::vector<Object>> objectsOf(const std::filesystem::path& drawing,
                                                     const std::vector<std::string>& types) {
    const std::vector<std::string> lines = splitLines(ReadFile(drawing));
    std::map<std::string, std::vector<Object>> objects;
    std::vector<Object>* current = nullptr;
    std::string section;
    for (size_t i = 0; i + 1 < lines.size(); i += 2) {
        const std::string_view code = TrimSpaces(lines[i]);
        if (code == "0") {
            if (lines[i + 1] == "ENDSEC") section.clear();
            if (lines[i + 1] == "SECTION" && i + 3 < lines.size()) section = lines[i + 3];
            const bool isWanted =
                std::find(types.begin(), types.end(), lines[i + 1]) != types.end();
            current = isWanted ? &objects[lines[i + 1]] : nullptr;
            if (current) current->push_back({{}, section == "ENTITIES"});
        } else if (current) {
            current->back().values.emplace(std::atoi(lines[i].c_str()), lines[i + 1]);
        }
    }
    return objects;
}

// The total per type of --inspect --format tsv.
std::map<std::string, long> inspectedTotals(const std::filesystem::path& drawing,
                                            const TempDir& dir) {
    const CliResult inspected = RunCli(dir.path(), {"--inspect", "--format", "tsv", drawing});
    EXPECT_EQ(inspected.status, 0) << inspected.err;
    std::map<std::string, long> totals;
    const std::vector<std::string> lines = splitLines(inspected.out);
    EXPECT_FALSE(lines.empty());
    // The drawing's structure is told apart from its objects, listed after
    // them, in a fifth column that leaves the first four as they were.
    const std::vector<std::string> kStructure = {"SECTION", "ENDSEC", "TABLE",  "ENDTAB",
                                                 "BLOCK",   "ENDBLK", "SEQEND", "EOF"};
    bool inStructure = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> f = split(lines[i], '\t');
        EXPECT_EQ(f.size(), 5u) << lines[i];
        if (f.size() != 5) continue;
        EXPECT_EQ(std::stol(f[1]), std::stol(f[2]) + std::stol(f[3])) << lines[i];
        const bool isStructure =
            std::find(kStructure.begin(), kStructure.end(), f[0]) != kStructure.end();
        EXPECT_EQ(f[4], isStructure ? "Struktur" : "Objekt") << lines[i];
        EXPECT_TRUE(isStructure || !inStructure) << "an object after the structure: " << lines[i];
        inStructure |= isStructure;
        totals[f[0]] = std::stol(f[1]);
    }
    return totals;
}

// On every sample that holds the type: --make-ini, then a run with what it
// wrote gives one line per object inside ENTITIES (per object anywhere when
// none stands there), a value in every column whose code the object holds
// with a value, and a table that is UTF-8 throughout, as is the draft.
TEST(MakeIni, RunAsWrittenGivesAFullTableOnEverySample) {
    const std::vector<std::string> kTypes = {"TEXT", "INSERT", "LWPOLYLINE", "MTEXT", "ATTRIB"};
    int tables = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kSamples)) {
        const std::filesystem::path drawing = entry.path();
        if (drawing.extension() != ".dxf" || drawing.filename().string().starts_with("BINARY"))
            continue;
        TempDir dir;
        const std::map<std::string, long> totals = inspectedTotals(drawing, dir);
        auto objectsByType = objectsOf(drawing, kTypes);
        for (const std::string& type : kTypes) {
            const std::vector<Object>& all = objectsByType[type];
            const std::string what = drawing.filename().string() + " " + type;
            const auto total = totals.find(type);
            EXPECT_EQ(total == totals.end() ? 0 : total->second, static_cast<long>(all.size()))
                << what;
            if (all.empty()) continue;
            std::vector<Object> objects;
            for (const Object& o : all)
                if (o.inEntities) objects.push_back(o);
            if (objects.empty()) objects = all;

            const CliResult made = RunCli(dir.path(), {"--make-ini", type, drawing.string()});
            ASSERT_EQ(made.status, 0) << what << made.err;
            EXPECT_TRUE(IsValidUtf8(made.out)) << what;
            WriteFile(dir / "velunt.ini", made.out);
            // The draft points out values holding ";": its table is then read
            // with a tab as separator.
            const bool hasSemicolons = made.err.find("„;“") != std::string::npos;
            std::vector<std::string> args = {"--txt", "table.txt"};
            if (hasSemicolons) args.insert(args.end(), {"--separator", "\t"});
            const CliResult run = RunCli(dir.path(), args);
            ASSERT_EQ(run.status, 0) << what << run.err;

            std::vector<int> codes;
            for (const std::string& line : splitLines(made.out))
                if (line.size() > 3 && line[3] == '|') codes.push_back(std::atoi(line.c_str()));
            ASSERT_FALSE(codes.empty()) << what;
            const std::string table = ReadFile(dir / "table.txt");
            EXPECT_TRUE(IsValidUtf8(table)) << what;
            const std::vector<std::string> rows = splitLines(table);
            ASSERT_EQ(rows.size(), objects.size() + 1) << what;
            for (size_t r = 0; r < objects.size(); ++r) {
                const auto fields = split(rows[r + 1], hasSemicolons ? '\t' : ';');
                ASSERT_EQ(fields.size(), codes.size() + 1) << what << ": " << rows[r + 1];
                for (size_t c = 0; c < codes.size(); ++c) {
                    const auto value = objects[r].values.find(codes[c]);
                    if (value != objects[r].values.end() && !TrimSpaces(value->second).empty()) {
                        EXPECT_FALSE(fields[c].empty())
                            << what << ": object " << r + 1 << ", code " << codes[c];
                    }
                }
            }
            ++tables;
        }
    }
    EXPECT_GT(tables, 40);
}

// The codes asked for come in the order of the objects; a code not every
// object holds, listed before others, is pointed out.
TEST(MakeIni, OrdersTheCodesAskedForAndPointsOutGaps) {
    TempDir dir;
    const std::string drawing = (kSamples / "r2018_acad_text-attrib__text.dxf").string();
    const CliResult made =
        RunCli(dir.path(), {"--make-ini", "TEXT", drawing, "--codes", "1,50,8,10"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.out.find("[Spalten]\r\n  8|1|Layer\r\n 10|2|RW (X)\r\n  1|3|Text\r\n"
                            " 50|4|Drehwinkel\r\n[Ende]\r\n"),
              std::string::npos)
        << made.out;
    EXPECT_EQ(made.err, "");

    const CliResult gap = RunCli(dir.path(), {"--make-ini", "TEXT", drawing, "--codes", "7,50"});
    EXPECT_EQ(gap.status, 0);
    EXPECT_NE(gap.err.find("Hinweis: Code 50 steht nur in 25 von 62 Objekten"), std::string::npos)
        << gap.err;
}

TEST(Inspect, RefusesWhatItCannotDo) {
    TempDir dir;
    const std::string drawing = (kSamples / "r2018_acad_text-attrib__text.dxf").string();
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    const Case kCases[] = {
        {{"--inspect"}, 64},
        {{"--inspect", drawing, drawing}, 64},
        {{"--inspect", "--format", "xml", drawing}, 64},
        {{"--masterkey", "TEXT"}, 64},
        {{"--make-ini", "TEXT", "--codes", "8,x", drawing}, 64},
        {{"--make-ini", "TEXT", "--codes", "8,10,8", drawing}, 64},
        {{"--make-ini", "CIRCLE", drawing}, 1},  // no such object
        {{"--inspect", (kSamples / "BINARY_r12__bin_dxf_r12.dxf").string()}, 1},
        {{"--make-ini", "TEXT", (kSamples / "BINARY_r12__bin_dxf_r12.dxf").string()}, 1},
        {{"--inspect", "missing.dxf"}, 1},
    };
    for (const Case& c : kCases) {
        const CliResult result = RunCli(dir.path(), c.args);
        EXPECT_EQ(result.status, c.status) << c.args.front() << " " << result.err;
        EXPECT_EQ(result.out, "") << c.args.front();
        EXPECT_NE(result.err, "") << c.args.front();
    }
}

// A value too large for the memory allowed: --inspect and --make-ini end with
// error 7 on stderr and status 1, as a run does, not with an abort.
TEST(Inspect, ReportsMemoryRunningOutAsError7) {
#ifdef VELUNT_SANITIZED
    GTEST_SKIP() << "a sanitizer build does not start under ulimit -v";
#endif
    TempDir dir;
    const std::string limit = "ulimit -v 300000 && ";
    if (RunCli(dir.path(), {"--version"}, "/dev/null", limit).status != 0)
        GTEST_SKIP() << "velunt-cli does not start under ulimit -v";
    // A sparse 512 MiB value of the only TEXT object's code 1.
    const std::string head = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nTEXT\r\n  1\r\n";
    const std::uintmax_t valueBytes = std::uintmax_t{512} << 20;
    WriteFile(dir / "big.dxf", head);
    std::filesystem::resize_file(dir / "big.dxf", head.size() + valueBytes);
    std::ofstream(dir / "big.dxf", std::ios::binary | std::ios::app)
        << "\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
    const std::vector<std::string> kCalls[] = {
        {"--inspect", "--masterkey", "TEXT", "big.dxf"},
        {"--make-ini", "TEXT", "big.dxf"},
    };
    for (const auto& args : kCalls) {
        const CliResult result = RunCli(dir.path(), args, "/dev/null", limit);
        EXPECT_EQ(result.status, 1) << args.front() << " " << result.err;
        EXPECT_EQ(result.err, "big.dxf: Fehler: 7: Nicht genügend Speicher\n") << args.front();
    }
}

}  // namespace
}  // namespace velunt::testing
