// The fast number paths must give exactly what the general code gives: the
// same bits from ReadNumber, the same text from NumberToText, the same
// answer from HasNonZeroDecimals, and the same error where one is raised.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "base/read_number.h"
#include "base/read_number_general.h"
#include "base/runtime_error.h"

namespace velunt {
namespace {

std::uint64_t bitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The value read, or the error number as a text when reading raises one.
std::string readOutcome(double (*read)(std::string_view), const std::string& text) {
    try {
        return std::to_string(bitsOf(read(text)));
    } catch (const RuntimeError& error) {
        return "error " + std::to_string(error.number);
    }
}

std::string digitString(std::mt19937_64& random, int count) {
    std::string digits;
    for (int i = 0; i < count; ++i) digits += static_cast<char>('0' + random() % 10);
    return digits;
}

// Number texts of every kind the fast path decides on or hands on: signs,
// no digits before or after the point, 1 to 24 digits (15 and 16 among them),
// leading zeros, spaces around and inside, exponents, huge and tiny values.
std::vector<std::string> numberTexts() {
    std::vector<std::string> texts = {
        "0",
        "-0",
        "+0",
        "0.0",
        "-0.0",
        ".",
        "-",
        "+",
        "",
        " ",
        ".5",
        "-.5",
        "5.",
        "-5.",
        "4412345.678",
        "  4412345.678  ",
        "4400000",
        "9007199254740992",
        "9007199254740993",
        "900719925474099.3",
        "18446744073709551615",
        "18446744073709551616",
        "0.0000000000000000000001",
        "0.00000000000000000000001",
        "1e400",
        "-1e400",
        "1e-400",
        "1E5",
        "1.5e-3",
        "12 34",
        "1\t2",
        "- 5",
        "--5",
        "1.2.3",
        "&H1F",
        "12.345 m",
        "3,5",
        "123456789012345.6",
        "1234567890123456.7",
        "99999999999999999999",
    };
    std::mt19937_64 random(20260107);
    const char* const signs[] = {"", "-", "+"};
    const char* const pads[] = {"", " ", "  "};
    for (int round = 0; round < 40000; ++round) {
        const int count = 1 + static_cast<int>(random() % 24);
        std::string digits = digitString(random, count);
        const size_t point = random() % (digits.size() + 2);  // past the end: no point
        if (point <= digits.size()) digits.insert(point, ".");
        std::string text = signs[random() % 3] + digits;
        if (random() % 8 == 0) text += (random() % 2 ? "e" : "E") + std::to_string(random() % 40);
        if (random() % 16 == 0) text.insert(random() % (text.size() + 1), " ");
        texts.push_back(pads[random() % 3] + text + pads[random() % 3]);
    }
    return texts;
}

TEST(FastNumber, ReadsEveryTextAsTheGeneralCodeDoes) {
    // ReadPlainNumber: a plain number and its value in one pass.
    const auto plainOutcome = [](const std::string& text) {
        double value = 0;
        try {
            if (!ReadPlainNumber(text, value)) return std::string("no plain number");
        } catch (const RuntimeError& error) {
            return "error " + std::to_string(error.number);
        }
        return std::to_string(bitsOf(value));
    };
    for (const std::string& text : numberTexts()) {
        EXPECT_EQ(readOutcome(ReadNumber, text), readOutcome(ReadNumberGeneral, text))
            << "\"" << text << "\"";
        EXPECT_EQ(plainOutcome(text),
                  IsPlainNumber(text) ? readOutcome(ReadNumberGeneral, text) : "no plain number")
            << "\"" << text << "\"";
    }
}

// Values of every kind: read from the texts above, sums as the shift makes
// them, their neighbours, values at the edges of the plain form (1E-4,
// 1E15) and exact ties at the 15th digit.
std::vector<double> numberValues() {
    std::vector<double> values = {
        0.1 + 0.2,
        12345678901234.25,
        12345678901234.75,
        999999999999999.4,
        999999999999999.5,
        999999999999999.9,
        1e15,
        1e-4,
        0.00009999999999999999,
        0.000099999999999999995,
        1e-5,
        123456789012345.0,
        1234567890123456.0,
        0.5,
        5e-324,
        1.7976931348623157e308,
        -2.5,
        4400000.0 + 4412345.678,
        5700000.0 + 5712345.678,
    };
    // Every power of ten the fast path writes, and (below) its neighbours.
    for (double power = 1; power <= 1e15; power *= 10) values.push_back(power);
    for (const std::string& text : numberTexts()) {
        try {
            const double value = ReadNumberGeneral(text);
            values.push_back(value);
            values.push_back(value + 4400000.0);
            values.push_back(value - 5700000.5);
        } catch (const RuntimeError&) {
        }
    }
    std::mt19937_64 random(7);
    for (int round = 0; round < 20000; ++round) {
        std::uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value)) values.push_back(value);
        values.push_back(static_cast<double>(random() % 100000000000) / 1000.0 + 4400000.0);
        values.push_back(
            std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 80)));
    }
    const size_t count = values.size();
    for (size_t i = 0; i < count; ++i)
        for (const double toward :
             {-std::numeric_limits<double>::max(), std::numeric_limits<double>::max()})
            values.push_back(std::nextafter(values[i], toward));
    return values;
}

TEST(FastNumber, WritesEveryValueAsTheGeneralCodeDoes) {
    for (const double value : numberValues()) {
        EXPECT_EQ(NumberToText(value), NumberToTextGeneral(value)) << bitsOf(value);
        std::string assigned = "previous text";
        AssignNumberText(value, assigned);
        EXPECT_EQ(assigned, NumberToTextGeneral(value)) << bitsOf(value);
    }
    EXPECT_THROW(NumberToText(std::numeric_limits<double>::infinity()), RuntimeError);
    EXPECT_THROW(NumberToText(std::nan("")), RuntimeError);
}

// Every text of up to three characters after the point, from digits, the
// characters a number can go on with and some that end it: the guard reads
// the leading number there.
TEST(FastNumber, JudgesTheDecimalsAsTheGeneralCodeDoes) {
    const std::string alphabet = "0159 .eE-+&Hx\t";
    std::vector<std::string> tails = {""};
    for (int length = 1; length <= 4; ++length) {
        std::vector<std::string> longer;
        for (const std::string& tail : tails)
            if (static_cast<int>(tail.size()) == length - 1)
                for (const char c : alphabet) longer.push_back(tail + c);
        tails.insert(tails.end(), longer.begin(), longer.end());
    }
    for (const std::string& tail : tails)
        for (const char* head : {"3.", "-12.", "x.", "."}) {
            const std::string text = head + tail;
            EXPECT_EQ(HasNonZeroDecimals(text), HasNonZeroDecimalsGeneral(text))
                << "\"" << text << "\"";
        }
    for (const std::string& text : numberTexts())
        EXPECT_EQ(HasNonZeroDecimals(text), HasNonZeroDecimalsGeneral(text))
            << "\"" << text << "\"";
}

}  // namespace
}  // namespace velunt
