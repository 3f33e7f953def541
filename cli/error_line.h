#pragma once
// The one form of every error line velunt-cli writes to stderr:
// "Fehler: N: description", after "NAME: " when the error belongs to one
// file among several (velunt.ini, a drawing of a batch). Warnings take the
// same form with "Warnung: " and no number.
#include <cstdio>
#include <string>
#include <string_view>

#include "base/runtime_error.h"

namespace velunt::cli {

inline std::string ErrorLine(std::string_view subject, const RuntimeError& error) {
    std::string line;
    if (!subject.empty()) line.append(subject).append(": ");
    line.append("Fehler: ").append(std::to_string(error.number)).append(": ");
    line.append(error.description).append("\n");
    return line;
}

inline void PrintError(std::string_view subject, const RuntimeError& error) {
    std::fputs(ErrorLine(subject, error).c_str(), stderr);
}

inline std::string WarningLine(std::string_view subject, std::string_view text) {
    std::string line;
    if (!subject.empty()) line.append(subject).append(": ");
    line.append("Warnung: ").append(text).append("\n");
    return line;
}

inline void PrintWarning(std::string_view subject, std::string_view text) {
    std::fputs(WarningLine(subject, text).c_str(), stderr);
}

}  // namespace velunt::cli
