#include "base/runtime_error.h"

#include <cerrno>
#include <new>

namespace velunt {

namespace {

struct StandardText {
    ErrorNumber number;
    const char* text;
};

constexpr StandardText kStandardTexts[] = {
    {kInvalidArgument, "Ungültiger Prozeduraufruf oder ungültiges Argument"},
    {kOverflow, "Überlauf"},
    {kOutOfMemory, "Nicht genügend Speicher"},
    {kSubscriptOutOfRange, "Index außerhalb des gültigen Bereichs"},
    {kTypeMismatch, "Typen unverträglich"},
    {kUserInterrupt, "Benutzerunterbrechung"},
    {kInternalError, "Interner Fehler"},
    {kFileNotFound, "Datei nicht gefunden"},
    {kDeviceIoError, "Fehler beim Lesen/Schreiben des Geräts"},
    {kFileAlreadyExists, "Datei existiert bereits"},
    {kDiskFull, "Datenträger voll"},
    {kInputPastEndOfFile, "Eingabe nach Dateiende"},
    {kTooManyFiles, "Zu viele Dateien"},
    {kPermissionDenied, "Zugriff verweigert"},
    {kPathFileAccessError, "Fehler beim Zugriff auf Pfad/Datei"},
    {kPathNotFound, "Pfad nicht gefunden"},
    {kInvalidFileFormat, "Ungültiges Dateiformat"},
};

}  // namespace

std::string StandardDescription(int number) {
    for (const StandardText& entry : kStandardTexts)
        if (entry.number == number) return entry.text;
    return "Anwendungs- oder objektdefinierter Fehler";
}

RuntimeError MakeError(int number) { return {number, StandardDescription(number)}; }

RuntimeError CaughtError(const std::exception& caught) {
    if (const auto* error = dynamic_cast<const RuntimeError*>(&caught)) return *error;
    if (dynamic_cast<const std::bad_alloc*>(&caught)) return MakeError(kOutOfMemory);
    return RuntimeError{kInternalError, std::string("Interner Fehler: ") + caught.what()};
}

const char* FileRoleName(FileRole role) {
    switch (role) {
        case FileRole::Drawing:
            return "Zeichnung";
        case FileRole::Output:
            return "Ausgabedatei";
        case FileRole::Ini:
            return "velunt.ini";
        case FileRole::Folder:
            return "Ordner";
        case FileRole::File:
            break;
    }
    return "Datei";
}

std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string NamedFile(FileRole role, const std::filesystem::path& path) {
    return std::string(FileRoleName(role)) + " „" + PathText(path) + "“";
}

namespace {

// What the user can do about a file error, where it is not obvious; empty
// when the standard text and the file say it all.
std::string fileErrorHint(int number, FileRole role, const std::filesystem::path& path) {
    switch (number) {
        case kPathNotFound: {
            if (role == FileRole::Folder) return "";
            // The nearest part of the path that exists: a file there stops
            // the path, else the folder is missing.
            std::error_code ec;
            for (auto part = path.parent_path(); !part.empty() && part != part.parent_path();
                 part = part.parent_path()) {
                if (!std::filesystem::exists(part, ec)) continue;
                if (std::filesystem::is_directory(part, ec)) break;
                return "„" + PathText(part) + "“ ist eine Datei, kein Ordner";
            }
            return "Ordner „" + PathText(path.parent_path()) + "“ fehlt";
        }
        case kPermissionDenied:
            if (role == FileRole::Output) return "ist schreibgeschützt oder gesperrt";
            if (role == FileRole::Folder) return "darf nicht angelegt oder beschrieben werden";
            return "darf nicht gelesen werden oder ist gesperrt";
        case kDiskFull:
            return "Platz schaffen und erneut auslesen";
        case kTooManyFiles:
            return "andere Programme schließen und erneut versuchen";
        default:
            return "";
    }
}

}  // namespace

RuntimeError FileErrorFromErrno(int errnoValue, const std::filesystem::path& path, FileRole role) {
    int number = kPathFileAccessError;
    switch (errnoValue) {
        case ENOENT: {
            // A missing folder on the way is "path not found", a missing file
            // in an existing folder "file not found".
            std::error_code ec;
            const auto parent = path.parent_path();
            const bool parentMissing = !parent.empty() && !std::filesystem::exists(parent, ec);
            number = parentMissing ? kPathNotFound : kFileNotFound;
            break;
        }
        case ENOTDIR:
            number = kPathNotFound;
            break;
        case EACCES:
        case EPERM:
        case EROFS:
#ifdef ETXTBSY
        case ETXTBSY:
#endif
            number = kPermissionDenied;
            break;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
        case EFBIG:
            number = kDiskFull;
            break;
        case EMFILE:
        case ENFILE:
            number = kTooManyFiles;
            break;
        case EIO:
            number = kDeviceIoError;
            break;
        case ENOMEM:
            number = kOutOfMemory;
            break;
        default:
            number = kPathFileAccessError;
            break;
    }
    std::string description = StandardDescription(number) + ": " + NamedFile(role, path);
    // A relative path is looked for from the working directory, which for a
    // start from the menu is the home folder: say where that was.
    std::error_code ec;
    const auto tried = std::filesystem::absolute(path, ec).lexically_normal();
    if ((number == kFileNotFound || number == kPathNotFound) && path.is_relative() && !ec)
        description += " (voller Pfad: " + PathText(tried) + ")";
    const std::string hint = fileErrorHint(number, role, path);
    if (!hint.empty()) description += (number == kPermissionDenied ? " " : ": ") + hint;
    return RuntimeError{number, description};
}

RuntimeError FileError(const std::error_code& code, const std::filesystem::path& path,
                       FileRole role) {
    if (code.category() == std::generic_category() || code.category() == std::system_category())
        return FileErrorFromErrno(code.default_error_condition().value(), path, role);
    return RuntimeError{kPathFileAccessError,
                        StandardDescription(kPathFileAccessError) + ": " + NamedFile(role, path)};
}

}  // namespace velunt
