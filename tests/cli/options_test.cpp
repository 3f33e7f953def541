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
    EXPECT_EQ(r.options.shift, std::nullopt);     // velunt.ini decides
    EXPECT_EQ(r.options.dxf, "a b.dxf");
    EXPECT_EQ(r.options.counter, false);
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

// Every switch that overrides velunt.ini goes both ways, the last one given
// winning, and stays unset when not given.
TEST(ParseOptions, SwitchesGoBothWaysAndTheLastWins) {
    using Switch = std::optional<bool> Options::*;
    struct Case {
        const char* on;
        const char* off;
        Switch target;
    };
    const Case kCases[] = {
        {"--shift", "--no-shift", &Options::shift},
        {"--replace-decimal-point", "--no-replace-decimal-point", &Options::replaceDecimalPoint},
        {"--percent-c", "--no-percent-c", &Options::percentC},
        {"--counter", "--no-counter", &Options::counter},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(ParseOptions({}).options.*c.target, std::nullopt) << c.on;
        EXPECT_EQ(ParseOptions({c.on}).options.*c.target, true) << c.on;
        EXPECT_EQ(ParseOptions({c.on, c.off}).options.*c.target, false) << c.on;
        EXPECT_EQ(ParseOptions({c.off, c.on}).options.*c.target, true) << c.on;
    }
}

// After "--" every argument is a drawing, even one that looks like an
// option; before it, "-" alone is a drawing too.
TEST(ParseOptions, TakesEverythingAfterTheEndOfOptionsAsDrawings) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> drawings;
        std::optional<bool> shift;
    };
    const Case kCases[] = {
        {{"--", "--shift", "-v.dxf"}, {"--shift", "-v.dxf"}, std::nullopt},
        {{"--shift", "--", "--", "a.dxf"}, {"--", "a.dxf"}, true},
        {{"-", "--"}, {"-"}, std::nullopt},
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
