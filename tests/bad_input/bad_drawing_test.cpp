// Drawings that are missing, unreadable, broken or not DXF at all.
#include <unistd.h>

#include <algorithm>

#include "bad_input.h"
#include "base/text_encoding.h"

namespace velunt::testing {
namespace {

// Three TEXT objects and a LINE, CR LF line ends.
const std::string kObject1 = "  0\r\nTEXT\r\n 10\r\n1.5\r\n 20\r\n2.5\r\n  1\r\nA\r\n";
const std::string kObject2 = "  0\r\nTEXT\r\n 10\r\n3\r\n 20\r\n4\r\n  1\r\nB\r\n";
const std::string kStart = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n" + kObject1 + kObject2;
const std::string kEnd = "  0\r\nLINE\r\n 10\r\n9\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
const std::string kFullTable = "RW;HW;Text;Index\r\n1.5;2.5;A;1\r\n3;4;B;2\r\n";

const std::string kError62 =
    "Fehler: 62: Eingabe nach Dateiende: Zeichnung „in.dxf“ endet mitten in einem Objekt "
    "(abgeschnitten?); die Zeilen davor stehen in der Tabelle.\n";
const std::string kError75 =
    "Fehler: 75: Fehler beim Zugriff auf Pfad/Datei: Zeichnung „ordner.dxf“ ist ein Ordner, "
    "keine Datei\n";
const std::string kError321 =
    "Fehler: 321: Ungültiges Dateiformat: Zeichnung „in.dxf“ ist eine binäre DXF-Datei; "
    "gelesen werden nur DXF-Dateien im Textformat. Im CAD-Programm als ASCII-DXF speichern.\n";
// The warning after a run that wrote no object.
const std::string kNoObjects = "Warnung: Keine Objekte vom Typ „TEXT“ in in.dxf.";

using BadDrawing = BadInputTest;

TEST_F(BadDrawing, MissingDrawingKeepsTheOldTableAndReports53) {
    const CliResult r = run({"--dxf", "fehlt.dxf"});
    EXPECT_EQ(r.status, 1);
    // The message names the file as given and where it was looked for.
    EXPECT_EQ(r.err, "Fehler: 53: Datei nicht gefunden: Zeichnung „fehlt.dxf“ (voller Pfad: " +
                         (std::filesystem::canonical(path(".")) / "fehlt.dxf").string() + ")\n");
    EXPECT_EQ(output(), kOldOutput);
    EXPECT_FALSE(std::filesystem::exists(path("fehlt.dxf")));
}

TEST_F(BadDrawing, FolderAsDrawingReports75) {
    std::filesystem::create_directory(path("ordner.dxf"));
    const CliResult r = run({"--dxf", "ordner.dxf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, kError75);
    EXPECT_EQ(output(), kOldOutput);
    EXPECT_TRUE(std::filesystem::is_directory(path("ordner.dxf")));
}

TEST_F(BadDrawing, UnreadableDrawingReports70) {
    if (::geteuid() == 0) GTEST_SKIP() << "running as root: file permissions do not hold";
    writeDrawing(kStart + kEnd);
    std::filesystem::permissions(path("in.dxf"), std::filesystem::perms::none);
    const CliResult r = run();
    std::filesystem::permissions(path("in.dxf"), std::filesystem::perms::owner_read);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Fehler: 70: Zugriff verweigert: Zeichnung „in.dxf“ darf nicht gelesen "
              "werden oder ist gesperrt\n");
    EXPECT_EQ(output(), kOldOutput);
    EXPECT_TRUE(drawingUnchanged());
}

// Drawings that end where a line must follow: the run stops with 62 and keeps
// the lines written before; a drawing cut anywhere else ends normally.
TEST_F(BadDrawing, TruncatedDrawings) {
    // Cut before the third object's type line, the second object's line is
    // never written; cut after it, the second object's line is in the file.
    const std::string kept = "RW;HW;Text;Index\r\n1.5;2.5;A;1\r\n";
    struct Case {
        const char* what;
        std::string drawing;
        int status;
        std::string err;
        std::string table;
    };
    const Case kCases[] = {
        {"after an object start", kStart + "  0\r\n", 1, kError62, kept},
        {"after an object start without line end", kStart + "  0", 1, kError62, kept},
        {"after a captured key line", kStart + "  0\r\nTEXT\r\n 10\r\n", 1, kError62, kFullTable},
        {"after a captured key line without line end", kStart + "  0\r\nTEXT\r\n 10", 1, kError62,
         kFullTable},
        {"after the first object's key line", kObject1.substr(0, 16), 1, kError62,
         "RW;HW;Text;Index\r\n"},
        // Not awaited: passed over like any other line.
        {"after a key line of another object", kStart + "  0\r\nLINE\r\n 10\r\n", 0, "",
         kFullTable},
        {"after a key line awaited later", kStart + "  0\r\nTEXT\r\n 20\r\n", 0, "",
         kFullTable + ";;;3\r\n"},
        {"after a value", kStart + "  0\r\nTEXT\r\n 10\r\n7", 0, "", kFullTable + "7;;;3\r\n"},
        {"inside the last line end", kStart + kEnd.substr(0, kEnd.size() - 1), 0, "", kFullTable},
    };
    for (const Case& c : kCases) {
        writeDrawing(c.drawing);
        const CliResult r = run();
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(r.err, c.err) << c.what;
        EXPECT_EQ(output(), c.table) << c.what;
        EXPECT_TRUE(drawingUnchanged()) << c.what;
    }
}

TEST_F(BadDrawing, EmptyDrawingGivesTheHeaderAlone) {
    writeDrawing("");
    const CliResult r = run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, kNoObjects +
                         " Die Datei enthält keine lesbaren Objekte; ist sie eine "
                         "DXF-Datei im Textformat?\n");
    EXPECT_EQ(output(), kHeaderOnly);
    EXPECT_TRUE(drawingUnchanged());
}

TEST_F(BadDrawing, ValueOf64MegabytesPassesThroughWhole) {
    // The suite's stand-in for lines of hundreds of megabytes (bench/ measures
    // the memory such a line takes).
    const std::string value(size_t{64} << 20, 'x');
    writeDrawing(kStart + "  0\r\nTEXT\r\n 10\r\n5\r\n 20\r\n6\r\n  1\r\n" + value + "\r\n" + kEnd);
    const CliResult r = run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(SameBytes(output().value_or(""), kFullTable + "5;6;" + value + ";3\r\n"));
    EXPECT_TRUE(drawingUnchanged());
}

// NUL bytes, arbitrary binary content and other kinds of files: the run reads
// them as lines, finds no object (or the objects that are there) and ends
// normally; bytes it captures pass through unchanged.
TEST_F(BadDrawing, BinaryContentAndNonDxfFilesEndNormally) {
    std::string allBytes;
    for (int round = 0; round < 4096; ++round)
        for (int b = 0; b < 256; ++b) allBytes += static_cast<char>(b);
    std::string noise;  // a fixed pseudo-random megabyte
    std::uint32_t state = 12345;
    for (int i = 0; i < (1 << 20); ++i) {
        state = state * 1664525u + 1013904223u;
        noise += static_cast<char>(state >> 24);
    }
    std::string utf16 = "\xFF\xFE";  // a DXF saved as UTF-16: every other byte is NUL
    for (const char c : kStart + kEnd) utf16 += std::string{c, '\0'};
    const std::string nul(1, '\0');

    struct Case {
        const char* what;
        std::string drawing;
        std::string table;
    };
    const Case kCases[] = {
        {"NUL bytes in values",
         "  0\r\nTEXT\r\n 10\r\n" + nul + "\r\n 20\r\n2" + nul + "5\r\n  1\r\na" + nul + "b" + nul +
             "\r\n",
         "RW;HW;Text;Index\r\n" + nul + ";2" + nul + "5;a" + nul + "b" + nul + ";1\r\n"},
        {"NUL after a group code", "  0" + nul + "\r\nTEXT\r\n  1\r\nx\r\n", kHeaderOnly},
        {"only NUL bytes", std::string(100000, '\0'), kHeaderOnly},
        {"every byte value", allBytes, kHeaderOnly},
        {"pseudo-random bytes", noise, kHeaderOnly},
        {"PNG header", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), kHeaderOnly},
        {"UTF-16 DXF", utf16, kHeaderOnly},
        {"HTML page", "<!DOCTYPE html>\n<html><body><p>  0</p></body></html>\n", kHeaderOnly},
        {"CSV table", "RW;HW;Text\r\n1;2;TEXT\r\n  0;TEXT\r\n", kHeaderOnly},
        {"only line ends", std::string(50000, '\r') + std::string(50000, '\n'), kHeaderOnly},
    };
    for (const Case& c : kCases) {
        writeDrawing(c.drawing);
        const CliResult r = run();
        EXPECT_EQ(r.status, 0) << c.what;
        // No object written: one warning line, printable whatever the bytes.
        if (c.table == kHeaderOnly) {
            EXPECT_EQ(r.err.rfind(kNoObjects, 0), 0u) << c.what;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.what;
            EXPECT_TRUE(IsValidUtf8(r.err)) << c.what;
        } else {
            EXPECT_EQ(r.err, "") << c.what;
        }
        EXPECT_TRUE(SameBytes(output().value_or("(none)"), c.table)) << c.what;
        EXPECT_TRUE(drawingUnchanged()) << c.what;
    }
}

// A binary DXF is refused before the output is created or emptied.
TEST_F(BadDrawing, BinaryDxfIsRefusedWith321) {
    const std::string sentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);
    std::vector<std::pair<std::string, std::string>> drawings = {
        {"sentinel alone", sentinel},
        {"sentinel and records", sentinel + std::string("\0\x08SECTION\0\x02"
                                                        "ENTITIES\0",
                                                        21)},
    };
    const auto sample =
        std::filesystem::path(VELUNT_SHARED_DIR) / "samples" / "BINARY_r12__bin_dxf_r12.dxf";
    if (std::filesystem::exists(sample)) drawings.emplace_back("binary sample", ReadFile(sample));

    for (const auto& [what, drawing] : drawings) {
        writeDrawing(drawing);
        WriteFile(path("out.txt"), kOldOutput);
        CliResult r = run();
        EXPECT_EQ(r.status, 1) << what;
        EXPECT_EQ(r.err, kError321) << what;
        EXPECT_EQ(output(), kOldOutput) << what;
        EXPECT_TRUE(drawingUnchanged()) << what;

        std::filesystem::remove(path("out.txt"));
        r = run();
        EXPECT_EQ(r.err, kError321) << what;
        EXPECT_EQ(output(), std::nullopt) << what;
    }
    // Only the whole sentinel marks a binary DXF; a text drawing that merely
    // begins like one is read as text.
    writeDrawing(sentinel.substr(0, 20) + kStart + kEnd);
    const CliResult r = run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(output(), kFullTable);
}

}  // namespace
}  // namespace velunt::testing
