#pragma once
// End-to-end runs of velunt-cli on broken and hostile input: a folder with a
// velunt.ini, a drawing and an old output table, and checks that print a
// short summary instead of whole files (some are tens of megabytes).
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli_process.h"

namespace velunt::testing {

// Columns RW, HW and Text of TEXT objects; separator ";", counter on.
inline const std::string kIni =
    "dxfpath=in.dxf\r\ntxtpath=out.txt\r\nmasterkey=TEXT\r\ntrennzeich=;\r\ndezzeich=,\r\n"
    "[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n  1|3|Text\r\n\r\n[Ende]\r\n";

inline const std::string kHeaderOnly = "RW;HW;Text\r\n";  // no object: no "Index"

// An old table that a run must either empty or leave alone.
inline const std::string kOldOutput = "alte Tabelle\r\n";

// "a" and "b" equal byte for byte; on failure tells the sizes and where they
// first differ rather than printing both.
inline ::testing::AssertionResult SameBytes(const std::string& a, const std::string& b) {
    if (a == b) return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    const auto around = [at](const std::string& s) {
        const size_t from = at < 20 ? 0 : at - 20;
        return ::testing::PrintToString(s.substr(from, 60));
    };
    return ::testing::AssertionFailure()
           << "sizes " << a.size() << " and " << b.size() << ", first difference at byte " << at
           << ": " << around(a) << " vs " << around(b);
}

class BadInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(m_dir / "velunt.ini", kIni);
        WriteFile(m_dir / "out.txt", kOldOutput);
    }

    std::filesystem::path path(const std::string& name) const { return m_dir / name; }

    // Writes `bytes` as in.dxf, remembering them for drawingUnchanged().
    void writeDrawing(const std::string& bytes) {
        m_drawing = bytes;
        WriteFile(m_dir / "in.dxf", bytes);
    }

    CliResult run(const std::vector<std::string>& args = {}) { return RunCli(m_dir.path(), args); }

    // Runs the shell command `script` in the test's folder, where "$VELUNT"
    // names velunt-cli: for pipes and FIFOs as a user's shell makes them.
    CliResult runScript(const std::string& script) {
        const std::string err = (m_dir / ".script-stderr").string();
        const std::string command =
            "cd " + ShellQuote(m_dir.path().string()) + " && VELUNT=" + ShellQuote(VELUNT_CLI) +
            " && export VELUNT && (" + script + ") </dev/null >/dev/null 2>" + ShellQuote(err);
        CliResult result;
        const int raw = std::system(command.c_str());
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.err = ReadFile(err);
        std::filesystem::remove(err);
        return result;
    }

    ::testing::AssertionResult drawingUnchanged() const {
        return SameBytes(ReadFile(m_dir / "in.dxf"), m_drawing);
    }

    // The output table, or nullopt when out.txt does not exist.
    std::optional<std::string> output(const std::string& name = "out.txt") const {
        if (!std::filesystem::exists(m_dir / name)) return std::nullopt;
        return ReadFile(m_dir / name);
    }

    TempDir m_dir;
    std::string m_drawing;
};

}  // namespace velunt::testing
