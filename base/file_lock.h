#pragma once
// What the run does to its open output file besides writing: hold an
// advisory lock on it for as long as it writes (one writer per table), and
// cut it back to a length (emptying it once locked; dropping a partial line
// after a failed write). flock() on Linux and macOS, LockFileEx on Windows.
#include <cstdint>
#include <cstdio>

namespace velunt {

enum class LockOutcome {
    kLocked,         // ours until `file` is closed
    kHeldElsewhere,  // another open of the file holds it: another run writes it
    kNotSupported,   // the file system keeps no locks; written without one
};

// Takes an exclusive lock on the whole of `file` without waiting.
LockOutcome LockWholeFile(std::FILE* file);

// Cuts `file` back to `size` bytes when it is a regular file; a pipe or a
// device is left alone. False, with errno set, when cutting failed.
bool CutBack(std::FILE* file, std::uint64_t size);

}  // namespace velunt
