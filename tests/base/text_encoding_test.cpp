#include "base/text_encoding.h"

#include <gtest/gtest.h>

#include "test_files.h"

namespace velunt {
namespace {

TEST(TextEncoding, TellsValidUtf8) {
    EXPECT_TRUE(IsValidUtf8("Maßstab \xE2\x88\x85"));
    EXPECT_FALSE(
        IsValidUtf8("Ma\xDF"
                    "stab"));                   // Windows-1252 "ß"
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE2\x88"));      // cut off
}

TEST(TextEncoding, ConvertsWindows1252BothWays) {
    const std::string cp1252 =
        "Schl\xFC"
        "ssel \x80 \x84x\x93";
    const std::string utf8 = ToUtf8(cp1252, TextEncoding::Windows1252);
    EXPECT_EQ(utf8, "Schlüssel € „x“");
    EXPECT_EQ(FromUtf8(utf8, TextEncoding::Windows1252), cp1252);
    EXPECT_EQ(FromUtf8("\xE2\x88\x85", TextEncoding::Windows1252), "?");
    EXPECT_EQ(ToUtf8("\xFC", TextEncoding::Utf8), "\xFC");  // UTF-8 passes unchanged
}

TEST(PathFromBytes, OpensAFileWithUmlautsFromEitherEncoding) {
    testing::TempDir dir;
    testing::WriteFile(dir.path() / std::filesystem::path(u8"Pläne.dxf"), "x");
    const std::string folder = dir.path().string() + "/";
    EXPECT_TRUE(
        std::filesystem::exists(PathFromBytes(folder + "Pl\xE4ne.dxf", TextEncoding::Windows1252)));
    EXPECT_TRUE(std::filesystem::exists(PathFromBytes(folder + "Pläne.dxf", TextEncoding::Utf8)));
}

}  // namespace
}  // namespace velunt
