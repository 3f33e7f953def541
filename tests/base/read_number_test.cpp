#include "base/read_number.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "base/runtime_error.h"

namespace velunt {
namespace {

TEST(ReadNumber, ReadsTheLeadingNumber) {
    struct Case {
        const char* text;
        double value;
    };
    const Case kCases[] = {
        {" 12.345", 12.345},
        {"1 2", 12},
        {".5", 0.5},
        {"5.", 5},
        {"12.345 m", 12.345},
        {"4400000,5", 4400000},
        {"", 0},
        {"x", 0},
        {"-12.5", -12.5},
        {"+3", 3},
        {"- 3", -3},
        {"--3", 0},
        {"1.2.3", 1.2},
        {"1E3", 1000},
        {"2.5e-1", 0.25},
        {"1E", 1},
        {"1E+", 1},
        {"\t\n7", 7},
        {"1 e 2", 100},
        {"&H1F", 31},
        {"&HFFFF", -1},
        {"&O17", 15},
        {"&H", 0},
        {"1e-400", 0},
        {"0.1 0", 0.1},
        {"00012", 12},
    };
    for (const Case& c : kCases) EXPECT_DOUBLE_EQ(ReadNumber(c.text), c.value) << c.text;
}

TEST(ReadNumber, OverflowsBeyondTheDoubleRange) {
    EXPECT_THROW(ReadNumber("1e400"), RuntimeError);
    try {
        ReadNumber("-1e999");
        FAIL();
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number, 6);
    }
}

TEST(ReadNumber, IgnoresTheProcessLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no German locale";
    EXPECT_DOUBLE_EQ(ReadNumber("12.5"), 12.5);
    EXPECT_EQ(NumberToText(12.5), "12.5");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(NumberToText, WritesTheGeneralForm) {
    struct Case {
        double value;
        const char* text;
    };
    const Case kCases[] = {
        {4400012.345, "4400012.345"},
        {4400012.345678901, "4400012.3456789"},
        {5700000.5, "5700000.5"},
        {13, "13"},
        {0.5, "0.5"},
        {-12.25, "-12.25"},
        {-0.0, "0"},
        {1e16, "1E+16"},
        {123456789012345.0, "123456789012345"},
        {0.00001, "1E-05"},
        {0.0001, "0.0001"},
    };
    for (const Case& c : kCases) EXPECT_EQ(NumberToText(c.value), c.text) << c.value;
}

TEST(HasNonZeroDecimals, LooksAtThreeCharactersAfterTheFirstPoint) {
    struct Case {
        const char* text;
        bool expected;
    };
    const Case kCases[] = {
        {"3.000", false}, {"3.0004", false}, {"3.001", true}, {"12.", false},  {"Str. 5", true},
        {"Nr. A", false}, {"12", false},     {"0.5", true},   {"-1.25", true}, {".", false},
    };
    for (const Case& c : kCases) EXPECT_EQ(HasNonZeroDecimals(c.text), c.expected) << c.text;
}

TEST(HasNonZeroDecimals, OverflowsWhenThePointStandsBeyond16BitPositions) {
    EXPECT_NO_THROW(HasNonZeroDecimals(std::string(32765, 'x') + ".5"));  // position 32766
    EXPECT_THROW(HasNonZeroDecimals(std::string(32766, 'x') + ".5"), RuntimeError);
    EXPECT_NO_THROW(HasNonZeroDecimals(std::string(40000, 'x')));
}

}  // namespace
}  // namespace velunt
