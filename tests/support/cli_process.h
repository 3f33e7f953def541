#pragma once
// Runs velunt-cli as a process in a given folder and collects its exit
// status and stderr.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_files.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace velunt::testing {

struct CliResult {
    int status = -1;
    std::string err;
    std::string out;
};

inline std::string ShellQuote(const std::string& arg) {
    std::string quoted = "'";
    for (const char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// `before`: shell commands run first in the same shell ("ulimit -v 1000 && ").
inline CliResult RunCli(const std::filesystem::path& folder, const std::vector<std::string>& args,
                        const std::string& stdinFile = "/dev/null",
                        const std::string& before = "") {
    std::string command =
        "cd " + ShellQuote(folder.string()) + " && " + before + ShellQuote(VELUNT_CLI);
    for (const std::string& arg : args) command += " " + ShellQuote(arg);
    const auto err = folder / ".cli-stderr";
    const auto out = folder / ".cli-stdout";
    command +=
        " <" + stdinFile + " >" + ShellQuote(out.string()) + " 2>" + ShellQuote(err.string());
    CliResult result;
    const int raw = std::system(command.c_str());
#ifndef _WIN32
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#else
    result.status = raw;
#endif
    result.err = ReadFile(err);
    result.out = ReadFile(out);
    std::filesystem::remove(err);
    std::filesystem::remove(out);
    return result;
}

}  // namespace velunt::testing
