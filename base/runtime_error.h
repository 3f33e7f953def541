#pragma once
// The one error type of the core: a standard runtime error number as the user
// sees it (53 "Datei nicht gefunden", 62 "Eingabe nach Dateiende" ...) and a
// German description. Thrown by the loader and the run; the front ends decide
// how to show it. It is a std::exception, so that one catch of those in a
// front end handles it and every failure of a library alike (CaughtError).
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

namespace velunt {

struct RuntimeError : std::exception {
    RuntimeError(int number, std::string description)
        : number(number), description(std::move(description)) {}
    const char* what() const noexcept override { return description.c_str(); }

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

// What a front end shows for anything it caught: a RuntimeError as it is,
// memory running out as error 7, any other failure of a library as error 51
// "Interner Fehler: " and its what().
RuntimeError CaughtError(const std::exception& caught);

// What a file is to the user; a file error names it with its role
// ("Zeichnung „/home/a/plan.dxf“") so that the message says which file failed.
enum class FileRole { File, Drawing, Output, Ini, Folder };

// The role's German name: "Datei", "Zeichnung", "Ausgabedatei", "velunt.ini",
// "Ordner".
const char* FileRoleName(FileRole role);

// `path` as UTF-8 text for a message.
std::string PathText(const std::filesystem::path& path);

// "Zeichnung „/home/a/plan.dxf“": the role and the path, for messages.
std::string NamedFile(FileRole role, const std::filesystem::path& path);

// Maps an operating-system error met while opening, reading or writing
// `path` onto the standard numbers (7, 53, 61, 70, 75, 76 ...). The description
// is the standard text, then the file with its role, then what to do where
// that is not obvious: "Zugriff verweigert: Ausgabedatei „/srv/t/plan.txt“
// ist schreibgeschützt oder gesperrt".
RuntimeError FileError(const std::error_code& code, const std::filesystem::path& path,
                       FileRole role = FileRole::File);

// The same for the C library's errno value.
RuntimeError FileErrorFromErrno(int errnoValue, const std::filesystem::path& path,
                                FileRole role = FileRole::File);

}  // namespace velunt
