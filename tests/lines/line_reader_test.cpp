#include "lines/line_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/runtime_error.h"
#include "test_files.h"

namespace velunt {
namespace {

using testing::TempDir;
using testing::WriteFile;

// Every test runs with and without the second thread that reads ahead.
std::vector<std::string> readLines(const std::string& bytes, size_t blockSize, bool prefetch) {
    TempDir dir;
    const auto path = dir / "lines.txt";
    WriteFile(path, bytes);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    LineReader reader(file, path, blockSize, prefetch);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line)) lines.emplace_back(line);
    EXPECT_FALSE(reader.next(line));
    std::fclose(file);
    return lines;
}

// The lines of `bytes` read in code/value pairs, group codes in the standard
// layout, as plainly as it can be written.
std::vector<std::string> pairedLines(const std::string& bytes) {
    std::vector<std::string> lines;
    bool atCode = true;
    for (const std::string& line : readLines(bytes, 1 << 16, false)) {
        const size_t first = line.find_first_not_of(' ');
        const size_t last = line.find_last_not_of(' ');
        const std::string digits =
            first == std::string::npos ? "" : line.substr(first, last - first + 1);
        const bool isNumber =
            !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
        if (atCode && isNumber) {
            lines.push_back(std::string(digits.size() < 3 ? 3 - digits.size() : 0, ' ') + digits);
            atCode = false;
        } else {
            lines.push_back(line);
            atCode = true;
        }
    }
    return lines;
}

TEST(LineReader, ReadsGroupCodesInPairsAcrossBlockEdges) {
    const std::string kLongCode = std::string(150, ' ') + "10" + std::string(70, ' ');
    const std::string kInputs[] = {
        "0\nSECTION\n2\nENTITIES\n0\nTEXT\n10\n1.5\n20\n0\n 70\n0\n  100\nX\n0\nEOF",
        " 0\r\nTEXT\r\n10 \r\n1\r\n\r\n  0\r\nNAME\r\n  1\r\n0\r\n1001\r\n 1001\r\n",
        "\xEF\xBB\xBF"
        "0\rSECTION\r2\r0\r0\r0\r" +
            kLongCode + "\r\n" + kLongCode + "\n0",
        "  0\nTEXT\n 10\n 10\n 20\n0\n  0\nEOF\n",
    };
    for (const std::string& input : kInputs) {
        const std::vector<std::string> expected = pairedLines(input);
        for (size_t blockSize : {1, 2, 3, 5, 7, 64, 65, 100, 128, 300}) {
            for (bool prefetch : {false, true}) {
                TempDir dir;
                WriteFile(dir / "in.dxf", input);
                std::FILE* file = std::fopen((dir / "in.dxf").c_str(), "rb");
                LineReader reader(file, dir / "in.dxf", blockSize, prefetch);
                reader.readGroupCodesInPairs();
                std::vector<std::string> lines;
                std::string_view line;
                while (reader.next(line)) lines.emplace_back(line);
                std::fclose(file);
                EXPECT_EQ(lines, expected) << "block size " << blockSize << " in "
                                           << ::testing::PrintToString(input.substr(0, 40));
            }
        }
    }
}

// The first block is read on the calling thread, and the thread that reads
// ahead, if any, takes over from the second: a drawing about one block long
// must read the same whether its end falls in the first block, exactly at
// its end, or in the blocks after it (the ring of three wrapping around).
TEST(LineReader, ReadsASmallDrawingTheSameWithAndWithoutReadingAhead) {
    std::string drawing = "  0\r\nSECTION\r\n  2\r\nENTITIES\r";
    for (int i = 0; i < 6; ++i)
        drawing += "\n0\r\nTEXT\r\n 10\r\n" + std::to_string(i) + ".5\n20\r\n-1\r\n  1\r\nA" +
                   std::string(static_cast<size_t>(i * 7), 'b') + "\r";
    drawing += "\n  0\r\nEOF";
    const std::vector<std::string> expected = pairedLines(drawing);
    const size_t n = drawing.size();
    const std::string keys[] = {" 10", " 20", "  1"};
    for (const size_t blockSize : {n / 4, n / 3, n / 2, n - 1, n, n + 1, n + 64}) {
        for (const bool prefetch : {false, true}) {
            TempDir dir;
            WriteFile(dir / "in.dxf", drawing);
            std::FILE* file = std::fopen((dir / "in.dxf").c_str(), "rb");
            LineReader reader(file, dir / "in.dxf", blockSize, prefetch);
            reader.readGroupCodesInPairs();
            ASSERT_TRUE(reader.setKeys(keys));
            std::vector<std::string> lines;
            std::string_view line;
            while (reader.next(line)) lines.emplace_back(line);
            std::fclose(file);
            EXPECT_EQ(lines, expected)
                << "block size " << blockSize << " of " << n << (prefetch ? ", read ahead" : "");
        }
    }
}

