#pragma once
// Opening files by std::filesystem::path on every platform, with failures
// turned into the core's RuntimeError.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "base/runtime_error.h"

namespace velunt {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` for reading bytes. Raises 53 when it does not exist, 75 when
// it is a folder or a device, and the mapped number for any other failure;
// the description names the file with its `role`.
FileHandle OpenForReading(const std::filesystem::path& path, FileRole role = FileRole::File);

// Reads the whole of `path` into memory: once, from its start to its end, so
// that a pipe or FIFO (a configuration from another program) reads as a file.
// Raises what OpenForReading raises, the mapped number for a failed read,
// and 7 when the bytes do not fit in memory.
std::string ReadWholeFile(const std::filesystem::path& path, FileRole role = FileRole::File);

// Opens `path` for writing bytes: "wb" creates or empties it, "ab" appends.
// Raises 75 when it is a folder, and the mapped number for other failures.
FileHandle OpenForWriting(const std::filesystem::path& path, const char* mode,
                          FileRole role = FileRole::File);

// Makes a write past the file-size limit (`ulimit -f`, a quota) fail as a
// full disk does, with whole lines kept and error 61, instead of the signal
// that would end the program mid-line. Both front ends call it at start-up;
// nothing to do on Windows, which has no such signal.
void IgnoreFileSizeSignal();

}  // namespace velunt
