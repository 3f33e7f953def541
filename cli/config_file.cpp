#include "cli/config_file.h"

#include "base/ini_location.h"
#include "base/runtime_error.h"
#include "cli/error_line.h"

namespace velunt::cli {

bool LoadConfiguration(const std::optional<std::string>& given, Configuration& config) {
    std::optional<std::filesystem::path> named;
    if (given) named = std::filesystem::path(*given);
    const IniSearch search = FindIni(named, ProcessIniEnvironment());
    if (!search.found) {
        PrintError("velunt.ini", IniNotFoundError(search));
        return false;
    }
    try {
        config = ConfigLoader(*search.found);
    } catch (const std::exception& caught) {
        PrintError(search.found->string(), CaughtError(caught));
        return false;
    }
    return true;
}

}  // namespace velunt::cli
