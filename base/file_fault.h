#pragma once
// A seam for tests and fuzzing: makes the file layer's n-th read or write
// fail, or come short and fail from then on, as a failing disk or a full one
// would. Compiled in always and inert unless armed; while armed, the files
// OpenForReading() and OpenForWriting() open go through it. Arm and disarm
// only while no run is going on.
#include <cstdint>
#include <cstdio>

namespace velunt {

struct FileFault {
    bool onWrite = true;      // writes, else reads
    std::uint64_t nth = 1;    // the first call that fails (1-based), counted from arming
    bool comesShort = false;  // that call moves half its bytes first
    int errnoValue = 0;       // what the failing calls report
};

// Arms `fault`; false where the platform offers no seam (nothing is armed).
bool ArmFileFault(const FileFault& fault);
void DisarmFileFault();

// For the file layer: `file` itself, or, while a fault is armed, a stream
// over it that injects the fault (and closes `file` when it is closed).
std::FILE* WithFileFault(std::FILE* file);

// The file a stream from WithFileFault() wraps, so that locking and cutting
// reach its descriptor; any other stream itself.
std::FILE* FileBeneath(std::FILE* file);

}  // namespace velunt
