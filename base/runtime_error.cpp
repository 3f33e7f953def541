#include "base/runtime_error.h"

#include <cerrno>

namespace velunt {

std::string StandardDescription(int number) {
    switch (number) {
        case 5:
            return "Ungültiger Prozeduraufruf oder ungültiges Argument";
        case 6:
            return "Überlauf";
        case 7:
            return "Nicht genügend Speicher";
        case 9:
            return "Index außerhalb des gültigen Bereichs";
        case 18:
            return "Benutzerunterbrechung";
        case 53:
            return "Datei nicht gefunden";
        case 55:
            return "Datei bereits geöffnet";
        case 57:
            return "Fehler beim Lesen/Schreiben des Geräts";
        case 61:
            return "Datenträger voll";
        case 62:
            return "Eingabe nach Dateiende";
        case 67:
            return "Zu viele Dateien";
        case 70:
            return "Zugriff verweigert";
        case 75:
            return "Fehler beim Zugriff auf Pfad/Datei";
        case 76:
            return "Pfad nicht gefunden";
        case 321:
            return "Ungültiges Dateiformat";
        default:
            return "Anwendungs- oder objektdefinierter Fehler";
    }
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
            number = 67;
            break;
        case EIO:
            number = 57;
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
