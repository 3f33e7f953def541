#pragma once
// The small interfaces through which a run talks to its front end.
#include <cstdint>

#include "base/runtime_error.h"

namespace velunt {

// How a failed run is shown: a message box, stderr, a test's vector.
class ErrorReport {
public:
    virtual ~ErrorReport() = default;
    virtual void show(const RuntimeError& error) = 0;
};

// Told after every block of the drawing read; may stop the run, which then
// ends as after an error with number 18 "Benutzerunterbrechung".
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // `totalBytes` is the drawing's size when the run began (0 when unknown).
    // Returns false to stop the run.
    virtual bool progress(std::uint64_t bytesRead, std::uint64_t totalBytes) = 0;
};

}  // namespace velunt
