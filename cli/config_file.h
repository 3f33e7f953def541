#pragma once
// velunt-cli's configuration: finds velunt.ini the way the window does and
// loads it.
#include <optional>
#include <string>

#include "config/config_loader.h"
#include "config/configuration.h"

namespace velunt::cli {

// Loads the file named with --ini (`given`), else the first velunt.ini
// found (base/ini_location.h), into `config`. On failure writes the error
// line to stderr and returns false: "FILE: Fehler: N: Beschreibung", and
// when no velunt.ini was found, every place looked at and the example.
bool LoadConfiguration(const std::optional<std::string>& given, Configuration& config);

}  // namespace velunt::cli
