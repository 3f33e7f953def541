#include "base/file_lock.h"

#include <cerrno>

#include "base/file_fault.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velunt {

#ifdef _WIN32

LockOutcome LockWholeFile(std::FILE* file) {
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_DISK)
        return LockOutcome::kNotSupported;
    OVERLAPPED whole{};
    if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                     MAXDWORD, &whole))
        return LockOutcome::kLocked;
    return ::GetLastError() == ERROR_LOCK_VIOLATION ? LockOutcome::kHeldElsewhere
                                                    : LockOutcome::kNotSupported;
}

bool CutBack(std::FILE* file, std::uint64_t size) {
    const int fd = ::_fileno(file);
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_DISK) return true;
    const errno_t error = ::_chsize_s(fd, static_cast<long long>(size));
    if (error != 0) errno = error;
    return error == 0;
}

#else

LockOutcome LockWholeFile(std::FILE* file) {
    if (::flock(::fileno(FileBeneath(file)), LOCK_EX | LOCK_NB) == 0) return LockOutcome::kLocked;
    return errno == EWOULDBLOCK ? LockOutcome::kHeldElsewhere : LockOutcome::kNotSupported;
}

bool CutBack(std::FILE* file, std::uint64_t size) {
    const int fd = ::fileno(FileBeneath(file));
    struct stat status {};
    if (::fstat(fd, &status) != 0) return false;
    if (!S_ISREG(status.st_mode)) return true;
    // Already that long (a new table): cutting would change nothing, and
    // ext4 starts writing out a file cut to nothing when it is closed, which
    // costs a run about 15 ms per 100 MB of table.
    if (static_cast<std::uint64_t>(status.st_size) == size) return true;
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0;
}

#endif

}  // namespace velunt
