#pragma once
// Progress on stderr for runs that take longer than about a second, shown
// only when stderr is a terminal.
#include <chrono>
#include <cstdint>

#include "engine/run_interfaces.h"

namespace velunt::cli {

bool StderrIsTerminal();

class TerminalProgress : public RunObserver {
public:
    bool progress(std::uint64_t bytesRead, std::uint64_t totalBytes) override;
    // Clears the progress line, if one was shown.
    void finish();
    bool wasShown() const { return m_shown; }
    double secondsElapsed() const;

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_lastUpdate;
    bool m_shown = false;
};

}  // namespace velunt::cli
