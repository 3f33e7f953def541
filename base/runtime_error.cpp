#include "base/runtime_error.h"

#include <cerrno>

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

RuntimeError FileErrorFromErrno(int errnoValue, const std::filesystem::path& path) {
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
    return MakeError(number);
}

RuntimeError FileError(const std::error_code& code, const std::filesystem::path& path) {
    if (code.category() == std::generic_category() || code.category() == std::system_category())
        return FileErrorFromErrno(code.default_error_condition().value(), path);
    return MakeError(kPathFileAccessError);
}

}  // namespace velunt
