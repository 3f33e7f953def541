#include "lines/window_masks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "lines/line_reader.h"
#include "lines/prefix_xor.h"
#include "test_files.h"

namespace velunt {
namespace {

using testing::TempDir;
using testing::WriteFile;

// Each text at its offset; the gaps between them are filled with 'x'.
std::string placed(std::initializer_list<std::pair<size_t, std::string>> parts) {
    std::string bytes;
    for (const auto& [offset, text] : parts) bytes.append(offset - bytes.size(), 'x') += text;
    return bytes;
}

// Three-byte lines of every shape, with all three line ends, so that their
// bytes and line ends fall on every side of the window edges.
std::string keyShapedLines() {
    const char* lines[] = {" 10", " 20",  "  1", "  8", "100", "1  ", " 0 ",
                           "  0", "  0 ", " 0",  "0",   "10",  "7"};
    const char* ends[] = {"\r\n", "\n", "\r"};
    std::string bytes;
    for (int i = 0; i < 91; ++i) bytes += std::string(lines[i % 13]) + ends[i % 3];
    return bytes;
}

// Lines of a few bytes, code-shaped or drawn from a small alphabet, with
// every line end, from a fixed seed: each shape lands on every window edge.
std::string randomLines(size_t size) {
    std::mt19937 random(7);
    const char* shapes[] = {"  0", " 10", "  1", "100", "0", "17", "7"};
    const char* ends[] = {"\r\n", "\r", "\n"};
    std::string bytes;
    while (bytes.size() < size) {
        if (random() % 2 == 0)
            bytes += shapes[random() % 7];
        else
            // "/" and ":" border on the digits.
            for (auto n = random() % 5; n > 0; --n) bytes += " 017x/:"[random() % 7];
        bytes += ends[random() % 3];
    }
    bytes.resize(size);
    return bytes;
}

// Group-code/value pairs with codes in the standard layout and bare ("0",
// "10", "330"), stretches of each long enough to fill runs of windows, and
// values that read like codes; line ends of every kind, from a fixed seed.
std::string codePairs(size_t size) {
    const char* codes[] = {"  0", " 10", "100", "330", "0", "10", "8", " 8 ", "1071"};
    const char* values[] = {"TEXT", "1.5", " 10", "  0", "", "7", "AB"};
    const char* ends[] = {"\r\n", "\n", "\r"};
    std::mt19937 random(11);
    std::string bytes;
    for (int pair = 0; bytes.size() < size; ++pair) {
        const bool bare = pair / 150 % 2 == 1;
        const char* end = ends[pair / 300 % 3 == 2 ? random() % 3 : pair / 300 % 2];
        bytes += std::string(codes[bare ? random() % 9 : random() % 4]) + end;
        bytes += std::string(values[random() % 7]) + end;
    }
    return bytes;
}

// Lines split by a plain byte loop: CR LF, lone CR and lone LF end a line.
std::vector<std::string> plainLines(const std::string& bytes) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') {
            lines.back() += bytes[i];
            continue;
        }
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        lines.emplace_back();
    }
    if (lines.back().empty()) lines.pop_back();
    return lines;
}

// The masks of all windows, the file cut into blocks as BlockSource cuts it;
// the bytes after each block are ones the masks must not count. The last five
// are the code-line masks (empty without `withCodeLines`).
std::array<std::vector<std::uint64_t>, 8> masksOf(MaskVariant variant, const std::string& bytes,
                                                  size_t blockSize, const KeyShape& shape,
                                                  bool withCodeLines) {
    std::array<std::vector<std::uint64_t>, 8> all;
    bool lineStartsAtBlock = true;
    for (size_t at = 0; at < bytes.size(); at += blockSize) {
        const size_t n = std::min(blockSize, bytes.size() - at);
        const std::string block = bytes.substr(at, n) + std::string(16, '\r') +
                                  std::string(16, '\n') + std::string(32, ' ') + "0";
        std::array<std::vector<std::uint64_t>, 3> masks;
        for (auto& m : masks) m.resize((n + 63) / 64);
        std::vector<CodeLineMasks> codeLines(withCodeLines ? (n + 63) / 64 : 0);
        ComputeWindowMasks(variant, block.data(), n, lineStartsAtBlock, shape, masks[0].data(),
                           masks[1].data(), masks[2].data(),
                           withCodeLines ? codeLines.data() : nullptr);
        for (int k = 0; k < 3; ++k) all[k].insert(all[k].end(), masks[k].begin(), masks[k].end());
        for (const CodeLineMasks& codes : codeLines) {
            all[3].push_back(codes.standard);
            all[4].push_back(codes.oneDigit);
            all[5].push_back(codes.twoDigits);
            all[6].push_back(codes.zero);
            all[7].push_back(codes.lineEndParity);
        }
        lineStartsAtBlock = bytes[at + n - 1] == '\r' || bytes[at + n - 1] == '\n';
    }
    return all;
}

