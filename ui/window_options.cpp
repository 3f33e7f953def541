#include "ui/window_options.h"

#include <algorithm>
#include <string_view>

namespace velunt::ui {

const char* const kWindowUsage =
    "Aufruf: velunt [--ini DATEI] [ZEICHNUNG]\n"
    "Öffnet das Fenster von VELUNT mit den Werten aus velunt.ini. Eine ZEICHNUNG\n"
    "ersetzt dxfpath= der Konfiguration, wie eine auf das Fenster gezogene Datei;\n"
    "die Tabelle steht dann neben ihr (ZEICHNUNG mit .txt statt txtpath=).\n"
    "\n"
    "  --ini DATEI   diese Konfiguration lesen. Ohne --ini gilt die erste\n"
    "                vorhandene von: velunt.ini im Arbeitsverzeichnis,\n"
    "                $XDG_CONFIG_HOME/velunt/velunt.ini (ohne XDG_CONFIG_HOME:\n"
    "                ~/.config/velunt/velunt.ini). Relative Pfade darin gelten\n"
    "                vom Arbeitsverzeichnis aus.\n"
    "  --help        diese Hilfe zeigen\n"
    "  --version     die Version zeigen\n"
    "\n"
    "Beispielkonfiguration: /usr/share/doc/velunt/examples/velunt.ini\n"
    "Ohne Fenster: velunt-cli (siehe velunt-cli --help).\n";

namespace {

// Qt's documented options; each is handed on to Qt unchanged.
constexpr std::string_view kQtOptionsWithValue[] = {
    "-display",       "-geometry", "-platform",        "-platformpluginpath",
    "-platformtheme", "-plugin",   "-qwindowgeometry", "-qwindowicon",
    "-qwindowtitle",  "-session",  "-style",           "-stylesheet",
};
constexpr std::string_view kQtFlags[] = {"-reverse"};

template <std::size_t N>
bool contains(const std::string_view (&names)[N], std::string_view name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

}  // namespace

WindowCommandLine ParseWindowOptions(const std::vector<std::string>& args) {
    WindowCommandLine result;
    WindowOptions& o = result.options;
    bool onlyDrawings = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyDrawings || arg.size() < 2 || arg[0] != '-') {
            if (o.drawing) {
                result.error = "nur eine Zeichnung möglich, zweite: " + arg;
                return result;
            }
            o.drawing = arg;
            continue;
        }
        if (arg == "--") {
            onlyDrawings = true;
        } else if (arg == "--help") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg.rfind("--ini=", 0) == 0) {
            o.ini = arg.substr(6);
        } else if (arg == "--ini" || contains(kQtOptionsWithValue, arg)) {
            if (i + 1 == args.size()) {
                result.error = "Option " + arg + " braucht einen Wert";
                return result;
            }
            if (arg == "--ini") {
                o.ini = args[++i];
            } else {
                o.qtArguments.push_back(arg);
                o.qtArguments.push_back(args[++i]);
            }
        } else if (contains(kQtFlags, arg)) {
            o.qtArguments.push_back(arg);
        } else {
            result.error = "unbekannte Option " + arg;
            return result;
        }
    }
    return result;
}

}  // namespace velunt::ui
