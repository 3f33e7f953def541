#pragma once
// The fixture of the whole-run tests: loads a velunt.ini, writes a drawing,
// runs, and keeps what the run reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "collected_errors.h"
#include "config/config_loader.h"
#include "engine/extraction_run.h"
#include "test_files.h"

namespace velunt {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

inline const char* const kTextIni =
    "masterkey=TEXT\r\ntrennzeich=;\r\ndezzeich=,\r\n[Spalten]\r\n 10|1|RW\r\n 20|2|HW\r\n"
    "  1|3|Text\r\n\r\n";

// A drawing made of "code\r\nvalue\r\n" pairs.
inline std::string dxf(std::initializer_list<const char*> lines, const char* end = "\r\n") {
    std::string bytes;
    for (const char* line : lines) bytes += std::string(line) + end;
    return bytes;
}

class ExtractionRunTest : public ::testing::Test {
protected:
    // Loads `ini`, writes `drawing` and runs; returns the output file.
    std::string run(const std::string& ini, const std::string& drawing) {
        WriteFile(m_dir / "velunt.ini", ini);
        WriteFile(m_dir / "in.dxf", drawing);
        m_config = Configuration();
        m_config = ConfigLoader(m_dir / "velunt.ini");
        m_settings.decimalMark = InitialDecimalMark(m_config.settings);
        m_settings.separator = InitialSeparator(m_config.settings);
        m_settings.dxfpath = m_dir / "in.dxf";
        if (m_settings.txtpath.empty()) m_settings.txtpath = m_dir / "out.txt";
        return again();
    }
    std::string again() {
        m_result = ExtractionRun(m_settings, m_config, m_report);
        // Folders and devices are not read back.
        return std::filesystem::is_regular_file(m_settings.txtpath) ? ReadFile(m_settings.txtpath)
                                                                    : std::string();
    }
    int lastError() const { return m_report.errors.empty() ? 0 : m_report.errors.back().number; }

    TempDir m_dir;
    Configuration m_config;
    RunSettings m_settings;
    testing::CollectedErrors m_report;
    RunResult m_result;
};

}  // namespace velunt
