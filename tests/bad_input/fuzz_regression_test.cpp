// Replays the inputs kept in fuzz/regressions/ (each once made a fuzz target
// fail or reaches a corner the seeds miss) and the fuzz seeds through the fuzz
// targets' own code, so that they run in the ordinary and in the sanitizer
// build. Every folder must hold inputs: a missing or empty one would let a
// replay pass without running anything.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_harness.h"

namespace velunt::fuzz {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = VELUNT_SOURCE_DIR;
const fs::path kRegressions = kSource / "fuzz/regressions";

std::vector<fs::path> filesIn(const std::vector<fs::path>& folders) {
    std::vector<fs::path> files;
    for (const fs::path& folder : folders) {
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file() && entry.path().filename() != "README.md")
                files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using Target = std::string (*)(const std::uint8_t*, std::size_t);

// Runs every file through `target`; returns how many there were.
size_t replay(Target target, const std::vector<fs::path>& files, const std::string& prefix = {}) {
    for (const fs::path& file : files) {
        const std::string input = prefix + bytesOf(file);
        EXPECT_EQ(target(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()), "")
            << file;
    }
    return files.size();
}

TEST(FuzzRegression, ConfigLoader) {
    EXPECT_GE(replay(FuzzConfigLoader, filesIn({kRegressions / "config_loader"})), 1u);
    EXPECT_GE(replay(FuzzConfigLoader, filesIn({kSource / "fuzz/seeds/config"})), 1u);
    // The example configuration, and the example drawing as a file that is
    // no configuration at all.
    EXPECT_GE(replay(FuzzConfigLoader, filesIn({kSource / "examples"})), 2u);
}

TEST(FuzzRegression, ExtractionRun) {
    EXPECT_GE(replay(FuzzExtractionRun, filesIn({kRegressions / "extraction_run"})), 1u);
    // The example drawing under every combination of the option flags.
    const auto examples = filesIn({kSource / "examples"});
    ASSERT_FALSE(examples.empty());
    for (int flags = 0; flags < 256; ++flags)
        replay(FuzzExtractionRun, examples,
               std::string{static_cast<char>(flags), '\x10', '\0', '\x01'});
}

TEST(FuzzRegression, IniAndRun) {
    EXPECT_GE(replay(FuzzIniAndRun, filesIn({kRegressions / "ini_and_run"})), 1u);
    // The example configuration with the example drawing, the marks from
    // velunt.ini or chosen, at many block sizes.
    const std::string ini = bytesOf(kSource / "examples/velunt.ini");
    const std::string drawing = bytesOf(kSource / "examples/beispiel.dxf");
    for (int flags = 0; flags < 64; ++flags)
        for (const char blocks : {'\x00', '\x30', '\xF0'}) {
            const std::string input =
                ini + kPartSeparator +
                std::string{static_cast<char>(flags), '\x10', blocks, '\x01'} + drawing;
            EXPECT_EQ(
                FuzzIniAndRun(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()),
                "")
                << flags;
        }
}

TEST(FuzzRegression, FileFaults) {
    EXPECT_GE(replay(FuzzFileFaults, filesIn({kRegressions / "file_faults"})), 1u);
    // Every read of the example drawing in 7-byte blocks failing in turn,
    // and the one write of its table.
    const auto examples = filesIn({kSource / "examples"});
    for (int nth = 0; nth < 100; ++nth)
        for (const char kind : {'\x00', '\x04', '\x01', '\x05'})
            replay(FuzzFileFaults, {kSource / "examples/beispiel.dxf"},
                   std::string{kind, static_cast<char>(nth), '\0', '\x09', '\x10', '\x60', '\x01'});
}

TEST(FuzzRegression, LineReader) {
    EXPECT_GE(replay(FuzzLineReader, filesIn({kRegressions / "line_reader"})), 1u);
    // The examples at many block sizes, read line by line, skipping to
    // object starts and to keys, and taking spilled lines over.
    const auto examples = filesIn({kSource / "examples"});
    ASSERT_FALSE(examples.empty());
    for (const char mode : {'\x00', '\x01', '\x07', '\x47', '\x87', '\xC7'})
        for (int block = 0; block < 256; block += 5)
            replay(FuzzLineReader, examples, std::string{static_cast<char>(block), mode});
}

}  // namespace
}  // namespace velunt::fuzz
