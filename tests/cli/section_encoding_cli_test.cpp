// abschnitt=/--section and kodierung=/--encoding through velunt-cli: batch
// runs over the real sample drawings, counted independently of the scan,
// and the errors for an unknown encoding.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/text_encoding.h"
#include "cli_process.h"

namespace velunt::testing {
namespace {

const std::filesystem::path kSamples = std::filesystem::path(VELUNT_SHARED_DIR) / "samples";

std::vector<std::string> splitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(pos));
            break;
        }
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + 1 + (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n');
    }
    return lines;
}

// The group code of a line that is a whole number (spaces, digits, spaces),
// else -1.
long groupCode(const std::string& line) {
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) return -1;
    const size_t last = line.find_last_not_of(' ');
    const std::string digits = line.substr(first, last - first + 1);
    if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return -1;
    return std::stol(digits);
}

// Objects of type `master` inside the ENTITIES section, read in code/value
// pairs: a line at a code position that is no whole number stands alone.
size_t countInEntities(const std::string& drawing, const std::string& master) {
    const std::vector<std::string> lines = splitLines(drawing);
    size_t count = 0;
    bool inside = false, awaitingName = false;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        const long code = groupCode(lines[i]);
        if (code < 0) continue;
        const std::string& value = lines[++i];
        if (code == 0) {
            awaitingName = value == "SECTION";
            if (value == "SECTION" || value == "ENDSEC") inside = false;
            if (inside && value == master) ++count;
        } else if (code == 2 && awaitingName) {
            inside = value == "ENTITIES";
            awaitingName = false;
        }
    }
    return count;
}

TEST(SamplesInEntities, EachTableHoldsExactlyTheEntitiesAndIsUtf8) {
    if (!std::filesystem::exists(kSamples)) GTEST_SKIP() << "no samples";
    std::vector<std::filesystem::path> drawings;
    for (const auto& entry : std::filesystem::directory_iterator(kSamples))
        if (entry.path().extension() == ".dxf" &&
            ReadFile(entry.path()).rfind("AutoCAD Binary DXF", 0) != 0)
            drawings.push_back(entry.path());
    std::sort(drawings.begin(), drawings.end());
    ASSERT_GT(drawings.size(), 25u);

    size_t rows = 0;
    for (const std::string master : {"TEXT", "POINT", "INSERT", "ATTRIB", "LINE"}) {
        TempDir dir;
        WriteFile(dir / "velunt.ini", "masterkey=" + master +
                                          "\r\nabschnitt=ENTITIES\r\nkodierung=UTF-8\r\n"
                                          "trennzeich=;\r\n[Spalten]\r\n 10|1|X\r\n  8|2|Layer\r\n"
                                          "  1|3|Text\r\n\r\n");
        std::filesystem::create_directories(dir / "out");
        std::vector<std::string> args = {"--out-dir", "out"};
        for (const auto& drawing : drawings) args.push_back(drawing.string());
        const CliResult r = RunCli(dir.path(), args);
        // Warnings about drawings without such objects are fine; no error is.
        EXPECT_EQ(r.status, 0) << master;
        EXPECT_EQ(r.err.find("Fehler:"), std::string::npos) << master;
        for (const auto& drawing : drawings) {
            const std::string name = drawing.stem().string() + ".txt";
            const std::string table = ReadFile(dir / "out" / name);
            const size_t expected = countInEntities(ReadFile(drawing), master);
            // The header and one line per object, each ending in CR LF.
            size_t lines = 0;
            for (size_t at = 0; (at = table.find("\r\n", at)) != std::string::npos; at += 2)
                ++lines;
            EXPECT_EQ(lines, expected + 1) << master << " in " << name;
            rows += expected;
            EXPECT_TRUE(IsValidUtf8(table)) << master << " in " << name;
            EXPECT_EQ(table.find("\xEF\xBF\xBD"), std::string::npos)
                << master << " in " << name << ": a text that did not decode";
        }
    }
    EXPECT_GT(rows, 1000u);  // the count found objects, not only empty tables
}

TEST(EncodingOption, OverridesTheSettingAndRefusesUnknownNames) {
    TempDir dir;
    WriteFile(dir / "in.dxf",
              "  0\nTEXT\n  1\nStra\xDF"
              "e\n  0\nEOF\n");
    WriteFile(dir / "velunt.ini",
              "masterkey=TEXT\r\nkodierung=UTF-8\r\n[Spalten]\r\n  1|1|Text\r\n\r\n");
    CliResult r = RunCli(dir.path(), {"--dxf", "in.dxf", "--txt", "out.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "out.txt"),
              "Text;Index\r\nStra\xC3\x9F"
              "e;1\r\n");
    r = RunCli(dir.path(), {"--dxf", "in.dxf", "--txt", "out.txt", "--encoding", ""});
    EXPECT_EQ(ReadFile(dir / "out.txt"),
              "Text;Index\r\nStra\xDF"
              "e;1\r\n");

    r = RunCli(dir.path(), {"--dxf", "in.dxf", "--txt", "out.txt", "--encoding", "latin1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("Fehler: 5: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("--encoding"), std::string::npos) << r.err;

    WriteFile(dir / "velunt.ini", "masterkey=TEXT\r\nkodierung=ANSI\r\n[Spalten]\r\n  1|1|T\r\n");
    r = RunCli(dir.path(), {"--dxf", "in.dxf", "--txt", "out.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Fehler: 5: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("kodierung="), std::string::npos) << r.err;
}

}  // namespace
}  // namespace velunt::testing
