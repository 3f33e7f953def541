#pragma once
// What one look at a path tells (one stat() on Linux and macOS; on Windows
// one open of the file for its information): whether something is there,
// which file it is (device and file number, so that two names of one file
// compare equal), and, for a regular file, its size and time of last change.
// Links are followed, as opening the path would.
#include <cstdint>
#include <filesystem>

namespace velunt {

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t number = 0;  // the inode, or the file index on Windows
    bool operator==(const FileIdentity&) const = default;
};

struct PathFacts {
    enum class State {
        kPresent,  // something is there (a file, a folder, a device ...)
        kMissing,  // nothing is there, and the folders before it could be searched
        kUnknown,  // it could not be looked at (no permission, a name too long ...)
    };
    State state = State::kUnknown;
    FileIdentity identity;  // when present
    bool isRegular = false;
    bool isDirectory = false;
    std::uint64_t size = 0;          // of a regular file
    std::int64_t modifiedNanos = 0;  // its last change, on the system's clock
};

PathFacts LookAt(const std::filesystem::path& path);

}  // namespace velunt
