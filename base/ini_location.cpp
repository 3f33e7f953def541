#include "base/ini_location.h"

#include <cstdlib>
#include <system_error>

#include "base/runtime_error.h"

namespace velunt {
namespace {

std::optional<std::string> Variable(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

// `text` as one word of a shell command: in single quotes unless it holds
// only characters a shell leaves alone.
std::string shellWord(const std::string& text) {
    const bool isPlain = !text.empty() && text.find_first_not_of(
                                              "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789/._-+") == std::string::npos;
    if (isPlain) return text;
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

IniEnvironment ProcessIniEnvironment() {
    return IniEnvironment{Variable("XDG_CONFIG_HOME"), Variable("HOME")};
}

bool IniPlaceIsTaken(const std::filesystem::path& path) {
    std::error_code ec;
    // status() reports not_found for a missing file and for a path through
    // something that is not a folder; any other failure leaves it unknown.
    return std::filesystem::status(path, ec).type() != std::filesystem::file_type::not_found;
}

IniSearch FindIni(const std::optional<std::filesystem::path>& given,
                  const IniEnvironment& environment,
                  const std::function<bool(const std::filesystem::path&)>& isTaken) {
    IniSearch search;
    if (given) {
        // Named by the user: loaded even when missing, so that the loader
        // reports it as for any other file.
        search.places.push_back(*given);
        search.found = *given;
        return search;
    }
    search.places.emplace_back("velunt.ini");
    std::filesystem::path configFolder;
    if (environment.xdgConfigHome &&
        std::filesystem::path(*environment.xdgConfigHome).is_absolute())
        configFolder = *environment.xdgConfigHome;
    else if (environment.home && !environment.home->empty())
        configFolder = std::filesystem::path(*environment.home) / ".config";
    if (!configFolder.empty()) search.places.push_back(configFolder / "velunt" / "velunt.ini");

    for (const std::filesystem::path& place : search.places) {
        if (isTaken(place)) {
            search.found = place;
            break;
        }
    }
    return search;
}

RuntimeError IniNotFoundError(const IniSearch& search) {
    std::string message = StandardDescription(kFileNotFound) + "\nGesucht:";
    for (const std::filesystem::path& place : search.places) {
        std::error_code ec;
        const std::filesystem::path shown = std::filesystem::absolute(place, ec);
        message += "\n  " + Utf8(ec ? place : shown);
    }
    message += "\nBeispiel: ";
    message += kExampleIniPath;
    // The command that puts the example where a start from the menu finds
    // it; the example names its drawing by its full path, so it works as
    // copied.
    if (search.places.size() > 1) {
        const std::string folder = shellWord(Utf8(search.places.back().parent_path()));
        message += "\nZum Start kopieren: mkdir -p " + folder + " && cp " + kExampleIniPath + " " +
                   folder + "/";
    }
    return RuntimeError{kFileNotFound, message};
}

}  // namespace velunt
