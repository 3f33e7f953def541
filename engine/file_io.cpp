#include "engine/file_io.h"

#include <cerrno>
#include <string>

#include "engine/runtime_error.h"

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

void refuseFolder(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw MakeError(kPathFileAccessError);
}

}  // namespace

FileHandle OpenForReading(const std::filesystem::path& path) {
    if (path.empty()) throw MakeError(kFileNotFound);
    refuseFolder(path);
    errno = 0;
    std::FILE* file = openPath(path, "rb");
    if (!file) throw FileErrorFromErrno(errno, path);
    return FileHandle(file);
}

FileHandle OpenForWriting(const std::filesystem::path& path, const char* mode) {
    if (path.empty()) throw MakeError(kPathFileAccessError);
    refuseFolder(path);
    errno = 0;
    std::FILE* file = openPath(path, mode);
    if (!file) throw FileErrorFromErrno(errno, path);
    return FileHandle(file);
}

}  // namespace velunt
