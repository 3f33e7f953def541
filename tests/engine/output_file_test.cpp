#include "engine/output_file.h"

#include <gtest/gtest.h>

#include <chrono>

#include "base/runtime_error.h"
#include "test_files.h"

namespace velunt {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::vector<std::string_view> pieces(std::initializer_list<std::string_view> list) {
    return std::vector<std::string_view>(list);
}

// A clock that moves only when a test moves it.
std::chrono::steady_clock::time_point g_fakeNow;
std::chrono::steady_clock::time_point fakeNow() { return g_fakeNow; }

TEST(OutputFile, EmptiesTheFileAndHandsOverWholeLinesInBatches) {
    TempDir dir;
    const auto path = dir / "out.txt";
    WriteFile(path, "old contents\r\n");
    OutputFile output(path, fakeNow);
    EXPECT_EQ(ReadFile(path), "");
    output.appendLine(pieces({"a", ";", "b"}));
    g_fakeNow += OutputFile::kMaxDelay - std::chrono::milliseconds(1);
    output.flushIfDue();
    EXPECT_EQ(ReadFile(path), "");  // not yet due
    g_fakeNow += std::chrono::milliseconds(1);
    output.flushIfDue();
    EXPECT_EQ(ReadFile(path), "a;b\r\n");
    output.appendLine(pieces({"", "c"}));
    output.close();
    EXPECT_EQ(ReadFile(path), "a;b\r\nc\r\n");
}

// Fields and separators are copied in pieces of 4, 8 and 16 bytes that may
// overlap: every length must come out whole.
TEST(OutputFile, CopiesFieldsOfEveryLength) {
    TempDir dir;
    const auto path = dir / "out.txt";
    std::string expected;
    {
        OutputFile output(path);
        for (size_t length = 0; length <= 40; ++length) {
            std::string field;
            for (size_t i = 0; i < length; ++i) field += static_cast<char>('a' + (length + i) % 26);
            const std::string separator = length % 2 == 0 ? ";" : " | ";
            output.appendLine(pieces({field, field, field}), separator);
            expected += field + separator + field + separator + field + "\r\n";
        }
        output.close();
    }
    EXPECT_EQ(ReadFile(path), expected);
}

TEST(OutputFile, WritesALineLongerThanTheBufferAfterTheLinesBeforeIt) {
    TempDir dir;
    const auto path = dir / "out.txt";
    const std::string longField(OutputFile::kBufferSize + 10, 'x');
    OutputFile output(path);
    output.appendLine(pieces({"first"}));
    output.appendLine(pieces({longField, ";", "end"}));
    EXPECT_EQ(ReadFile(path), "first\r\n" + longField + ";end\r\n");
    // A full buffer is written at a line end, never inside a line.
    const std::string line(1000, 'y');
    for (size_t i = 0; i < OutputFile::kBufferSize / 1000; ++i) output.appendLine(pieces({line}));
    const std::string written = ReadFile(path);
    EXPECT_GT(written.size(), longField.size() + 7);
    EXPECT_EQ(written.substr(written.size() - 2), "\r\n");
    output.close();
}

TEST(OutputFile, AFailedWriteIsAnErrorNotASilentLoss) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    OutputFile output("/dev/full");
    output.appendLine(pieces({"a"}));
    try {
        output.close();
        FAIL() << "the write to a full device was not reported";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number, 61);
    }
}

}  // namespace
}  // namespace velunt
