#include "config/config_loader.h"

#include <gtest/gtest.h>

#include "base/runtime_error.h"
#include "test_files.h"

namespace velunt {
namespace {

using testing::TempDir;
using testing::WriteFile;

// A loaded configuration and what its decimal-mark and separator boxes show.
struct Loaded {
    Configuration config;
    std::string text1, text2;
};

Loaded load(const std::string& ini) {
    TempDir dir;
    WriteFile(dir / "velunt.ini", ini);
    Loaded loaded{ConfigLoader(dir / "velunt.ini"), {}, {}};
    loaded.text1 = InitialDecimalMark(loaded.config.settings);
    loaded.text2 = InitialSeparator(loaded.config.settings);
    return loaded;
}

int loadError(const std::string& ini) {
    try {
        load(ini);
    } catch (const RuntimeError& error) {
        return error.number;
    }
    return 0;
}

TEST(ConfigLoader, ReadsColumnsAndSettings) {
    const Loaded l = load(
        "; comment\r\ndxfpath= C:\\a b.dxf \r\nTXTPATH=out.txt\r\nmasterkey=TEXT\r\n"
        "dezzeich=,\r\ntrennzeich=\t\r\n[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n  1|3|Text | x\r\n"
        "\r\n[Ende]\r\n");
    const Configuration& c = l.config;
    EXPECT_EQ(c.columnCount, 3);
    EXPECT_EQ(c.table.keys, (std::vector<std::string>{" 10", " 20", "  1", ""}));
    EXPECT_EQ(c.table.columns, (std::vector<std::int16_t>{1, 2, 3, 0}));
    EXPECT_EQ(c.table.texts, (std::vector<std::string>{"RW", "HW", "Text | x", ""}));
    EXPECT_EQ(c.columnLines, (std::vector<std::string>{" 10|1|RW", " 20|2|HW", "  1|3|Text | x"}));
    EXPECT_EQ(c.settings.dxfpath, "C:\\a b.dxf");
    EXPECT_EQ(c.settings.txtpath, "out.txt");
    EXPECT_EQ(c.settings.masterkey, "TEXT");
    EXPECT_EQ(l.text1, ",");
    EXPECT_EQ(c.settings.trennzeich, "\t");  // tabs are not trimmed
    EXPECT_EQ(c.encoding, TextEncoding::Utf8);
}

TEST(ConfigLoader, FindsTheBlockByItsRules) {
    struct Case {
        const char* ini;
        int columnCount;
        std::vector<std::string> keys;
    };
    const Case kCases[] = {
        // LF, CR and CR LF line ends all end a line.
        {"[Spalten]\n 10|1|a\r 20|2|b\r\n", 2, {" 10", " 20", ""}},
        // The block runs to the end of the file.
        {"x\r\n[Spalten]\r\na|1|\r\nb|2|", 2, {"a", "b", ""}},
        // A line beginning with "[" ends the block; before the header it has no effect.
        {"[Other]\r\n[Spalten]\r\na|1|\r\n[Ende]\r\nb|2|", 1, {"a", ""}},
        // The first line after the header belongs to the block even when it begins with "[".
        {"[Spalten]\r\n[x|1|\r\na|2|\r\n\r\n", 2, {"[x", "a", ""}},
        // Spaces around the bars stay in the key.
        {"[Spalten]\r\n 10 | 1 | RW\r\n", 1, {" 10 ", ""}},
        // A second header fills the spare slot.
        {"[Spalten]\r\na|1|\r\n\r\n[Spalten]\r\nb|2|\r\n", 1, {"a", "b"}},
        // No header: every line counts, every slot stays empty.
        {"dxfpath=a\r\nb\r\n", 2, {"", "", ""}},
        // A UTF-8 byte-order mark does not hide the header.
        {"\xEF\xBB\xBF[Spalten]\r\na|1|\r\n", 1, {"a", ""}},
        // A settings line in the block with two bars is a column line too.
        {"[Spalten]\r\nmasterkey=X|1|y\r\n", 1, {"masterkey=X", ""}},
        {"", 0, {""}},
    };
    for (const Case& c : kCases) {
        const Loaded l = load(c.ini);
        EXPECT_EQ(l.config.columnCount, c.columnCount) << c.ini;
        EXPECT_EQ(l.config.table.keys, c.keys) << c.ini;
    }
}

TEST(ConfigLoader, RoundsColumnNumbersHalfToEven) {
    const Loaded l = load(
        "[Spalten]\r\na|1.5|\r\nb|2.5|\r\nc|x|\r\nd||\r\ne|3.5|\r\nf|-0.5|\r\n"
        "g| 1 2 |\r\nh|-32768|\r\n");
    EXPECT_EQ(l.config.table.columns, (std::vector<std::int16_t>{2, 2, 0, 0, 4, 0, 12, -32768, 0}));
}

TEST(ConfigLoader, SettingsKeysFollowTheirRules) {
    struct Case {
        const char* ini;
        std::string dezzeich, text1, trennzeich, text2, masterkey;
    };
    // A missing mark reads as an empty one: the boxes never start empty.
    const Case kCases[] = {
        {"DEZZEICH=;\r\nTrennZeich=|", ";", ";", "|", "|", ""},
        {"dezzeich=\r\ntrennzeich=   \r\n", "", ".", "", ";", ""},
        {"dezzeich =,\r\n dezzeich=,\r\n", "", ".", "", ";", ""},     // not recognised
        {"masterkey=A\r\nmasterkey= B \r\n", "", ".", "", ";", "B"},  // the last wins
        {"[Spalten]\r\nx|1|y\r\n\r\n[Ende]\r\nmasterkey=TEXT", "", ".", "", ";", "TEXT"},
    };
    for (const Case& c : kCases) {
        const Loaded l = load(c.ini);
        EXPECT_EQ(l.config.settings.dezzeich, c.dezzeich) << c.ini;
        EXPECT_EQ(l.text1, c.text1) << c.ini;
        EXPECT_EQ(l.config.settings.trennzeich, c.trennzeich) << c.ini;
        EXPECT_EQ(l.text2, c.text2) << c.ini;
        EXPECT_EQ(l.config.settings.masterkey, c.masterkey) << c.ini;
    }
}

TEST(ConfigLoader, QuotingIsOnOnlyFor1AndOtherValuesAreRefused) {
    struct Case {
        const char* ini;
        bool anfuehrung;
    };
    const Case kCases[] = {
        {"anfuehrung=1\r\n", true},
        {"ANFUEHRUNG= 1 \r\n", true},
        {"anfuehrung=0\r\n", false},
        {"anfuehrung=\r\n", false},  // empty counts as absent
        {"masterkey=TEXT\r\n", false},
        {"anfuehrung=1\r\nanfuehrung=0\r\n", false},  // the last wins
    };
    for (const Case& c : kCases) EXPECT_EQ(load(c.ini).config.settings.anfuehrung, c.anfuehrung);
    for (const char* value : {"ja", "2", "1 1", "01", "\t1"}) {
        try {
            load(std::string("masterkey=TEXT\r\nanfuehrung=") + value + "\r\n");
            ADD_FAILURE() << value;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number, 5);
            EXPECT_EQ(error.description.rfind("velunt.ini, Zeile 2: anfuehrung=", 0), 0u)
                << error.description;
        }
    }
}

TEST(ConfigLoader, BoxSwitchesAndShiftsKeepTheStartStateWhenMissingOrEmpty) {
    using Box = std::optional<bool> Settings::*;
    const Box kBoxes[] = {&Settings::prozentc, &Settings::dezersetzen, &Settings::verschiebung,
                          &Settings::zaehler};
    const char* const kKeys[] = {"prozentc", "DezErsetzen", "verschiebung", "ZAEHLER"};
    struct Case {
        const char* value;  // "" with `written` false: no line at all
        bool written;
        std::optional<bool> box;
    };
    const Case kCases[] = {{"1", true, true},
                           {" 0 ", true, false},
                           {"", true, std::nullopt},
                           {"", false, std::nullopt}};
    for (size_t k = 0; k < std::size(kKeys); ++k)
        for (const Case& c : kCases) {
            const std::string ini =
                std::string("masterkey=TEXT\r\n") +
                (c.written ? std::string(kKeys[k]) + "=" + c.value + "\r\n" : "");
            const Settings s = load(ini).config.settings;
            EXPECT_EQ(s.*kBoxes[k], c.box) << ini;
            for (size_t other = 0; other < std::size(kBoxes); ++other) {
                if (other != k) {
                    EXPECT_EQ(s.*kBoxes[other], std::nullopt) << ini;
                }
            }
            try {
                load(std::string("masterkey=TEXT\r\n") + kKeys[k] + "=ja\r\n");
                ADD_FAILURE() << kKeys[k];
            } catch (const RuntimeError& error) {
                EXPECT_EQ(error.number, 5);
                EXPECT_EQ(error.description.rfind("velunt.ini, Zeile 2: ", 0), 0u)
                    << error.description;
            }
        }
    const Settings utm = load("RW= 32000000 \r\nhw=\r\n").config.settings;
    EXPECT_EQ(InitialRw(utm), "32000000");
    EXPECT_EQ(InitialHw(utm), "5700000");
    // rw= is a known setting now, not "unbekannte Einstellung".
    EXPECT_TRUE(load("rw=1\r\nhw=2\r\nzaehler=0\r\n").config.warnings.empty());
}

TEST(ConfigLoader, RaisesTheErrorsOfItsTable) {
    struct Case {
        std::string ini;
        int number;
    };
    std::string manyLines;
    for (int i = 0; i < 32768; ++i) manyLines += "x\r\n";
    const Case kCases[] = {
        {"[Spalten]\r\n\r\na|1|\r\n", 5},           // empty first line: no bar
        {"[Spalten]\r\n    \r\n", 5},               // spaces only: no bar
        {"[Spalten]\r\na|1|\r\ndxfpath=x\r\n", 5},  // settings line in the block
        {"[Spalten]\r\na|1\r\n", 5},                // one bar
        {"[Spalten]\r\na|40000|\r\n", 6},
        {"[Spalten]\r\na|1e300|\r\n", 6},
        {"[Spalten]\r\na|-32769|\r\n", 6},
        {"[Spalten]\r\na|1|" + std::string(32764, 'x') + "\r\n", 6},
        {manyLines, 6},                            // no header, more than 32767 lines
        {manyLines + "[Spalten]\r\na|1|\r\n", 6},  // header after line 32767
        {"x\r\n[Spalten]", 62},
        {"[Spalten]\r\n", 62},
        {"[Spalten]\r\na|1|\r\n\r\n[Spalten]\r\nb|1|\r\n\r\n[Spalten]\r\nc|1|\r\n", 9},
    };
    for (const Case& c : kCases) EXPECT_EQ(loadError(c.ini), c.number) << c.ini.substr(0, 80);
    EXPECT_EQ(loadError("[Spalten]\r\na|1|" + std::string(32763, 'x') + "\r\n"), 0);
}

TEST(ConfigLoader, MissingFileIsError53) {
    TempDir dir;
    try {
        ConfigLoader(dir / "velunt.ini");
        FAIL();
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number, 53);
        EXPECT_EQ(error.description,
                  "Datei nicht gefunden: velunt.ini „" + PathText(dir / "velunt.ini") + "“");
    }
}