// The lines a reader hands out, group codes read in pairs or not; with
// `skip`, after skipping to object starts and to keys in turn before each
// line.
std::vector<std::string> readerLines(const std::filesystem::path& path, size_t blockSize,
                                     MaskVariant variant, bool inPairs, bool skip) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    LineReader reader(file, path, blockSize, false, variant);
    if (inPairs) reader.readGroupCodesInPairs();
    const std::string keys[] = {" 10", " 20", "  1"};
    EXPECT_TRUE(reader.setKeys(keys));
    std::vector<std::string> lines;
    std::string_view line;
    for (bool toKeys = false;; toKeys = !toKeys) {
        if (skip && toKeys) reader.skipToKeyOrObjectStart(0);
        if (skip && !toKeys) reader.skipToObjectStart();
        if (!reader.next(line)) break;
        lines.emplace_back(line);
    }
    std::fclose(file);
    return lines;
}

// Every variant this machine can run, on inputs whose line ends, object
// starts, three-byte lines and group codes sit on window and block edges:
// the same masks as the plain one, and the same lines, read plainly or in
// pairs, as the plain one.
TEST(WindowMasks, EveryVariantGivesTheSameMasksAndLines) {
    const std::pair<const char*, std::string> kInputs[] = {
        // The CR of a CR LF pair as the last byte of blocks of 64, 100 and 128.
        {"CR LF split",
         placed({{63, "\r\n"}, {99, "\r\n"}, {127, "\r\n"}, {199, "\r\n"}, {255, "\r\n"}})},
        {"long lines", std::string(300, 'L') + "\r\n" + std::string(129, 'M') + "\n  0\r\n" +
                           std::string(200, 'N')},
        // "  0" ending at, crossing and starting at window and block edges;
        // the last one has no line end.
        {"object starts at edges", placed({{59, "\n  0\r\n"},
                                           {97, "\n  0\r\n"},
                                           {125, "\n  0\r\n"},
                                           {188, "\n  0\n"},
                                           {255, "\n  0\r"},
                                           {299, "\r  0"}})},
        {"lone CR and LF",
         placed({{0, "a\rb\nc\r\n\n\r"}, {63, "\ry"}, {99, "\n"}, {127, "\n\r"}, {191, "\r"}})},
        {"short last window", "  0\r\n 10\r\n1.5"},
        {"key shapes", keyShapedLines()},
        {"random lines", randomLines(6000)},
        // A line with no line end after whole windows: the bytes after the
        // block must not end it.
        {"open last line", placed({{4092, "\n  0"}})},
        // Codes and values that end in the last bytes of windows and blocks,
        // split CR LF pairs after them; a bare "0" last, with no line end.
        {"bare codes at edges", placed({{0, "0\nTEXT\r\n"},
                                        {60, "\r\n10\r"},
                                        {98, "\n7\r\n330\r"},
                                        {126, "\n1.5\n0"},
                                        {191, "\n8\n\n  1\r\n"}}) +
                                    "x\r\n0"},
        {"code pairs", codePairs(20000)},
    };
    const KeyShape kShapes[] = {
        {},                                           // every three-byte line
        {{true, false, false}, {}},                   // keys " 10", " 20", "  1"
        {{true, true, false}, {false, false, true}},  // "  0" alone
    };
    const std::vector<MaskVariant> variants = AvailableMaskVariants();
#if defined(__x86_64__) || defined(_M_X64)
    ASSERT_GE(variants.size(), 2u);  // plain C++ and SSE2 at least
#endif
    TempDir dir;
    for (const auto& [name, bytes] : kInputs) {
        WriteFile(dir / "lines.txt", bytes);
        for (const size_t blockSize : {64, 100, 128, 256, 300, 1000, 4096, 8192}) {
            SCOPED_TRACE(::testing::Message() << name << ", blocks of " << blockSize);
            for (const KeyShape& shape : kShapes) {
                for (const bool withCodeLines : {true, false}) {
                    const auto expected =
                        masksOf(variants.front(), bytes, blockSize, shape, withCodeLines);
                    for (const MaskVariant variant : variants)
                        EXPECT_EQ(masksOf(variant, bytes, blockSize, shape, withCodeLines),
                                  expected)
                            << "variant " << static_cast<int>(variant);
                }
            }
            for (const bool skip : {false, true}) {
                for (const bool inPairs : {false, true}) {
                    const auto expected = skip || inPairs
                                              ? readerLines(dir / "lines.txt", blockSize,
                                                            variants.front(), inPairs, skip)
                                              : plainLines(bytes);
                    for (const MaskVariant variant : variants)
                        EXPECT_EQ(readerLines(dir / "lines.txt", blockSize, variant, inPairs, skip),
                                  expected)
                            << "variant " << static_cast<int>(variant)
                            << (inPairs ? ", in pairs" : "") << (skip ? ", skipping" : "");
                }
            }
        }
    }
}

// The prefix XOR gives, at each bit, the parity of the bits at and below
// it, counted one by one.
TEST(PrefixXor, GivesTheParityOfTheBitsUpToEachBit) {
    std::mt19937_64 random(7);
    std::vector<std::uint64_t> words = {
        0, 1, ~std::uint64_t{0}, std::uint64_t{1} << 63, 0x8000000000000001u, 0x5555555555555555u};
    for (int i = 0; i < 20000; ++i) words.push_back(random() & random());
    for (const std::uint64_t word : words) {
        std::uint64_t expected = 0;
        bool odd = false;
        for (int bit = 0; bit < 64; ++bit) {
            odd = odd != (((word >> bit) & 1) != 0);
            expected |= std::uint64_t{odd} << bit;
        }
        ASSERT_EQ(PrefixXor(word), expected) << std::hex << word;
    }
}

}  // namespace
}  // namespace velunt