// Long runs of windows, where the pairing settles several windows at once:
// group codes in every layout, and values that read like codes in the
// standard layout, so that a window taken at the wrong parity would pass.
TEST(LineReader, ReadsGroupCodesInPairsOverManyWindows) {
    const char* const kCodes[] = {"  0", " 10", "100", "0", "10", "8", " 8 ", "  1"};
    const char* const kValues[] = {"100", " 10", "  0", "1.5", "TEXT", "", "7", "12", "AB"};
    std::mt19937 random(7);
    for (const char* lineEnd : {"\r\n", "\n"}) {
        std::string input;
        for (int pair = 0; pair < 4000; ++pair) {
            // Stretches of standard codes; of codes in every layout; of those
            // with values that all read like codes; and of standard codes
            // with a few others among them, values that read like codes.
            const int stretch = pair / 200 % 4;
            const bool anyLayout = stretch == 1 || stretch == 2 || random() % 20 == 0;
            input += std::string(kCodes[anyLayout ? random() % 8 : random() % 3]) + lineEnd;
            input += std::string(kValues[random() % (stretch >= 2 ? 3 : 9)]) + lineEnd;
        }
        const std::vector<std::string> expected = pairedLines(input);
        for (size_t blockSize : {size_t{4096}, LineReader::kDefaultBlockSize}) {
            TempDir dir;
            WriteFile(dir / "in.dxf", input);
            std::FILE* file = std::fopen((dir / "in.dxf").c_str(), "rb");
            LineReader reader(file, dir / "in.dxf", blockSize);
            reader.readGroupCodesInPairs();
            std::vector<std::string> lines;
            std::string_view line;
            while (reader.next(line)) lines.emplace_back(line);
            std::fclose(file);
            EXPECT_EQ(lines, expected) << "block size " << blockSize;
        }
    }
}

// Under a line limit of 3, a line that spans blocks may come out cut, but
// then longer than 3 bytes and equal to no text of up to 3 bytes unless the
// whole line is (a group code in another layout keeps its standard code);
// nextWhole() hands out the next line whole.
TEST(LineReader, ALineLimitCutsOnlyWhatCannotMatch) {
    const std::string spaces(500, ' ');
    const std::string kLines[] = {"  0",           spaces + "0",   spaces + "10" + spaces,
                                  spaces + "1000", spaces + "1 0", std::string(700, 'x'),
                                  "TEXT" + spaces, spaces + "  0", "a" + spaces};
    // Group codes " 10", "  0" and "1000" written long, then values.
    std::string input = spaces + "10" + spaces + "\r\n" + spaces + "X" + spaces + "\r\n" + spaces +
                        "0" + spaces + "\r\nTEXT\r\n" + spaces + "1000\r\nv\r\n";
    for (const std::string& line : kLines) input += "  8\r\n" + line + "\r\n";
    const std::vector<std::string> whole = pairedLines(input);
    for (const size_t blockSize : {1, 7, 64, 100, 300}) {
        TempDir dir;
        WriteFile(dir / "in.dxf", input);
        std::FILE* file = std::fopen((dir / "in.dxf").c_str(), "rb");
        LineReader reader(file, dir / "in.dxf", blockSize, false);
        reader.readGroupCodesInPairs();
        reader.setLineLimit(3);
        std::string_view line;
        for (size_t i = 0; i < whole.size(); ++i) {
            // The second line, a value, is taken whole.
            ASSERT_TRUE(i == 1 ? reader.nextWhole(line) : reader.next(line));
            if (i == 1 || whole[i].size() <= 3) {
                EXPECT_EQ(line, whole[i]) << "line " << i << ", block size " << blockSize;
            } else {
                EXPECT_GT(line.size(), 3u) << "line " << i << ", block size " << blockSize;
                EXPECT_LE(line.size(), std::max<size_t>(whole[i].size(), 8u));
            }
        }
        EXPECT_FALSE(reader.next(line));
        std::fclose(file);
    }
}

