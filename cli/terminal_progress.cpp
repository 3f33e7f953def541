#include "cli/terminal_progress.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace velunt::cli {

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

bool TerminalProgress::progress(std::uint64_t bytesRead, std::uint64_t totalBytes) {
    using namespace std::chrono;
    const auto now = steady_clock::now();
    if (now - m_start < seconds(1) || now - m_lastUpdate < milliseconds(200)) return true;
    m_lastUpdate = now;
    m_shown = true;
    if (totalBytes > 0)
        std::fprintf(stderr, "\rAuslesen ... %3d %%",
                     static_cast<int>(bytesRead * 100 / totalBytes));
    else
        std::fprintf(stderr, "\rAuslesen ... %llu MB",
                     static_cast<unsigned long long>(bytesRead >> 20));
    std::fflush(stderr);
    return true;
}

void TerminalProgress::finish() {
    if (m_shown) std::fprintf(stderr, "\r%-30s\r", "");
}

double TerminalProgress::secondsElapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

}  // namespace velunt::cli
