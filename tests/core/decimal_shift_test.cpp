#include "base/decimal_shift.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>

namespace velunt {
namespace {

// Texts of up to 18 bytes, mostly digits, with the bytes next to the digits
// ("/" and ":"), points, signs, blanks and a byte above 127 mixed in: the
// reader must accept exactly "[sign]digits[.digits]" with 1 to 15 digits and
// read it as the plain reading does.
TEST(ReadShortDecimal, AcceptsExactlyShortPlainDecimals) {
    const std::regex plain(R"(([+-]?)(\d*)(\.(\d*))?)");
    const std::string alphabet = "0123456789012345678901234567890123456789..-+ /:e\xB0";
    std::mt19937 random(7);
    int accepted = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string text(random() % 19, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        if (i % 3 == 0 && !text.empty()) text[random() % text.size()] = '.';

        ShortDecimal number;
        const bool read = ReadShortDecimal(text, number);
        std::smatch match;
        const bool matches = std::regex_match(text, match, plain);
        const std::string whole = matches ? match[2].str() : "";
        const std::string fraction = matches ? match[4].str() : "";
        const size_t digits = whole.size() + fraction.size();
        ASSERT_EQ(read, matches && digits >= 1 && digits <= 15) << text;
        if (!read) continue;
        ++accepted;
        long long expected = std::stoll(whole + fraction);
        if (match[1] == "-") expected = -expected;
        EXPECT_EQ(number.scaled, expected) << text;
        EXPECT_EQ(number.fractionDigits, static_cast<int>(fraction.size())) << text;
        EXPECT_EQ(number.digits, static_cast<int>(digits)) << text;
        EXPECT_EQ(number.point, match[3].matched ? text.find('.') : std::string::npos) << text;
    }
    EXPECT_GT(accepted, 1000);
}

}  // namespace
}  // namespace velunt
