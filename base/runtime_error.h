#pragma once
// The one error type of the core: a standard runtime error number as the user
// sees it (53 "Datei nicht gefunden", 62 "Eingabe nach Dateiende" ...) and a
// German description. Thrown by the loader and the run; the front ends decide
// how to show it.
#include <filesystem>
#include <string>
#include <system_error>

namespace velunt {

struct RuntimeError {
    int number = 0;
    std::string description;  // German, UTF-8
};

// Every error number the program raises; each has its standard German text
// in StandardDescription.
enum ErrorNumber : int {
    kInvalidArgument = 5,
    kOverflow = 6,
    kOutOfMemory = 7,
    kSubscriptOutOfRange = 9,
    kTypeMismatch = 13,
    kUserInterrupt = 18,
    kInternalError = 51,
    kFileNotFound = 53,
    kDeviceIoError = 57,
    kFileAlreadyExists = 58,
    kDiskFull = 61,
    kInputPastEndOfFile = 62,
    kTooManyFiles = 67,
    kPermissionDenied = 70,
    kPathFileAccessError = 75,
    kPathNotFound = 76,
    kInvalidFileFormat = 321,
};

// The standard German description of an error number; a number outside the
// list gets the text for an application-defined error.
std::string StandardDescription(int number);

// An error carrying its number's standard description.
RuntimeError MakeError(int number);

// Maps an operating-system error met while opening, reading or writing
// `path` onto the standard numbers (7, 53, 61, 70, 75, 76 ...).
RuntimeError FileError(const std::error_code& code, const std::filesystem::path& path);

// The same for the C library's errno value.
RuntimeError FileErrorFromErrno(int errnoValue, const std::filesystem::path& path);

}  // namespace velunt
