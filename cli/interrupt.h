#pragma once
// Ctrl+C and SIGTERM (Ctrl+C and Ctrl+Break in a Windows console) during a
// run. The first asks the run to stop at its next block of the drawing: it
// then ends with error 18, and the table with the last whole line written.
// A second one ends the program at once, as it would without this handling
// (a drawing read from a FIFO that gets no more bytes stops no other way).
#include <cstdint>

#include "engine/run_interfaces.h"

namespace velunt::cli {

// Installs the handling; a signal ignored when the program started (a job
// started with nohup) stays ignored. The handler only sets a flag.
void CatchInterrupts();

// The signal that asked to stop (SIGINT or SIGTERM; Ctrl+Break counts as
// SIGTERM), 0 when none came.
int InterruptSignal();

// The exit status after a run stopped by InterruptSignal(): 128 plus the
// signal's number, as the shell reports a program that a signal ended (130
// for SIGINT, 143 for SIGTERM).
int InterruptExitStatus();

// Stops the run once a signal came; otherwise passes the progress on to
// `next` (borrowed, may be null).
class InterruptCheck : public RunObserver {
public:
    explicit InterruptCheck(RunObserver* next = nullptr) : m_next(next) {}
    bool progress(std::uint64_t bytesRead, std::uint64_t totalBytes) override {
        if (InterruptSignal() != 0) return false;
        return !m_next || m_next->progress(bytesRead, totalBytes);
    }

private:
    RunObserver* m_next;
};

}  // namespace velunt::cli
