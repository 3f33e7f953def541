#include "base/file_io.h"

#include <cerrno>
#include <csignal>
#include <new>
#include <string>

#include "base/file_fault.h"
#include "base/runtime_error.h"

namespace velunt {
namespace {

std::FILE* openPath(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return ::_wfopen(path.c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

// A folder cannot be opened as a file. A device (such as /dev/zero) reads as
// one endless line, so it is refused as input; as output it is allowed
// (/dev/null). Pipes are allowed both ways, so that a drawing can come from
// another program.
void refuseNonFile(const std::filesystem::path& path, bool forReading, FileRole role) {
    std::error_code ec;
    const auto type = std::filesystem::status(path, ec).type();
    const std::string named =
        StandardDescription(kPathFileAccessError) + ": " + NamedFile(role, path);
    if (type == std::filesystem::file_type::directory)
        throw RuntimeError{kPathFileAccessError, named + " ist ein Ordner, keine Datei"};
    const bool isDevice = type == std::filesystem::file_type::character ||
                          type == std::filesystem::file_type::block ||
                          type == std::filesystem::file_type::socket;
    if (forReading && isDevice)
        throw RuntimeError{kPathFileAccessError, named + " ist ein Gerät, keine Datei"};
}

}  // namespace

FileHandle OpenForReading(const std::filesystem::path& path, FileRole role) {
    if (path.empty())
        throw RuntimeError{kFileNotFound, StandardDescription(kFileNotFound) + ": keine " +
                                              FileRoleName(role) + " angegeben"};
    refuseNonFile(path, true, role);
    errno = 0;
    std::FILE* file = WithFileFault(openPath(path, "rb"));
    if (!file) throw FileErrorFromErrno(errno, path, role);
    return FileHandle(file);
}

std::string ReadWholeFile(const std::filesystem::path& path, FileRole role) {
    const FileHandle file = OpenForReading(path, role);
    std::string bytes;
    try {
        constexpr size_t kChunk = size_t{64} << 10;
        for (;;) {
            const size_t used = bytes.size();
            bytes.resize(used + kChunk);
            errno = 0;
            const size_t n = std::fread(bytes.data() + used, 1, kChunk, file.get());
            bytes.resize(used + n);
            if (n < kChunk) break;
        }
    } catch (const std::bad_alloc&) {
        throw MakeError(kOutOfMemory);
    }
    if (std::ferror(file.get())) throw FileErrorFromErrno(errno ? errno : EIO, path, role);
    return bytes;
}

FileHandle OpenForWriting(const std::filesystem::path& path, const char* mode, FileRole role) {
    if (path.empty())
        throw RuntimeError{kPathFileAccessError, StandardDescription(kPathFileAccessError) +
                                                     ": keine " + FileRoleName(role) +
                                                     " angegeben"};
    refuseNonFile(path, false, role);
    errno = 0;
    std::FILE* file = WithFileFault(openPath(path, mode));
    if (!file) throw FileErrorFromErrno(errno, path, role);
    return FileHandle(file);
}

void IgnoreFileSizeSignal() {
#ifndef _WIN32
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace velunt
