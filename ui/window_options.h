#pragma once
// The command line of the window: velunt [--ini DATEI] [ZEICHNUNG]. It is
// read before Qt starts, so that --help, --version and usage errors need no
// display. Qt's own options (-style NAME, -platform NAME, -session ID, ...,
// single dash as Qt documents them) are set aside and handed on to Qt; a
// session manager restarts programs with -session.
#include <optional>
#include <string>
#include <vector>

namespace velunt::ui {

struct WindowOptions {
    std::optional<std::string> ini;      // --ini; without it velunt.ini is looked for
    std::optional<std::string> drawing;  // replaces dxfpath= of the configuration
    bool help = false;
    bool version = false;
    std::vector<std::string> qtArguments;  // Qt's own options with their values, in order
};

struct WindowCommandLine {
    WindowOptions options;
    std::string error;  // one line, non-empty for a usage error
};

// An option's value is the next argument taken literally, or the text after
// "=" in "--ini=DATEI". After "--" every argument is a drawing. A second
// drawing, an unknown option and a missing value are usage errors.
WindowCommandLine ParseWindowOptions(const std::vector<std::string>& args);

// The text of --help (German, UTF-8).
extern const char* const kWindowUsage;

}  // namespace velunt::ui
