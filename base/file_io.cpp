#include "base/file_io.h"

#include <cerrno>
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
void refuseNonFile(const std::filesystem::path& path, bool forReading) {
    std::error_code ec;
    const auto type = std::filesystem::status(path, ec).type();
    if (type == std::filesystem::file_type::directory) throw MakeError(kPathFileAccessError);
    const bool isDevice = type == std::filesystem::file_type::character ||
                          type == std::filesystem::file_type::block ||
                          type == std::filesystem::file_type::socket;
    if (forReading && isDevice) {
        const std::u8string name = path.u8string();
        throw RuntimeError{kPathFileAccessError, "Fehler beim Zugriff auf Pfad/Datei: " +
                                                     std::string(name.begin(), name.end()) +
                                                     " ist ein Gerät, keine Datei."};
    }
}

}  // namespace

FileHandle OpenForReading(const std::filesystem::path& path) {
    if (path.empty()) throw MakeError(kFileNotFound);
    refuseNonFile(path, true);
    errno = 0;
    std::FILE* file = WithFileFault(openPath(path, "rb"));
    if (!file) throw FileErrorFromErrno(errno, path);
    return FileHandle(file);
}

FileHandle OpenForWriting(const std::filesystem::path& path, const char* mode) {
    if (path.empty()) throw MakeError(kPathFileAccessError);
    refuseNonFile(path, false);
    errno = 0;
    std::FILE* file = WithFileFault(openPath(path, mode));
    if (!file) throw FileErrorFromErrno(errno, path);
    return FileHandle(file);
}

}  // namespace velunt
