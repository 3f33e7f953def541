#include "engine/value_transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/runtime_error.h"

namespace velunt {
namespace {

enum Option { kPercentC = 1, kShift = 2, kDecimal = 4 };

struct Case {
    int options;
    const char* key;
    const char* value;
    const char* stored;
    const char* rw = "4400000";
    const char* dezzeich = ",";
};

std::string transformed(const Case& c) {
    RunSettings settings;
    settings.replacePercentC = c.options & kPercentC;
    settings.shiftCoordinates = c.options & kShift;
    settings.replaceDecimalPoint = c.options & kDecimal;
    settings.rwShift = c.rw;
    settings.decimalMark = c.dezzeich;
    std::string stored = "previous";
    TransformValue(c.value, c.key, settings, stored);
    return stored;
}

TEST(TransformValue, AppliesTheOptionsInOrder) {
    const Case kCases[] = {
        {kPercentC, "  1", "%%c12", "012"},
        {kPercentC, "  1", "%%c10/%%c12", "010/012"},
        {kPercentC, "  1", "%%C12", "%%C12"},
        {kPercentC, "  1", "%%%cc", "%0c"},
        {0, "  1", "%%c12", "%%c12"},
        {kShift, " 10", " 12.345", "4400012.345"},
        {kShift | kDecimal, " 10", " 12.345", "4400012,345"},
        {kShift, " 20", "3.0004", "5700003.0004"},
        {kShift, " 21", "-12.345", "5699987.655"},
        {kShift, "210", "0.5", "5700000.5"},
        {kShift, " 20", " 0 ", "5700000"},
        {kShift, " 10", " 5712338.0 ", "10112338"},
        {kShift, " 11", "12.345678901234567", "4400012.3456789"},
        {kShift, " 40", "2.5", "2.5"},
        {kShift, " 10", "12.345", "4400012.345", "4400000,5"},
        {kShift, " 10", " 12.3450", "12.345", "0"},
        {kShift, " 10", "12.345", "12.345", ""},
        {kShift, " 10", "12.345", "12.345", " "},
        {kShift, " 10", "12.345", "13", "0.655"},
        {0, " 10", " 12.345", " 12.345"},
        {kShift | kDecimal, " 20", "3.000", "5700003"},
        {kShift | kDecimal, " 20", "-0.5", "5699999,5"},
        {kDecimal, " 40", "2.5", "25", "4400000", ""},
        {kDecimal, " 40", "2.5", "2.5", "4400000", "."},
        {kDecimal, " 40", "2.5", "2<->5", "4400000", "<->"},
        {kPercentC | kShift | kDecimal, " 10", "%%c1.25", "4400001,25"},  // "01.25": a number
        {kPercentC | kShift | kDecimal, " 10", "%%c 1.25", "0 1.25"},     // "0 1.25": a text
        {kPercentC | kDecimal, "  1", "%%c12.5 mm", "012.5 mm"},
    };
    for (const Case& c : kCases)
        EXPECT_EQ(transformed(c), c.stored)
            << "options " << c.options << " key '" << c.key << "' value '" << c.value << "'";
}

// The shift and the mark take a value only when it is a number as a whole,
// zero and exponents included; a text passes both untouched.
TEST(TransformValue, ShiftsAndMarksEveryNumberAndNoText) {
    struct NumberCase {
        const char* value;
        const char* shifted;  // under " 10", RW 4400000
        const char* marked;   // with ","
    };
    const NumberCase kNumbers[] = {
        {"0", "4400000", "0"},
        {"-0", "4400000", "-0"},
        {"0.0", "4400000", "0,0"},
        {" 0.0 ", "4400000", " 0,0 "},
        {"3.000", "4400003", "3,000"},
        {"12.", "4400012", "12,"},
        {"-.5", "4399999.5", "-,5"},
        {"1E3", "4401000", "1E3"},
        {"-1.5e2", "4399850", "-1,5e2"},
        {"1.819e-12", "4400000", "1,819e-12"},
        {"1E+20", "1.00000000000004E+20", "1E+20"},
    };
    for (const NumberCase& n : kNumbers) {
        EXPECT_EQ(transformed({kShift, " 10", n.value, ""}), n.shifted) << n.value;
        EXPECT_EQ(transformed({kDecimal, "  1", n.value, ""}), n.marked) << n.value;
    }
    const char* const kTexts[] = {
        "Str. 5",      "14.09.20", "12.345 m", "12. m",       "1.2.3",       "0,1",
        "Bl. 2051 Pv", "1E",       "1E+",      "4415041,844", "4415041:844", "AcDbText",
        "Nr. A",       "1.000 m",  "- 3",      "\t12.5",
    };
    for (const char* text : kTexts)
        EXPECT_EQ(transformed({kShift | kDecimal, " 10", text, ""}), text) << text;
}

TEST(TransformValue, ChoosesTheShiftByKeyContainment) {
    // Keys with "10"/"11" take RW (1000), with "20"/"21" HW (2000, wins).
    struct KeyCase {
        const char* key;
        const char* stored;
    };
    const KeyCase kCases[] = {
        {" 10", "1000.5"}, {" 11", "1000.5"}, {"110", "1000.5"}, {"1010", "1000.5"},
        {" 20", "2000.5"}, {" 21", "2000.5"}, {"120", "2000.5"}, {"1020", "2000.5"},
        {" 40", "0.5"},    {"  1", "0.5"},
    };
    RunSettings settings;
    settings.shiftCoordinates = true;
    settings.rwShift = "1000";
    settings.hwShift = "2000";
    for (const KeyCase& c : kCases) {
        std::string stored;
        TransformValue("0.5", c.key, settings, stored);
        EXPECT_EQ(stored, c.stored) << c.key;
    }
}

// Steps 2 and 3 look only at numbers: a text never overflows, a number does
// when its "." stands beyond 16-bit positions, and the shift also when the
// number is beyond the double range.
TEST(TransformValue, OverflowsOnlyWhereAPositionIsLookedAt) {
    const std::string longText = std::string(39999, 'x') + ".";
    const std::string longNumber = std::string(39999, '0') + ".5";
    const std::string pointAt32766 = std::string(32764, ' ') + "1.5";
    const std::string pointAt32767 = std::string(32765, ' ') + "1.5";
    const std::string hugeNumber = "1" + std::string(400, '0');
    const std::string hugeWithPoint = "1.5E999";
    const std::string marked = std::string(32764, ' ') + "1,5";
    const std::string longPlain(40000, 'x');
    struct LongCase {
        int options;
        const char* key;
        const std::string* value;
        const std::string* stored;  // nullptr: overflows
    };
    const LongCase kCases[] = {
        {kDecimal | kShift | kPercentC, " 10", &longText, &longText},
        {kDecimal | kShift | kPercentC, " 10", &longPlain, &longPlain},
        {kDecimal, "  1", &longNumber, nullptr},
        {kShift, " 10", &longNumber, nullptr},
        {kShift, " 40", &longNumber, &longNumber},  // no amount: the "." is not looked for
        {kPercentC, "  1", &longNumber, &longNumber},
        {kDecimal, "  1", &pointAt32766, &marked},
        {kDecimal, "  1", &pointAt32767, nullptr},
        {kShift, " 10", &hugeNumber, nullptr},
        {kDecimal, " 10", &hugeNumber, &hugeNumber},
        {kShift, " 10", &hugeWithPoint, nullptr},
    };
    for (const LongCase& c : kCases) {
        RunSettings settings;
        settings.replacePercentC = c.options & kPercentC;
        settings.shiftCoordinates = c.options & kShift;
        settings.replaceDecimalPoint = c.options & kDecimal;
        settings.decimalMark = ",";
        std::string stored;
        const std::string what = std::to_string(c.options) + " '" + c.key + "' " +
                                 std::to_string(c.value->size()) + " bytes";
        if (!c.stored) {
            try {
                TransformValue(*c.value, c.key, settings, stored);
                ADD_FAILURE() << "no overflow: " << what;
            } catch (const RuntimeError& error) {
                EXPECT_EQ(error.number, 6) << what;
            }
        } else {
            TransformValue(*c.value, c.key, settings, stored);
            EXPECT_EQ(stored, *c.stored) << what;
        }
    }
}

TEST(TransformValue, PercentCOverflowsFromPosition32765) {
    RunSettings settings;
    std::string stored;
    TransformValue(std::string(32763, 'x') + "%%c", "  1", settings, stored);  // at 32764
    EXPECT_EQ(stored, std::string(32763, 'x') + "0");
    EXPECT_THROW(TransformValue(std::string(32764, 'x') + "%%c", "  1", settings, stored),
                 RuntimeError);
}

// Short values are searched eight bytes at a time: a "%%c" or a "." at any
// place of a value of any short length must be found, and a "%" alone, or
// a "." in a text that is no number, must change nothing.
TEST(TransformValue, FindsMarksAtEveryPlaceOfShortValues) {
    // "%%c" alone first: then only the search for "%" decides whether the
    // value is looked at again.
    RunSettings settings;
    settings.replacePercentC = true;
    std::string stored;
    for (size_t length = 3; length <= 40; ++length) {
        for (size_t at = 0; at + 3 <= length; ++at) {
            const std::string before(at, '7');
            const std::string after(length - at - 3, '7');
            std::string value = before + "%%c" + after;
            const std::string expected = before + "0" + after;
            TransformValue(value, "  1", settings, stored);
            EXPECT_EQ(stored, expected) << value;
            value[at + 1] = 'x';
            TransformValue(value, "  1", settings, stored);
            EXPECT_EQ(stored, value) << value;
        }
        settings.replaceDecimalPoint = true;
        settings.decimalMark = ",";
        for (size_t at = 0; at < length; ++at) {
            std::string value(length, '7');
            value[at] = '.';
            std::string expected = value;
            expected[at] = ',';
            TransformValue(value, "  1", settings, stored);
            EXPECT_EQ(stored, expected) << value;
            value[at == 0 ? length - 1 : 0] = 'x';
            TransformValue(value, "  1", settings, stored);
            EXPECT_EQ(stored, value) << value;
        }
        settings.replaceDecimalPoint = false;
    }
}

// A value read from a line is followed by more readable bytes (the line end,
// the next lines); a mark among them must not count as the value's.
TEST(ValueTransform, LooksOnlyAtTheValuesOwnBytes) {
    for (const bool decimalPoint : {false, true}) {
        RunSettings settings;
        settings.replacePercentC = !decimalPoint;
        settings.replaceDecimalPoint = decimalPoint;
        const ValueTransform transform(settings);
        const char mark = decimalPoint ? '.' : '%';
        for (size_t length = 0; length <= 20; ++length)
            for (size_t at = 0; at < length + 8; ++at) {
                std::string bytes(length + 8, 'x');
                bytes[at] = mark;
                EXPECT_EQ(
                    transform.changesPadded(std::string_view(bytes.data(), length), Shift::None),
                    at < length)
                    << length << " bytes, the mark at " << at;
            }
    }
}

// The text of scaled / 10^fractionDigits, as a drawing writes it.
std::string decimalText(long long scaled, int fractionDigits, const char* sign = "-") {
    std::string digits = std::to_string(scaled < 0 ? -scaled : scaled);
    if (fractionDigits > 0) {
        if (digits.size() <= static_cast<size_t>(fractionDigits))
            digits.insert(0, fractionDigits + 1 - digits.size(), '0');
        digits.insert(digits.size() - fractionDigits, ".");
    }
    return (scaled < 0 ? sign : "") + digits;
}

// Coordinates shifted by a whole amount are changed on their digits;
// wherever that path answers, it must give the double route's text. Compared
// with whole and other amounts, on random numbers of every length, on sums
// near 1, near powers of ten and at 1E8, and on texts of 8 to 16 bytes with
// the bytes next to the digits ("/" and ":"), points, signs, blanks and a
// byte above 127 mixed in, which the path must pass on.
TEST(ValueTransform, CoordinatesOnTheirDigitsGiveTheDoubleRoutesText) {
    const char* const kAmounts[] = {"4400000",  "5700000",   "-4400000", "0",
                                    "99999999", "4400000.5", "1E8",      "-0.001"};
    const char* const kMarks[] = {",", ".", "::"};
    std::mt19937_64 random(20261207);
    std::vector<std::string> texts = {"4415041.844", "-4415041.844", "+4415041.844",  "4415041.",
                                      ".4415041",    "0000000.0",    "4415041.844000"};
    // Zero in every shape the path takes, with and without a sign.
    for (int whole = 1; whole <= 8; ++whole)
        for (int fraction = 0; fraction <= 8; ++fraction)
            for (const char* sign : {"", "-", "+"})
                texts.push_back(sign + std::string(whole, '0') + "." + std::string(fraction, '0'));
    for (int i = 0; i < 3000; ++i) {
        const int digits = 1 + static_cast<int>(random() % 15);
        const int fractionDigits = static_cast<int>(random() % (digits + 1));
        long long scaled = static_cast<long long>(random() % 1000000000000000ull);
        for (int d = digits; d < 15; ++d) scaled /= 10;
        if (random() % 2) scaled = -scaled;
        texts.push_back(decimalText(scaled, fractionDigits, random() % 8 ? "-" : "+"));
    }
    const std::string alphabet = "0123456789012345678901234567890123456789..-+ /:e\xB0";
    for (int i = 0; i < 20000; ++i) {
        std::string text(8 + random() % 9, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        if (i % 3 == 0) text[random() % text.size()] = '.';
        texts.push_back(text);
    }
    int answered = 0;
    for (const char* amount : kAmounts) {
        // Sums near 1 and near powers of ten: value = target - amount + a few units.
        std::vector<std::string> values = texts;
        const double amountValue = std::strtod(amount, nullptr);
        for (int fractionDigits = 0; fractionDigits <= 7; ++fractionDigits) {
            const double unit = std::pow(10.0, -fractionDigits);
            for (const double target : {1.0, 10.0, 1e7, 1e8}) {
                const long long base = std::llround((target - amountValue) / unit);
                for (long long delta = -3; delta <= 3; ++delta)
                    values.push_back(decimalText(base + delta, fractionDigits));
            }
        }
        for (const char* mark : kMarks) {
            RunSettings settings;
            settings.shiftCoordinates = true;
            settings.rwShift = amount;
            settings.replaceDecimalPoint = std::string_view(mark) != ".";
            settings.decimalMark = mark;
            ValueTransform transform(settings);
            for (const std::string& value : values) {
                // The double route reads the amount first; an error it raises
                // ("1e999") must not be answered past.
                std::string general = value;
                try {
                    transform.applyInPlace(general, Shift::Rw);
                } catch (const RuntimeError& error) {
                    general = "error " + std::to_string(error.number);
                }
                char out[kShortTransformRoom];
                const size_t size = transform.writeShort(value, Shift::Rw, out);
                if (size == 0) continue;
                ++answered;
                ASSERT_EQ(std::string(out, size), general)
                    << value << " + " << amount << " mark " << mark;
            }
        }
    }
    // The path must answer for the coordinates drawings hold, or the
    // comparison proves little.
    EXPECT_GT(answered, 5000);
}

// An amount beyond the double range is only an error once a value is
// shifted by it: texts under a shifted key pass, every number (zero too)
// reads it.
TEST(TransformValue, ReadsTheAmountOnlyForAValueItShifts) {
    RunSettings settings;
    settings.shiftCoordinates = true;
    settings.replaceDecimalPoint = true;
    settings.decimalMark = ",";
    settings.rwShift = "1E999";
    ValueTransform transform(settings);
    char out[kShortTransformRoom];
    for (const char* value : {"AcDbText", "12. m", "14.09.20", "0,0"}) {
        std::string stored;
        EXPECT_NO_THROW(transform.apply(value, Shift::Rw, stored)) << value;
        EXPECT_NO_THROW(transform.writeShort(value, Shift::Rw, out)) << value;
    }
    for (const char* value : {"4415041.844", "0.000", "-0"}) {
        std::string stored;
        EXPECT_THROW(transform.apply(value, Shift::Rw, stored), RuntimeError) << value;
    }
}

}  // namespace
}  // namespace velunt
