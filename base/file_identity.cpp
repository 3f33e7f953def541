#include "base/file_identity.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>

#include <cerrno>
#endif

namespace velunt {

#ifdef _WIN32

PathFacts LookAt(const std::filesystem::path& path) {
    PathFacts facts;
    // No access is asked for: the information alone needs none. Folders
    // open only with backup semantics.
    const HANDLE handle =
        ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            facts.state = PathFacts::State::kMissing;
        return facts;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
    const DWORD type = ::GetFileType(handle);
    ::CloseHandle(handle);
    if (!known) return facts;
    facts.state = PathFacts::State::kPresent;
    facts.identity = {info.dwVolumeSerialNumber,
                      (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    facts.isDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.isRegular = !facts.isDirectory && type == FILE_TYPE_DISK;
    if (facts.isRegular) {
        facts.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
        // 100-nanosecond ticks.
        const std::uint64_t ticks = (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                    info.ftLastWriteTime.dwLowDateTime;
        facts.modifiedNanos = static_cast<std::int64_t>(ticks * 100);
    }
    return facts;
}

#else

PathFacts LookAt(const std::filesystem::path& path) {
    PathFacts facts;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        // ENOTDIR: a file stands where a folder of the path should be.
        if (errno == ENOENT || errno == ENOTDIR) facts.state = PathFacts::State::kMissing;
        return facts;
    }
    facts.state = PathFacts::State::kPresent;
    facts.identity = {static_cast<std::uint64_t>(status.st_dev),
                      static_cast<std::uint64_t>(status.st_ino)};
    facts.isDirectory = S_ISDIR(status.st_mode);
    facts.isRegular = S_ISREG(status.st_mode);
    if (facts.isRegular) {
        facts.size = static_cast<std::uint64_t>(status.st_size);
#ifdef __APPLE__
        const struct timespec& modified = status.st_mtimespec;
#else
        const struct timespec& modified = status.st_mtim;
#endif
        facts.modifiedNanos =
            static_cast<std::int64_t>(modified.tv_sec) * 1000000000 + modified.tv_nsec;
    }
    return facts;
}

#endif

}  // namespace velunt