TEST(ConfigLoader, ReadsTheFileAsWindows1252WhenItIsNotUtf8) {
    const Loaded utf8 = load("[Spalten]\r\n  1|1|Höhe\r\n");
    EXPECT_EQ(utf8.config.encoding, TextEncoding::Utf8);
    const Loaded cp1252 = load("[Spalten]\r\n  1|1|H\xF6he\r\n\r\ndxfpath=a\r\n");
    EXPECT_EQ(cp1252.config.encoding, TextEncoding::Windows1252);
    EXPECT_EQ(cp1252.config.table.texts[0], "H\xF6he");  // the bytes stay as they are
    // A non-UTF-8 byte after the block still decides.
    const Loaded late = load("[Spalten]\r\n  1|1|x\r\n\r\n; \xE4\r\n");
    EXPECT_EQ(late.config.encoding, TextEncoding::Windows1252);
}

// `text` saved as UTF-16 with its byte-order mark, as Windows editors save
// "Unicode".
std::string utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST(ConfigLoader, ReadsUtf16WithAByteOrderMarkAsItsText) {
    struct Case {
        std::u16string_view text;
        std::string utf8;  // the same file saved as UTF-8
    };
    const Case kCases[] = {
        {u"dxfpath=a.dxf\r\nmasterkey=TEXT\r\n[Spalten]\r\n 10|1|RW\r\n  1|2|Text\r\n",
         "dxfpath=a.dxf\r\nmasterkey=TEXT\r\n[Spalten]\r\n 10|1|RW\r\n  1|2|Text\r\n"},
        {u"dxfpath=Maße/Übersicht.dxf\n[Spalten]\n  1|1|Höhe 𝄞\n",
         "dxfpath=Maße/Übersicht.dxf\n[Spalten]\n  1|1|Höhe 𝄞\n"},
    };
    for (const Case& c : kCases) {
        const Configuration expected = load(c.utf8).config;
        for (const bool bigEndian : {false, true}) {
            SCOPED_TRACE(c.utf8 + (bigEndian ? " (BE)" : " (LE)"));
            const Configuration got = load(utf16(c.text, bigEndian)).config;
            EXPECT_EQ(got.encoding, TextEncoding::Utf8);
            EXPECT_EQ(got.columnLines, expected.columnLines);
            EXPECT_EQ(got.table.keys, expected.table.keys);
            EXPECT_EQ(got.table.texts, expected.table.texts);
            EXPECT_EQ(got.settings.dxfpath, expected.settings.dxfpath);
            EXPECT_EQ(got.settings.masterkey, expected.settings.masterkey);
        }
    }
    // Without a mark the bytes are read as today: "\xFF" alone is Windows-1252.
    EXPECT_EQ(load("\xFF[Spalten]\r\n").config.encoding, TextEncoding::Windows1252);
}

TEST(ConfigLoader, RefusesUtf16ThatDoesNotDecodeWith5) {
    const std::string kCases[] = {
        utf16(u"[Spalten]\r\n", false) + "a",         // odd trailing byte
        utf16(u"[Spalten]\r\n", true) + "a",          // the same, big-endian
        utf16(u"[Spalten]\r\n", false) + "\x3D\xD8",  // high surrogate at the end
        utf16(u"[Spalten]\r\n", true) +
            std::string("\xD8\x3D\x00\x61", 4),       // high surrogate, then "a"
        utf16(u"[Spalten]\r\n", false) + "\x1E\xDD",  // low surrogate alone
    };
    for (const std::string& ini : kCases) {
        try {
            load(ini);
            ADD_FAILURE() << "loaded: " << ::testing::PrintToString(ini);
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number, 5);
            EXPECT_EQ(error.description.rfind("velunt.ini: als UTF-16 markiert", 0), 0u)
                << error.description;
        }
    }
}

}  // namespace
}  // namespace velunt
