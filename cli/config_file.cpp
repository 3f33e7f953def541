#include "cli/config_file.h"

#include "base/ini_location.h"
#include "base/runtime_error.h"

namespace velunt::cli {

bool LoadConfiguration(const std::optional<std::string>& given, Configuration& config,
                       ConfigDisplay& display, std::FILE* err) {
    std::optional<std::filesystem::path> named;
    if (given) named = std::filesystem::path(*given);
    const IniSearch search = FindIni(named, ProcessIniEnvironment());
    if (!search.found) {
        std::fprintf(err, "%s\n", IniNotFoundMessage(search).c_str());
        return false;
    }
    try {
        ConfigLoader(*search.found, config, display);
    } catch (const RuntimeError& error) {
        std::fprintf(err, "%s: Fehler %d: %s\n", search.found->c_str(), error.number,
                     error.description.c_str());
        return false;
    }
    return true;
}

}  // namespace velunt::cli
