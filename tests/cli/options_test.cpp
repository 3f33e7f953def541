#include "cli/options.h"

#include <gtest/gtest.h>

namespace velunt::cli {
namespace {

TEST(ParseOptions, TakesValuesLiterally) {
    const ParseResult r =
        ParseOptions({"--separator", "", "--rw", "-100", "--hw=-5=6", "--decimal-mark", "--shift",
                      "--dxf=a b.dxf", "--no-counter"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.separator, "");
    EXPECT_EQ(r.options.rw, "-100");
    EXPECT_EQ(r.options.hw, "-5=6");
    EXPECT_EQ(r.options.decimalMark, "--shift");  // the next argument, whatever it is
    EXPECT_FALSE(r.options.shift);
    EXPECT_EQ(r.options.dxf, "a b.dxf");
    EXPECT_FALSE(r.options.counter);
    EXPECT_FALSE(r.options.txt.has_value());
}

TEST(ParseOptions, SectionEncodingAndQuotingOverrideOnlyWhenGiven) {
    const ParseResult given = ParseOptions({"--section", "ENTITIES", "--encoding=UTF-8"});
    ASSERT_EQ(given.error, "");
    EXPECT_EQ(given.options.section, "ENTITIES");
    EXPECT_EQ(given.options.encoding, "UTF-8");
    const ParseResult none = ParseOptions({});
    EXPECT_FALSE(none.options.section.has_value());
    EXPECT_FALSE(none.options.encoding.has_value());
    EXPECT_FALSE(none.options.quote.has_value());                            // anfuehrung= decides
    EXPECT_EQ(ParseOptions({"--no-quote", "--quote"}).options.quote, true);  // the last wins
    EXPECT_EQ(ParseOptions({"--quote", "--no-quote"}).options.quote, false);
}

// After "--" every argument is a drawing, even one that looks like an
// option; before it, "-" alone is a drawing too.
TEST(ParseOptions, TakesEverythingAfterTheEndOfOptionsAsDrawings) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> drawings;
        bool shift;
    };
    const Case kCases[] = {
        {{"--", "--shift", "-v.dxf"}, {"--shift", "-v.dxf"}, false},
        {{"--shift", "--", "--", "a.dxf"}, {"--", "a.dxf"}, true},
        {{"-", "--"}, {"-"}, false},
    };
    for (const Case& c : kCases) {
        const ParseResult r = ParseOptions(c.args);
        ASSERT_EQ(r.error, "") << c.args.front();
        EXPECT_EQ(r.options.drawings, c.drawings) << c.args.front();
        EXPECT_EQ(r.options.shift, c.shift) << c.args.front();
        EXPECT_FALSE(r.options.verbose);
    }
}

TEST(ParseOptions, RejectsWhatItDoesNotKnow) {
    const std::vector<std::vector<std::string>> kBad = {
        {"--bogus"},
        {"--txt"},
        {"-x"},
        {"--shift=1"},
    };
    for (const auto& args : kBad) EXPECT_NE(ParseOptions(args).error, "") << args.front();
}

}  // namespace
}  // namespace velunt::cli
