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

TEST(IsNumber, TakesOnlyAWholeNumber) {
    struct Case {
        const char* text;
        bool isNumber;
        bool isPlain;
    };
    const Case kCases[] = {
        {"0", true, true},          {"-0", true, true},         {"0.0", true, true},
        {"12.", true, true},        {" .5 ", true, true},       {"+3.000", true, true},
        {"1E3", true, false},       {"1.819e-12", true, false}, {" -1.5E+07 ", true, false},
        {"", false, false},         {" ", false, false},        {".", false, false},
        {"-", false, false},        {"-.", false, false},       {"E3", false, false},
        {".E3", false, false},      {"1E", false, false},       {"1E+", false, false},
        {"1E3.5", false, false},    {"1E3E3", false, false},    {"1.2.3", false, false},
        {"14.09.20", false, false}, {"1 2", false, false},      {"- 3", false, false},
        {"1 E3", false, false},     {"--3", false, false},      {"0,1", false, false},
        {"12.345 m", false, false}, {"Str. 5", false, false},   {"\t12", false, false},
        {"&H1F", false, false},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(IsNumber(c.text), c.isNumber) << "'" << c.text << "'";
        EXPECT_EQ(IsPlainNumber(c.text), c.isPlain) << "'" << c.text << "'";
    }
}

}  // namespace
}  // namespace velunt
