// Whole runs read in blocks of many sizes: every layout of group codes and
// every block edge give the table read in one block.
#include <gtest/gtest.h>

#include "engine/run_warnings.h"
#include "extraction_run_fixture.h"

namespace velunt {
namespace {

// Many objects over many 64-byte windows, written with group codes in the
// standard layout, unpadded, or unpadded only in some objects, with CR LF or
// LF: every layout must give the table of the standard one.
std::string manyObjects(int layout, const char* end) {
    const auto code = [&](int number, int object) {
        const std::string digits = std::to_string(number);
        const bool unpadded = layout == 1 || (layout == 2 && object % 3 == 0);
        if (unpadded || digits.size() >= 3) return digits;
        return std::string(3 - digits.size(), ' ') + digits;
    };
    std::string bytes;
    const auto pair = [&](int number, int object, const std::string& value) {
        bytes += code(number, object) + end + value + end;
    };
    for (int i = 0; i < 2000; ++i) {
        pair(0, i, i % 4 == 1 ? "LINE" : "TEXT");
        pair(5, i, std::to_string(0x2F0 + i));
        pair(330, i, "1F");
        pair(100, i, "AcDbEntity");
        pair(8, i, i % 5 == 0 ? "0" : "PUNKTNR");
        pair(10, i, std::to_string(4400000 + i * 7) + "." + std::to_string(i % 1000));
        pair(20, i, std::to_string(5700000 - i * 3) + ".5");
        pair(30, i, "0.0");
        if (i % 7 != 3) pair(1, i, i % 2 ? "%%c" + std::to_string(i % 90) : std::to_string(i));
        if (i % 4 == 0) pair(50, i, "12.3");
    }
    bytes += code(0, 0) + end + "EOF" + end;
    return bytes;
}

const std::string kEightColumns =
    "masterkey=TEXT\r\ntrennzeich=;\r\ndezzeich=,\r\n[Spalten]\r\n  8|1|Layer\r\n"
    " 10|2|RW\r\n 20|3|HW\r\n  7|4|Stil\r\n 30|5|Z\r\n  1|6|Text\r\n 50|7|W\r\n"
    "  5|8|H\r\n\r\n";

TEST_F(ExtractionRunTest, ReadsManyObjectsAlikeInEveryLayout) {
    for (const std::string& ini : {std::string(kTextIni), kEightColumns}) {
        for (const bool shift : {false, true}) {
            m_settings.shiftCoordinates = shift;
            m_settings.replaceDecimalPoint = shift;
            m_settings.rwShift = "4400000";
            m_settings.hwShift = "-5700000.25";
            const std::string expected = run(ini, manyObjects(0, "\r\n"));
            ASSERT_GT(expected.size(), 20000u);
            for (const int layout : {0, 1, 2})
                for (const char* end : {"\r\n", "\n"})
                    EXPECT_EQ(run(ini, manyObjects(layout, end)), expected)
                        << "layout " << layout << (end[0] == '\n' ? ", LF" : ", CR LF");
        }
    }
}

// Blocks of odd sizes end inside lines, inside CR LF pairs and inside
// objects, on either side of the reading thread.
TEST_F(ExtractionRunTest, ReadsTheSameTableInBlocksOfAnySize) {
    for (const std::string& ini : {std::string(kTextIni), kEightColumns}) {
        for (const char* end : {"\r\n", "\n"}) {
            m_settings.readBlockSize = 0;
            m_settings.readAhead = true;
            const std::string drawing = manyObjects(2, end);
            const std::string expected = run(ini, drawing);
            ASSERT_GT(expected.size(), 20000u);
            for (const size_t blockSize : {61, 333, 4096})
                for (const bool readAhead : {false, true}) {
                    m_settings.readBlockSize = blockSize;
                    m_settings.readAhead = readAhead;
                    EXPECT_EQ(run(ini, drawing), expected)
                        << "blocks of " << blockSize << (readAhead ? ", read ahead" : "")
                        << (end[0] == '\n' ? ", LF" : ", CR LF");
                }
        }
    }
}

}  // namespace
}  // namespace velunt

namespace velunt {
namespace {

// Lines the run reads besides the keys (a section's name, the type lines
// counted for the warning after a run without objects) are held whole even
// where they cross a block edge and are longer than every key: the table and
// the warnings read in small blocks, with each edge somewhere else, are those
// read in one block.
TEST_F(ExtractionRunTest, SectionNamesAndTypesCrossingABlockEdgeAreReadWhole) {
    const std::string name = "A_SECTION_NAME_OF_26_BYTES";
    const auto drawing = [&](size_t offset) {
        std::string bytes = dxf({"999", std::string(offset, 'x').c_str()});
        bytes += dxf({"  0", "SECTION", "  2", name.c_str(), "  0", "TEXT",   " 10", "1",
                      " 20", "2",       "  1", "inside",     "  0", "ENDSEC", "  0", "SECTION",
                      "  2", "OTHER",   "  0", "TEXT",       " 10", "3",      "  0", "ENDSEC"});
        for (int i = 0; i < 15; ++i) bytes += dxf({"  0", "ACAD_PROXY_ENTITY", "  5", "1F"});
        return bytes + dxf({"  0", "EOF"});
    };
    const auto tableAndWarnings = [&](const std::string& ini, size_t offset) {
        std::string seen = run(ini, drawing(offset));
        for (const std::string& warning : RunWarnings(m_result, m_config, "in.dxf"))
            seen += warning + "\n";
        return seen;
    };
    struct Case {
        const char* ini;
        std::string section;
        const char* seen;  // in the table or the warnings read in one block
    };
    const Case cases[] = {
        {kTextIni, name, "1;2;inside;1\r\n"},
        {"masterkey=CIRCLE\r\n[Spalten]\r\n 10|1|RW\r\n", "", "ACAD_PROXY_ENTITY 15"}};
    for (const Case& c : cases) {
        m_settings.section = c.section;
        m_settings.readBlockSize = 0;
        const std::string expected = tableAndWarnings(c.ini, 0);
        ASSERT_NE(expected.find(c.seen), std::string::npos) << expected;
        for (const bool readAhead : {false, true})
            for (size_t offset = 0; offset < 48; ++offset) {
                m_settings.readBlockSize = 48;
                m_settings.readAhead = readAhead;
                EXPECT_EQ(tableAndWarnings(c.ini, offset), expected)
                    << "section \"" << c.section << "\", offset " << offset;
            }
        m_settings.readAhead = true;
    }
}

}  // namespace
}  // namespace velunt
