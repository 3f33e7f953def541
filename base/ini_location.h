#pragma once
// Where velunt.ini is read from. A file named with --ini is taken as it is.
// Otherwise the first place that holds one: velunt.ini in the working
// directory, then velunt/velunt.ini in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config). The window started from a desktop menu
// has no useful working directory, so the configuration folder is where its
// velunt.ini lives. The file is only ever read.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/runtime_error.h"

namespace velunt {

// Where the installed package keeps an example configuration.
inline constexpr const char* kExampleIniPath = "/usr/share/doc/velunt/examples/velunt.ini";

// The environment the search reads; an unset variable is nullopt.
struct IniEnvironment {
    std::optional<std::string> xdgConfigHome;
    std::optional<std::string> home;
};

// XDG_CONFIG_HOME and HOME of this process.
IniEnvironment ProcessIniEnvironment();

struct IniSearch {
    // The file to load; nullopt when none of the places holds one.
    // velunt.ini in the working directory stays the relative name
    // "velunt.ini", so that messages name it as before.
    std::optional<std::filesystem::path> found;
    // Every place looked at, in order.
    std::vector<std::filesystem::path> places;
};

// True unless `path` is known not to exist. A place that cannot be examined
// (no permission on a folder) counts as taken, so that loading it reports the
// real error instead of another file being read silently.
bool IniPlaceIsTaken(const std::filesystem::path& path);

// Decides which velunt.ini to load. `given` is the file named with --ini.
// XDG_CONFIG_HOME counts only when it is an absolute path; without it the
// folder is HOME/.config, and without HOME there is no second place.
IniSearch FindIni(
    const std::optional<std::filesystem::path>& given, const IniEnvironment& environment,
    const std::function<bool(const std::filesystem::path&)>& isTaken = IniPlaceIsTaken);

// The error of a search that found nothing: 53 with a description (UTF-8,
// lines end in "\n", no final line end) such as
//   Datei nicht gefunden
//   Gesucht:
//     /home/anna/Pläne/velunt.ini
//     /home/anna/.config/velunt/velunt.ini
//   Beispiel: /usr/share/doc/velunt/examples/velunt.ini
//   Zum Start kopieren: mkdir -p /home/anna/.config/velunt && cp /usr/share/…
// Relative places are shown absolute, resolved against the working directory;
// the copy command, when there is a configuration folder, names it.
RuntimeError IniNotFoundError(const IniSearch& search);

}  // namespace velunt