TEST(LineReader, SplitsAtCrLfCrAndLf) {
    using Lines = std::vector<std::string>;
    struct Case {
        std::string bytes;
        Lines lines;
    };
    const Case kCases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"\r\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r", {"a"}},
        {"a\n\n", {"a", ""}},
        {std::string("x\0y\r\nz", 6), {std::string("x\0y", 3), "z"}},
        {"\xE2\x88\x85\r\n\x85", {"\xE2\x88\x85", "\x85"}},  // NEL is no line end
    };
    // Small blocks put block boundaries everywhere, also between CR and LF.
    for (const bool prefetch : {false, true})
        for (const size_t blockSize :
             {size_t{1}, size_t{2}, size_t{3}, size_t{64}, size_t{1} << 20})
            for (const Case& c : kCases)
                EXPECT_EQ(readLines(c.bytes, blockSize, prefetch), c.lines) << blockSize;
}

TEST(LineReader, FindsEveryLineAcrossWindowsAndBlocks) {
    // Lines of every length from 0 to 199 with mixed line ends: every window
    // and block boundary falls somewhere inside a line or a line end.
    std::string bytes;
    std::vector<std::string> expected;
    const char* ends[] = {"\r\n", "\r", "\n"};
    for (int n = 0; n < 200; ++n) {
        std::string line(n, static_cast<char>('a' + n % 26));
        bytes += line + ends[n % 3];
        expected.push_back(line);
    }
    for (const bool prefetch : {false, true})
        for (const size_t blockSize : {size_t{7}, size_t{63}, size_t{64}, size_t{65}, size_t{4096}})
            EXPECT_EQ(readLines(bytes, blockSize, prefetch), expected) << blockSize;
}

TEST(LineReader, KeepsALineLongerThanManyBlocks) {
    const std::string longLine(100000, 'L');
    for (const bool prefetch : {false, true}) {
        EXPECT_EQ(readLines("a\r\n" + longLine + "\r\nb", 1000, prefetch),
                  (std::vector<std::string>{"a", longLine, "b"}));
        EXPECT_EQ(readLines(longLine, 1000, prefetch), std::vector<std::string>{longLine});
    }
}

}  // namespace
}  // namespace velunt

namespace velunt {
namespace {

// Skipping may pass over only lines that are not "  0", and must not lose,
// split or reorder any line, whatever the block boundaries and line ends.
TEST(LineReader, SkippingPassesOverOnlyLinesThatAreNoObjectStart) {
    const char* lines[] = {"  0",  "TEXT", " 10",  "  0 ", " 0",  "1.5", " 20", "  1",
                           "x  0", "",     " 10x", "100",  "  0", "0",   " 20", "  8"};
    const char* ends[] = {"\r\n", "\n", "\r"};
    std::string bytes;
    std::vector<std::string> all;
    unsigned seed = 12345;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245 + 12345;
        const char* line = lines[(seed >> 8) % std::size(lines)];
        bytes += std::string(line) + ends[(seed >> 20) % 3];
        all.push_back(line);
    }
    TempDir dir;
    const auto path = dir / "lines.txt";
    WriteFile(path, bytes);
    for (const size_t blockSize : {size_t{1}, size_t{5}, size_t{64}, size_t{100}, size_t{4096}}) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        LineReader reader(file, path, blockSize, blockSize % 2 == 0);
        size_t next = 0;  // index in `all` of the next line not yet accounted for
        std::string_view line;
        size_t handedOut = 0;
        for (;;) {
            reader.skipToObjectStart();
            if (!reader.next(line)) break;
            ++handedOut;
            // Every line skipped before this one must be no object start.
            while (next < all.size() && all[next] != line) {
                ASSERT_NE(all[next], "  0") << "line " << next << " block " << blockSize;
                ++next;
            }
            ASSERT_LT(next, all.size()) << "a line that is not in the file";
            ++next;
        }
        for (; next < all.size(); ++next) ASSERT_NE(all[next], "  0");
        if (blockSize == 4096) {
            EXPECT_LT(handedOut, all.size() / 4);  // it does skip
        }
        std::fclose(file);
    }
}

}  // namespace
}  // namespace velunt

namespace velunt {
namespace {

// A read that fails (here: a folder opened as a file) is an error, also when
// it happens on the thread that reads ahead.
TEST(LineReader, AReadErrorIsRaisedNotTakenForTheEnd) {
    TempDir dir;
    for (const bool prefetch : {false, true}) {
        std::FILE* file = std::fopen(dir.path().c_str(), "rb");
        if (!file) GTEST_SKIP() << "folders cannot be opened as files here";
        LineReader reader(file, dir.path(), 4096, prefetch);
        std::string_view line;
        EXPECT_THROW(reader.next(line), RuntimeError) << prefetch;
        std::fclose(file);
    }
}

}  // namespace
}  // namespace velunt
