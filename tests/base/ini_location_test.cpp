// Which velunt.ini is loaded: --ini, else the working directory, else the
// user's configuration folder; and what is reported when none is found.
#include "base/ini_location.h"

#include <gtest/gtest.h>

#include <set>

namespace velunt {
namespace {

using std::filesystem::path;

TEST(FindIni, TakesTheFirstPlaceThatHoldsAFile) {
    struct Case {
        const char* what;
        std::optional<path> given;
        IniEnvironment environment;
        std::set<path> files;  // what exists
        std::optional<path> found;
        std::vector<path> places;
    };
    const IniEnvironment xdg{"/xdg", "/home/a"};
    const IniEnvironment homeOnly{std::nullopt, "/home/a"};
    const Case kCases[] = {
        {"--ini wins, even when missing",
         "other.ini",
         xdg,
         {"velunt.ini", "/xdg/velunt/velunt.ini"},
         "other.ini",
         {"other.ini"}},
        {"working directory before the configuration folder",
         std::nullopt,
         xdg,
         {"velunt.ini", "/xdg/velunt/velunt.ini"},
         "velunt.ini",
         {"velunt.ini", "/xdg/velunt/velunt.ini"}},
        {"XDG_CONFIG_HOME",
         std::nullopt,
         xdg,
         {"/xdg/velunt/velunt.ini", "/home/a/.config/velunt/velunt.ini"},
         "/xdg/velunt/velunt.ini",
         {"velunt.ini", "/xdg/velunt/velunt.ini"}},
        {"XDG_CONFIG_HOME replaces ~/.config",
         std::nullopt,
         xdg,
         {"/home/a/.config/velunt/velunt.ini"},
         std::nullopt,
         {"velunt.ini", "/xdg/velunt/velunt.ini"}},
        {"~/.config without XDG_CONFIG_HOME",
         std::nullopt,
         homeOnly,
         {"/home/a/.config/velunt/velunt.ini"},
         "/home/a/.config/velunt/velunt.ini",
         {"velunt.ini", "/home/a/.config/velunt/velunt.ini"}},
        {"an empty XDG_CONFIG_HOME is unset",
         std::nullopt,
         {"", "/home/a"},
         {"/home/a/.config/velunt/velunt.ini"},
         "/home/a/.config/velunt/velunt.ini",
         {"velunt.ini", "/home/a/.config/velunt/velunt.ini"}},
        {"a relative XDG_CONFIG_HOME is ignored",
         std::nullopt,
         {"conf", "/home/a"},
         {"conf/velunt/velunt.ini"},
         std::nullopt,
         {"velunt.ini", "/home/a/.config/velunt/velunt.ini"}},
        {"without HOME only the working directory",
         std::nullopt,
         {},
         {},
         std::nullopt,
         {"velunt.ini"}},
        {"an empty HOME is unset",
         std::nullopt,
         {std::nullopt, ""},
         {},
         std::nullopt,
         {"velunt.ini"}},
        {"an empty --ini is still the file named", "", xdg, {"velunt.ini"}, "", {""}},
    };
    for (const Case& c : kCases) {
        const IniSearch search = FindIni(
            c.given, c.environment, [&](const path& place) { return c.files.count(place) > 0; });
        EXPECT_EQ(search.found, c.found) << c.what;
        EXPECT_EQ(search.places, c.places) << c.what;
    }
}

TEST(FindIni, TheReportNamesEveryPlaceAbsoluteAndTheExample) {
    const IniSearch search =
        FindIni(std::nullopt, {"/xdg", "/home/a"}, [](const path&) { return false; });
    ASSERT_FALSE(search.found.has_value());
    const std::string inWorkingDirectory =
        (std::filesystem::current_path() / "velunt.ini").string();
    const RuntimeError error = IniNotFoundError(search);
    EXPECT_EQ(error.number, 53);
    EXPECT_EQ(error.description,
              "Datei nicht gefunden\nGesucht:\n  " + inWorkingDirectory +
                  "\n  /xdg/velunt/velunt.ini\nBeispiel: /usr/share/doc/velunt/examples/velunt.ini"
                  "\nZum Start kopieren: mkdir -p /xdg/velunt && cp "
                  "/usr/share/doc/velunt/examples/velunt.ini /xdg/velunt/");
    // A folder with a space or quote is one word for the shell.
    const IniSearch spaced =
        FindIni(std::nullopt, {"/x y/a'b", "/home/a"}, [](const path&) { return false; });
    EXPECT_NE(IniNotFoundError(spaced).description.find(
                  "mkdir -p '/x y/a'\\''b/velunt' && cp /usr/share/doc/velunt/examples/velunt.ini "
                  "'/x y/a'\\''b/velunt'/"),
              std::string::npos)
        << IniNotFoundError(spaced).description;
}

}  // namespace
}  // namespace velunt
